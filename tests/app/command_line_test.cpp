#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

using Action = app::CommandLine::Action;

app::CommandLine parse(const QStringList& options)
{
    return app::parseCommandLine(QStringList{"corvale"} + options);
}

TEST(CommandLine, RunsWithOrWithoutAServiceHost)
{
    EXPECT_EQ(parse({}).action, Action::Run);
    EXPECT_EQ(parse({}).serviceHost, "");
    const app::CommandLine mirror = parse({"--service-host", "127.0.0.1:8080"});
    EXPECT_EQ(mirror.action, Action::Run);
    EXPECT_EQ(mirror.serviceHost, "127.0.0.1:8080");
    // The last host given counts.
    EXPECT_EQ(parse({"--service-host", "a", "--service-host", "b"}).serviceHost, "b");
}

TEST(CommandLine, TheArchiveUrlIsAnHttpOrHttpsServiceWithoutAPath)
{
    EXPECT_EQ(parse({}).archiveUrl, "");
    EXPECT_EQ(parse({"--archive-url", "http://127.0.0.1:8080"}).archiveUrl,
              "http://127.0.0.1:8080");
    const app::CommandLine both =
        parse({"--service-host", "127.0.0.1:1", "--archive-url", "https://mirror.example"});
    EXPECT_EQ(both.action, Action::Run);
    EXPECT_EQ(both.serviceHost, "127.0.0.1:1");
    EXPECT_EQ(both.archiveUrl, "https://mirror.example");
    for (const QStringList& options :
         {QStringList{"--archive-url"}, QStringList{"--archive-url", ""},
          QStringList{"--archive-url", "archive.org"}, QStringList{"--archive-url", "ftp://h"},
          QStringList{"--archive-url", "https://"}, QStringList{"--archive-url", "http://h/path"}})
        EXPECT_EQ(parse(options).action, Action::UsageError) << options.join(' ').toStdString();
}

TEST(CommandLine, HelpAndVersionWinWhereverTheyStandAfterValidOptions)
{
    EXPECT_EQ(parse({"--help"}).action, Action::Help);
    EXPECT_EQ(parse({"-h"}).action, Action::Help);
    EXPECT_EQ(parse({"--version"}).action, Action::Version);
    EXPECT_EQ(parse({"--service-host", "a", "--version"}).action, Action::Version);
    EXPECT_EQ(parse({"--version", "--bogus"}).action, Action::Version);
    // A host may be any word, even one that looks like an option.
    EXPECT_EQ(parse({"--service-host", "--help"}).action, Action::Run);
}

TEST(CommandLine, AnythingElseIsAUsageError)
{
    for (const QStringList& options :
         {QStringList{"--bogus"}, QStringList{"--service-host"}, QStringList{"--service-host", ""},
          QStringList{"extra"}, QStringList{"--bogus", "--help"}, QStringList{"-help"}})
        EXPECT_EQ(parse(options).action, Action::UsageError) << options.join(' ').toStdString();
}

TEST(CommandLine, UsageStartsWithTheSynopsisAndNamesEveryOption)
{
    const std::string usage = app::usageText();
    EXPECT_EQ(usage.rfind("usage: corvale [--service-host HOST[:PORT]] [--archive-url URL]\n", 0),
              0u);
    for (const char* option : {"--service-host", "--archive-url", "--help", "--version"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

} // namespace
