#include "app/command_line.h"

namespace app {

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == "--help" || arg == "-h") {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (arg == "--version") {
            line.action = CommandLine::Action::Version;
            return line;
        }
        if (arg == "--service-host" && i + 1 < arguments.size() && !arguments[i + 1].isEmpty()) {
            line.serviceHost = arguments[++i].toStdString();
            continue;
        }
        if (arg == "--archive-url" && i + 1 < arguments.size() &&
            (arguments[i + 1].startsWith("http://") || arguments[i + 1].startsWith("https://")) &&
            arguments[i + 1].indexOf('/', 8) < 0 && arguments[i + 1].size() > 8) {
            line.archiveUrl = arguments[++i].toStdString();
            continue;
        }
        line.action = CommandLine::Action::UsageError;
        return line;
    }
    return line;
}

const char* usageText()
{
    return "usage: corvale [--service-host HOST[:PORT]] [--archive-url URL]\n"
           "       corvale --help | --version\n"
           "Finds songs on an MP3 search service, plays them online, downloads them and makes\n"
           "music greeting cards.\n"
           "  --service-host HOST[:PORT]  send searches and chart requests to this mirror\n"
           "                              (for example the local corvale-demo-service)\n"
           "  --archive-url URL           the archive engine's service, http(s)://HOST[:PORT]\n"
           "                              (default https://archive.org)\n"
           "  -h, --help                  show this help and exit\n"
           "  --version                   show the version and exit\n";
}

} // namespace app
