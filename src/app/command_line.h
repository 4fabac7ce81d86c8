#pragma once
#include <QStringList>
#include <string>

namespace app {

// What the command line asks for. Options: --service-host HOST[:PORT], --archive-url URL,
// --help (or -h), --version; anything else is a usage error.
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    std::string serviceHost; // empty: the service's own hosts
    std::string archiveUrl;  // empty: the archive's own address; else http(s)://HOST[:PORT]
};

// Reads the arguments after the program name (arguments[0]); the first help or version request
// or the first error decides.
CommandLine parseCommandLine(const QStringList& arguments);

// The usage text, ending in a newline; its first line is the one-line synopsis.
const char* usageText();

} // namespace app
