#include "app/application.h"
#include "app/command_line.h"
#include "core/line_file.h"
#include "desktop/mpris.h"
#include "desktop/single_instance.h"
#include "gui/download_panel.h"
#include "gui/form1.h"
#include "gui/form2.h"
#include "gui/skin.h"

#include <QDBusConnection>
#include <QIcon>
#include <QStringList>
#include <cstdio>
#include <optional>

namespace {

// Answers --help and --version; the exit code when the command line asked for one of them.
std::optional<int> answerInformationRequest(const app::CommandLine& line)
{
    if (line.action == app::CommandLine::Action::Help) {
        std::fputs(app::usageText(), stdout);
        return 0;
    }
    if (line.action == app::CommandLine::Action::Version) {
        std::printf("corvale %s\n", CORVALE_VERSION);
        return 0;
    }
    return std::nullopt;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (const char* size : {"48", "128"})
        icon.addFile(QString(":/corvale/icons/corvale-%1.png").arg(size));
    return icon;
}

} // namespace

int main(int argc, char** argv)
{
    // Help and version need no display: answer them before the application object exists.
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> code = answerInformationRequest(app::parseCommandLine(raw)))
        return *code;

    app::prepareBrowserEnvironment();
    app::CorvaleApplication application(argc, argv);
    QApplication::setApplicationName("Corvale");
    QApplication::setApplicationVersion(CORVALE_VERSION);
    QApplication::setDesktopFileName(CORVALE_APP_ID);
    QApplication::setWindowIcon(applicationIcon());

    // The application object has taken its own options (-platform, -style, ...) out by now.
    const app::CommandLine line = app::parseCommandLine(QApplication::arguments());
    if (const std::optional<int> code = answerInformationRequest(line))
        return *code;
    if (line.action == app::CommandLine::Action::UsageError) {
        std::fputs(app::usageText(), stderr);
        return 2;
    }
    // One copy per user: a later start brings the running window to the front and ends.
    desktop::SingleInstance instance;
    if (!instance.claim()) {
        if (!instance.activateRunning())
            std::fputs("corvale: already running\n", stderr);
        return 0;
    }
    app::loadQtTranslations(application);
    Form1Options options;
    if (!line.serviceHost.empty())
        options.hosts.pointAllAt(line.serviceHost);
    if (!line.archiveUrl.empty())
        options.hosts.archive = line.archiveUrl;

    ui::applySkin(application);
    TForm1 form1(options);
    gui::DownloadPanel& downloads = *form1.downloadPanel();
    downloads.keepDownloadListIn(core::gbkPath(form1.ProgramFolder + "download-list.txt").string());
    TForm2 form2(&downloads);
    downloads.Form2 = &form2;
    QObject::connect(&instance, &desktop::SingleInstance::activationRequested, &form1,
                     [&form1] { app::bringToFront(form1); });
    // The program's player on the session bus; without a bus the program plays as before.
    desktop::MprisService mpris(playback::ApplicationPlayer::instance(),
                                [&form1] { app::bringToFront(form1); });
    mpris.publish(QDBusConnection::sessionBus());
    form1.show();
    return QApplication::exec();
}
