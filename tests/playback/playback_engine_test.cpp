// The playback engine against real encoded songs (WMA in ASF, RealAudio in RealMedia, MP3),
// read from files and from the loopback server in byte ranges, into the silent output; its
// controls; and bad input that must be told and passed over, never hang or crash.
#include "player/playback/playback_engine.h"
#include "support/encoded_media.h"
#include "support/loopback_server.h"

#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <gtest/gtest.h>

#include <fstream>

namespace {

using Engine = playback::PlaybackEngine;
using testsupport::Tone;

// The songs, encoded once for all tests.
const std::string& song(Tone tone)
{
    static const std::string wma = testsupport::encodedTone(Tone::Wma, 2.5);
    static const std::string rm = testsupport::encodedTone(Tone::Rm, 2.5);
    static const std::string mp3 = testsupport::encodedTone(Tone::Mp3, 2.5);
    return tone == Tone::Wma ? wma : tone == Tone::Rm ? rm : mp3;
}

// Log lines of the player, while a test runs.
QStringList& playerLog()
{
    static QStringList lines;
    return lines;
}

void capture(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (context.category && QByteArray(context.category) == "corvale.player")
        playerLog() << text;
    else if (type != QtDebugMsg)
        fprintf(stderr, "%s\n", qPrintable(text));
}

class PlaybackEngineTest : public ::testing::Test {
protected:
    testsupport::LoopbackServer server;
    QTemporaryDir dir;
    std::unique_ptr<Engine> engine;
    QtMessageHandler previous = nullptr;

    void SetUp() override
    {
        playerLog().clear();
        QLoggingCategory::setFilterRules("corvale.player.debug=true");
        previous = qInstallMessageHandler(capture);
        playback::EngineOptions options;
        options.forceSilent = true;
        options.source.connectTimeoutMs = 2000;
        options.source.readTimeoutMs = 1000;
        engine = std::make_unique<Engine>(options);
    }
    void TearDown() override
    {
        engine.reset();
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules("");
    }
    QString url(const std::string& path) { return QString::fromStdString(server.url(path)); }
    QString file(const std::string& name, const std::string& bytes)
    {
        const QString path = dir.path() + "/" + QString::fromStdString(name);
        std::ofstream(path.toStdString(), std::ios::binary) << bytes;
        return "file://" + path;
    }
    void setAddresses(const QStringList& addresses)
    {
        std::vector<Engine::Entry> entries;
        for (const QString& a : addresses)
            entries.push_back({a, {}, {}});
        engine->setEntries(std::move(entries));
    }
    // Waits until entry index plays and has passed seconds.
    bool playsAt(int index, double seconds, int timeoutMs = 20000)
    {
        return QTest::qWaitFor(
            [&] {
                return engine->index() == index && engine->state() == Engine::State::Playing &&
                       engine->position() >= seconds;
            },
            timeoutMs);
    }
};

TEST_F(PlaybackEngineTest, EveryTypePlaysInOrderFromHttpRangesFilesAndRamLists)
{
    server.addFixedFile("/a.mp3", song(Tone::Mp3));
    server.addFixedFile("/b.wma", song(Tone::Wma));
    server.addFixedFile("/c.asf", song(Tone::Wma));
    server.addFixedFile("/d.rm", song(Tone::Rm));
    const QString localRm = file("e.rm", song(Tone::Rm));
    server.addFixedFile("/list.ram", "# two songs\r\n" + server.url("/d.rm") + "\r\n\r\n" +
                                         localRm.toStdString() + "\r\n");
    setAddresses({url("/a.mp3"), url("/b.wma"), url("/c.asf"), url("/list.ram")});
    QSignalSpy started(engine.get(), &Engine::audioStarted);
    QSignalSpy failed(engine.get(), &Engine::entryFailed);
    engine->play();

    ASSERT_TRUE(playsAt(0, 1.0));
    EXPECT_TRUE(engine->silentOutput());
    EXPECT_TRUE(engine->statusText().contains(QString::fromUtf8("无音频设备")));
    EXPECT_GT(engine->duration(), 2.0);
    // Read in byte ranges, not fetched whole first.
    const auto first = server.lastRequestFor("/a.mp3");
    ASSERT_TRUE(first.header("Range").has_value());
    EXPECT_EQ(first.header("Range")->rfind("bytes=0-", 0), 0u);

    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(playsAt(i, 1.0)) << "entry " << i << ": " << engine->statusText().toStdString()
                                     << " " << engine->notice().toStdString();
    // The .ram entry was opened in place: its two songs are entries 3 and 4.
    ASSERT_EQ(engine->entries().size(), 5u);
    EXPECT_EQ(engine->entries()[3].address, url("/d.rm"));
    EXPECT_EQ(engine->entries()[4].address, localRm);
    ASSERT_TRUE(playsAt(4, 1.0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine->state() == Engine::State::Ended; }, 20000));
    EXPECT_EQ(started.count(), 5);
    EXPECT_EQ(failed.count(), 0);
    EXPECT_TRUE(playerLog().contains("position 1 s of " + url("/b.wma")))
        << playerLog().join("\n").toStdString();
    EXPECT_TRUE(playerLog().contains("position 2 s of " + localRm));
}

