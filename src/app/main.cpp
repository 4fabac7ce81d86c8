#include "app/application.h"
#include "app/form1.h"
#include "download/form2.h"
#include "ui/skin.h"

#include <QStringList>
#include <cstdio>

namespace {
void usage()
{
    std::fprintf(stderr, "usage: corvale [--service-host HOST[:PORT]]\n");
}
} // namespace

int main(int argc, char** argv)
{
    app::prepareBrowserEnvironment();
    app::CorvaleApplication application(argc, argv);
    QApplication::setApplicationName("Corvale");

    Form1Options options;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == "--service-host" && i + 1 < args.size() && !args[i + 1].isEmpty()) {
            options.hosts.pointAllAt(args[++i].toStdString());
        } else {
            usage();
            return 2;
        }
    }

    ui::applySkin(application);
    TForm1 form1(options);
    TForm2 form2(&form1);
    form1.Form2 = &form2;
    form1.show();
    return QApplication::exec();
}
