// corvale-seek-bench [RUNS]: the playback engine (silent output) plays a five-minute MP3 from
// the loopback server in byte ranges. Timed per run: the reference, from play to the first
// samples going out (what a click on play costs), and the seek, from seek() to halfway into
// the song to the first samples from there. Prints both and their ratio; exits 1 when a seek
// takes longer than the first play of the same run did (plus a frame of the output's clock,
// 50 ms) or longer than 0.5 s.
#include "player/playback/playback_engine.h"
#include "support/encoded_media.h"
#include "support/loopback_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Runs the event loop until the engine sends out samples again, at most 20 s; milliseconds
// from start, or -1.
double untilAudio(playback::PlaybackEngine& engine, const QElapsedTimer& start)
{
    QEventLoop loop;
    double at = -1;
    const auto connection =
        QObject::connect(&engine, &playback::PlaybackEngine::audioStarted, &loop, [&] {
            at = static_cast<double>(start.nsecsElapsed()) / 1e6;
            loop.quit();
        });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return at;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    testsupport::LoopbackServer server;
    server.addFixedFile("/long.mp3", testsupport::encodedTone(testsupport::Tone::Mp3, 300));
    const QString address = QString::fromStdString(server.url("/long.mp3"));

    int status = 0;
    for (int run = 1; run <= runs; ++run) {
        playback::EngineOptions options;
        options.forceSilent = true;
        playback::PlaybackEngine engine(options);
        engine.setEntries({{address, {}, {}}});
        QElapsedTimer clock;
        clock.start();
        engine.play();
        const double first = untilAudio(engine, clock);
        if (first < 0 || !engine.canSeek()) {
            std::printf("run %d: the song did not start or cannot be moved\n", run);
            return 1;
        }
        clock.restart();
        engine.seek(150);
        const double seek = untilAudio(engine, clock);
        const bool ok = seek >= 0 && seek <= first + 50 && seek <= 500 && engine.position() >= 150;
        std::printf("run %d: first audio %.1f ms, seek to 150 s %.1f ms, ratio %.2f%s\n", run,
                    first, seek, first > 0 ? seek / first : 0.0, ok ? "" : "  MISSED");
        if (!ok)
            status = 1;
    }
    return status;
}
