// corvale-window-gap-bench [SIZE_MIB]: the main window (offscreen) downloads three files of
// SIZE_MIB (default 128) at full speed, five connections each, from a private nginx on
// loopback, started with "开始下载" as a user starts it. A timer of interval 0 runs whenever the
// window's event loop is free; the longest time between two of its runs is the longest the
// window could not answer. Printed beside it, as the reference of the same run, the longest gap
// of the idle window over the same time (the load of the machine alone). The goal: the window
// never blocked longer than 50 ms while the files run; the program exits 1 when it is missed or
// a file did not arrive exact.
#include "app/application.h"
#include "core/gbk.h"
#include "core/song_entry.h"
#include "download/nginx_fixture.h"
#include "download/transfer_engine.h"
#include "gui/dialogs.h"
#include "gui/download_panel.h"
#include "gui/form1.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Runs the event loop until `done` holds or `limitMs` passed, with a timer of interval 0
// beside it; the longest gap between two of the timer's runs (ms).
template <class Done> double longestGap(const Done& done, qint64 limitMs, qint64& ranMs)
{
    double longest = 0;
    QElapsedTimer sinceBeat;
    QTimer beat;
    beat.setInterval(0);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        longest = std::max(longest, double(sinceBeat.nsecsElapsed()) / 1e6);
        sinceBeat.restart();
    });
    QElapsedTimer clock;
    clock.start();
    sinceBeat.start();
    beat.start();
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    beat.stop();
    ranMs = clock.elapsed();
    return longest;
}

bool sameBytes(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::ifstream x(a, std::ios::binary);
    std::ifstream y(b, std::ios::binary);
    return x && y && std::filesystem::file_size(a) == std::filesystem::file_size(b) &&
           std::equal(std::istreambuf_iterator<char>(x), {}, std::istreambuf_iterator<char>(y));
}

int run(int argc, char** argv)
{
    const long sizeMib = argc > 1 ? std::atol(argv[1]) : 128;
    if (sizeMib <= 0) {
        std::fprintf(stderr, "usage: corvale-window-gap-bench [SIZE_MIB]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The files come from loopback: no proxy of the environment applies.
    for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "HTTPS_PROXY", "ALL_PROXY"})
        ::unsetenv(name);
    app::prepareBrowserEnvironment();
    app::CorvaleApplication application(argc, argv);
    ui::dialogHooks().message = [](const QString& text) {
        std::fprintf(stderr, "message box: %s\n", text.toUtf8().constData());
    };

    enginetest::Nginx nginx;
    const char* names[] = {"one", "two", "three"};
    for (const char* name : names)
        enginetest::writePatternFile(nginx.root() / (std::string(name) + ".mp3"),
                                     std::int64_t{sizeMib} << 20);

    QTemporaryDir dir;
    Form1Options options;
    options.programFolder = dir.path().toStdString() + "/";
    TForm1 form(options);
    form.endProcess = [](int) {};
    form.show();
    const std::string folder = dir.path().toStdString() + "/music/";
    std::filesystem::create_directories(folder);
    form.downloadPanel()->SaveFolder = folder;
    for (const char* name : names) {
        core::SongEntry row;
        row.caption = name;
        row.subItems = {name, nginx.url("/" + std::string(name) + ".mp3"),
                        std::to_string(sizeMib) + "M", "mp3", folder + name + ".mp3"};
        form.downloadPanel()->appendDownloadRow(row);
    }

    auto reports = [&] {
        return form.downloadPanel()->downinimemo->toPlainText().count("下载完毕!");
    };
    // The press comes from the event loop, as a click does, so its own time counts.
    QTimer::singleShot(0, &form, [&] { form.downloadPanel()->downbtnClick(); });
    qint64 runMs = 0;
    bool pressed = false;
    QTimer::singleShot(0, &form, [&] { pressed = true; });
    const double busy = longestGap(
        [&] { return pressed && !form.downloadPanel()->DownloadsRunning() && reports() >= 3; },
        600000, runMs);
    qint64 idleMs = 0;
    const double idle = longestGap([] { return false; }, runMs, idleMs);

    bool exact = reports() == 3;
    for (const char* name : names)
        exact =
            exact && sameBytes(folder + name + ".mp3", nginx.root() / (std::string(name) + ".mp3"));
    std::printf("three files of %ld MiB, five connections each: %.2f s, files exact: %s\n", sizeMib,
                double(runMs) / 1000, exact ? "yes" : "no");
    std::printf("longest gap of the window's event loop while they ran: %6.1f ms\n", busy);
    std::printf("longest gap of the idle window over the same time:     %6.1f ms\n", idle);
    const bool met = exact && busy <= 50;
    std::printf("goal (gap <= 50 ms, files exact): %s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvale-window-gap-bench: %s\n", e.what());
        return 1;
    }
}
