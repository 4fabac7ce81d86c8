#include "app/program_folder.h"

#include "ui/gbk_qt.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace app {

std::string programFolder()
{
    const QString own = QCoreApplication::applicationDirPath();
    QString folder = own;
    if (!QFileInfo(own).isWritable()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QDir().mkpath(folder + "/pic");
        const QString picture = "/pic/0103.jpg";
        if (!QFileInfo::exists(folder + picture))
            QFile::copy(own + picture, folder + picture);
    }
    return ui::toGbk(QDir::cleanPath(folder) + "/");
}

} // namespace app