TEST_F(PlaybackEngineTest, PauseHoldsStopRewindsPlayResumesNextMovesOn)
{
    server.addFixedFile("/long.mp3", testsupport::encodedTone(Tone::Mp3, 8));
    server.addFixedFile("/two.rm", song(Tone::Rm));
    setAddresses({url("/long.mp3"), url("/two.rm")});
    engine->play();
    ASSERT_TRUE(playsAt(0, 1.0));

    engine->pause();
    EXPECT_EQ(engine->state(), Engine::State::Paused);
    const double held = engine->position();
    QTest::qWait(400); // a paused engine must not move on: several ticks pass
    EXPECT_EQ(engine->position(), held);

    engine->play();
    ASSERT_TRUE(playsAt(0, held + 0.5));

    engine->stop();
    EXPECT_EQ(engine->state(), Engine::State::Stopped);
    EXPECT_EQ(engine->position(), 0.0);
    engine->play();
    ASSERT_TRUE(playsAt(0, 0.1));

    engine->next();
    ASSERT_TRUE(playsAt(1, 1.0));
    engine->next();
    EXPECT_EQ(engine->state(), Engine::State::Ended);
    engine->play(); // an ended list starts again at its first entry
    ASSERT_TRUE(playsAt(0, 0.1));
}

TEST_F(PlaybackEngineTest, BadInputIsToldAndPassedOver)
{
    std::string noise(50000, '\0');
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 2654435761u) >> 13);
    server.addFixedFile("/noise.wma", noise);
    const std::string& rm = song(Tone::Rm);
    server.addFixedFile("/cut.rm", rm.substr(0, rm.size() / 3));
    testsupport::Behaviour stall;
    stall.trickleChunk = 20000;
    stall.trickleDelay = std::chrono::milliseconds(60000);
    server.addFixedFile("/stall.mp3", song(Tone::Mp3), stall);
    server.addFixedFile("/self.ram", server.url("/self.ram") + "\n");
    server.addFixedFile("/good.mp3", song(Tone::Mp3));
    setAddresses({url("/noise.wma"), url("/missing.wma"), url("/stall.mp3"),
                  "gopher://127.0.0.1/a.mp3", "rtsp://127.0.0.1/a.rm", url("/self.ram"),
                  "file://" + dir.path() + "/nothing.rm", url("/cut.rm"), url("/good.mp3")});
    QSignalSpy failed(engine.get(), &Engine::entryFailed);
    engine->play();

    ASSERT_TRUE(playsAt(8, 0.5, 30000)) << engine->notice().toStdString();
    QStringList reasons;
    for (const auto& f : failed)
        reasons << f.at(1).toString() + " | " + f.at(2).toString();
    ASSERT_EQ(failed.count(), 7) << reasons.join("\n").toStdString();
    const auto reasonFor = [&](const QString& address) {
        for (const auto& f : failed)
            if (f.at(1).toString() == address)
                return f.at(2).toString();
        return QString();
    };
    EXPECT_EQ(reasonFor(url("/noise.wma")), QString::fromUtf8("无法识别的媒体格式"));
    EXPECT_EQ(reasonFor(url("/missing.wma")), QString::fromUtf8("服务器回答 404"));
    EXPECT_EQ(reasonFor(url("/stall.mp3")), QString::fromUtf8("服务器没有响应"));
    EXPECT_EQ(reasonFor("gopher://127.0.0.1/a.mp3"), QString::fromUtf8("无法识别的地址"));
    EXPECT_EQ(reasonFor("rtsp://127.0.0.1/a.rm"), QString::fromUtf8("此格式无法在本机播放"));
    EXPECT_EQ(reasonFor(url("/self.ram")), QString::fromUtf8("播放列表指向自身"));
    EXPECT_TRUE(reasonFor("file://" + dir.path() + "/nothing.rm")
                    .startsWith(QString::fromUtf8("找不到文件")));
    // The truncated song plays what it holds and ends early; it is not an error.
    EXPECT_TRUE(reasonFor(url("/cut.rm")).isEmpty());

    EXPECT_TRUE(playerLog().contains("cannot play " + url("/missing.wma") + ": HTTP 404"))
        << playerLog().join("\n").toStdString();
    EXPECT_TRUE(playerLog().contains("cannot play " + url("/stall.mp3") + ": read timed out"));
    EXPECT_TRUE(engine->notice().isEmpty() == false);
}

