#include "desktop/program_folder.h"

#include "core/gbk_qt.h"
#include "desktop/user_settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <memory>

namespace desktop {

namespace {

const char* const kPictureFolder = "pic";

// The data folder of an installed program: <prefix>/share/corvale beside <prefix>/bin.
QString installedDataFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/corvale");
}

bool runsInstalled()
{
    return QFileInfo(installedDataFolder()).isDir();
}

// The program keeps its files in its own folder (run from the build folder, or unpacked into a
// folder of its own that it can write).
bool usesOwnFolder()
{
    return !runsInstalled() && QFileInfo(QCoreApplication::applicationDirPath()).isWritable();
}

const char* const kSaveFolderKey = "download/saveFolder";

// Copies every shipped picture that the per-user picture folder lacks; the user's own files and
// changes stay.
void copyMissingPictures(const QString& userFolder)
{
    const QString target = userFolder + "/" + QString(kPictureFolder);
    QDir().mkpath(target);
    const QString source = shippedDataFile(kPictureFolder);
    if (!QFileInfo(source).isDir())
        return;
    for (const QFileInfo& picture : QDir(source).entryInfoList(QDir::Files)) {
        const QString copy = target + "/" + picture.fileName();
        if (!QFileInfo::exists(copy) && QFile::copy(picture.filePath(), copy))
            QFile(copy).setPermissions(QFile(copy).permissions() | QFile::WriteOwner);
    }
}

} // namespace

QString shippedDataFile(const QString& relative)
{
    if (!runsInstalled()) {
        QString besideProgram = QCoreApplication::applicationDirPath() + "/" + relative;
        if (QFileInfo::exists(besideProgram))
            return besideProgram;
    }
    QString installed = installedDataFolder() + "/" + relative;
    if (QFileInfo::exists(installed))
        return installed;
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, "corvale/" + relative,
                                  QStandardPaths::LocateFile | QStandardPaths::LocateDirectory);
}

std::string programFolder()
{
    QString folder = QCoreApplication::applicationDirPath();
    if (!usesOwnFolder()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        copyMissingPictures(folder);
    }
    return core::toGbk(QDir::cleanPath(folder) + "/");
}

} // namespace desktop

namespace desktop {

std::string startSaveFolder(const std::string& programFolder)
{
    const QString chosen = userSettings()->value(kSaveFolderKey).toString();
    if (!chosen.isEmpty() && QFileInfo(chosen).isDir())
        return core::toGbk(QDir::cleanPath(chosen) + "/");
    if (usesOwnFolder())
        return programFolder + "music/";
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty())
        music = QDir::homePath() + "/Music";
    const QString folder = QDir::cleanPath(music) + "/Corvale";
    QDir().mkpath(folder); // the Music folder itself may not exist yet
    return core::toGbk(folder + "/");
}

void rememberSaveFolder(const std::string& saveFolder)
{
    userSettings()->setValue(kSaveFolderKey, QDir::cleanPath(core::fromGbk(saveFolder)));
}

} // namespace desktop