TEST_F(PlaybackEngineTest, SeekingMovesTheEntryByARangeAndASourceThatCannotSaysSo)
{
    struct Case {
        const char* path;
        Tone tone;
        testsupport::RangeMode ranges;
        bool seekable;
    };
    const Case cases[] = {{"/long.mp3", Tone::Mp3, testsupport::RangeMode::Honour, true},
                          {"/long.wma", Tone::Wma, testsupport::RangeMode::Honour, true},
                          {"/plain.mp3", Tone::Mp3, testsupport::RangeMode::Ignore, false}};
    // Blocks smaller than the songs, so that a seek has to ask for a range further on.
    playback::EngineOptions options;
    options.forceSilent = true;
    options.source.blockBytes = 16 * 1024;
    engine = std::make_unique<Engine>(options);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        testsupport::Behaviour behaviour;
        behaviour.ranges = c.ranges;
        server.addFixedFile(c.path, testsupport::encodedTone(c.tone, 30), behaviour);
        setAddresses({url(c.path)});
        QSignalSpy seeked(engine.get(), &Engine::seeked);
        EXPECT_FALSE(engine->seek(5)) << "nothing plays yet";
        engine->play();
        ASSERT_TRUE(playsAt(0, 0.3));
        ASSERT_EQ(engine->canSeek(), c.seekable);
        server.clearRequests();
        EXPECT_EQ(engine->seek(20), c.seekable);
        if (!c.seekable) {
            EXPECT_EQ(seeked.count(), 0);
            EXPECT_LT(engine->position(), 5.0);
            continue;
        }
        ASSERT_EQ(seeked.count(), 1);
        EXPECT_DOUBLE_EQ(seeked.first().first().toDouble(), 20.0);
        EXPECT_TRUE(engine->canSeek()) << "it stays seekable while it opens at the new place";
        ASSERT_TRUE(playsAt(0, 20.3)) << engine->statusText().toStdString();
        EXPECT_LT(engine->position(), 25.0);
        // The song was read on from a range far into it, not again from its start.
        bool ranged = false;
        for (const testsupport::RecordedRequest& r : server.requests())
            if (const auto range = r.header("Range"); range && !range->starts_with("bytes=0-"))
                ranged = true;
        EXPECT_TRUE(ranged);
        // Paused, a seek moves the place and stays paused; the length bounds it.
        engine->pause();
        EXPECT_TRUE(engine->seek(100));
        EXPECT_DOUBLE_EQ(seeked.last().first().toDouble(), engine->duration());
        EXPECT_EQ(engine->state(), Engine::State::Paused);
        EXPECT_TRUE(engine->seek(2));
        engine->play();
        ASSERT_TRUE(playsAt(0, 2.3));
        EXPECT_LT(engine->position(), 10.0);
    }
}

TEST_F(PlaybackEngineTest, VolumeIsClampedKeptAcrossEntriesAndAnnounced)
{
    QSignalSpy changed(engine.get(), &Engine::changed);
    const struct {
        double asked, kept;
    } cases[] = {{0.5, 0.5}, {-1, 0}, {2, 1}, {0.25, 0.25}};
    for (const auto& c : cases) {
        const int before = changed.count();
        engine->setVolume(c.asked);
        EXPECT_DOUBLE_EQ(engine->volume(), c.kept);
        EXPECT_EQ(changed.count(), before + 1);
    }
    engine->setVolume(0.25);
    EXPECT_EQ(changed.count(), 4) << "the same volume again is no change";
    setAddresses({file("a.mp3", song(Tone::Mp3))});
    EXPECT_DOUBLE_EQ(engine->volume(), 0.25);
}

TEST_F(PlaybackEngineTest, AServerIgnoringRangesStillPlaysAndEnginesEndWhateverTheyWaitFor)
{
    testsupport::Behaviour noRanges;
    noRanges.ranges = testsupport::RangeMode::Ignore;
    noRanges.framing = testsupport::BodyFraming::Chunked;
    server.addFixedFile("/plain.wma", testsupport::encodedTone(Tone::Wma, 30), noRanges);
    setAddresses({url("/plain.wma")});
    engine->play();
    ASSERT_TRUE(playsAt(0, 1.0));
    // Ended while its decoding thread waits for room in the queue.
    engine.reset();

    // Ended while its decoding thread waits on a server that sends nothing (the read timeout
    // is far away): the abort reaches the waiting transfer.
    testsupport::Behaviour silent;
    silent.headDelay = std::chrono::milliseconds(60000);
    server.addFixedFile("/silent.rm", song(Tone::Rm), silent);
    playback::EngineOptions options;
    options.forceSilent = true;
    options.source.readTimeoutMs = 60000;
    engine = std::make_unique<Engine>(options);
    setAddresses({url("/silent.rm")});
    server.clearRequests();
    engine->play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requestCount() >= 1; }, 10000));
    EXPECT_EQ(engine->state(), Engine::State::Connecting);
    engine.reset();
}

} // namespace
