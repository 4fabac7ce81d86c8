// The streaming range reader and the one redirect policy against the loopback server: blocks
// asked for as ranges, seeks, servers that ignore ranges, redirects followed and refused, a
// connection reset in the middle, and a cancel from another thread.
#include "core/gbk.h"
#include "http/range_reader.h"
#include "http/redirect_policy.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using http::HttpClient;
using http::HttpError;
using http::RangeReader;
using testsupport::Behaviour;
using testsupport::LoopbackServer;

constexpr std::int64_t kSize = 100'000;
constexpr std::int64_t kBlock = 16'384;

// Everything from the reader's position to the end, read in pieces of odd sizes.
std::string readRest(RangeReader& reader)
{
    std::string out;
    std::uint8_t buffer[7'001];
    for (int n; (n = reader.read(buffer, sizeof buffer)) > 0;)
        out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
    return out;
}

std::string failureOf(RangeReader& reader)
{
    try {
        reader.open();
        readRest(reader);
    } catch (const HttpError& e) {
        return e.what();
    }
    return "(read)";
}

class RangeReaderTest : public ::testing::Test {
protected:
    LoopbackServer server;
    HttpClient client;

    std::vector<std::string> rangesAskedFor(const std::string& path)
    {
        std::vector<std::string> out;
        for (const auto& r : server.requests())
            if (r.path == path)
                out.push_back(r.header("Range").value_or("(none)"));
        return out;
    }
};

TEST_F(RangeReaderTest, ReadsInBlocksOfRangesAndSeeksWithOneRequest)
{
    struct Case {
        testsupport::RangeMode ranges;
        testsupport::BodyFraming framing;
        bool honoured;
    };
    const Case cases[] = {
        {testsupport::RangeMode::Honour, testsupport::BodyFraming::ContentLength, true},
        {testsupport::RangeMode::Honour, testsupport::BodyFraming::Chunked, true},
        {testsupport::RangeMode::Ignore, testsupport::BodyFraming::ContentLength, false},
        {testsupport::RangeMode::Ignore, testsupport::BodyFraming::Chunked, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.framing) * 10 + static_cast<int>(c.ranges));
        Behaviour b;
        b.ranges = c.ranges;
        b.framing = c.framing;
        server.addGeneratedFile("/song.mp3", kSize, b);
        server.clearRequests();
        RangeReader reader(client, server.url("/song.mp3"), kBlock);
        reader.open();
        EXPECT_EQ(reader.rangesHonoured(), c.honoured);
        if (c.honoured) {
            EXPECT_EQ(reader.size(), kSize) << "the size is known after the first block";
        }
        const std::string all = readRest(reader);
        EXPECT_EQ(static_cast<std::int64_t>(all.size()), kSize);
        EXPECT_EQ(testsupport::firstGeneratedMismatch(0, all), -1);
        EXPECT_EQ(reader.size(), kSize);
        if (c.honoured) {
            const std::vector<std::string> asked = rangesAskedFor("/song.mp3");
            ASSERT_EQ(asked.size(), static_cast<std::size_t>((kSize + kBlock - 1) / kBlock));
            EXPECT_EQ(asked[0], "bytes=0-16383");
            EXPECT_EQ(asked[1], "bytes=16384-32767");
        }

        // A seek far on costs one request starting there (or a read from the start when the
        // server ignores ranges); past the end is refused, the end itself reads nothing.
        server.clearRequests();
        ASSERT_TRUE(reader.seek(70'000));
        std::uint8_t byte = 0;
        ASSERT_EQ(reader.read(&byte, 1), 1);
        EXPECT_EQ(byte, testsupport::generatedByte(70'000));
        EXPECT_EQ(rangesAskedFor("/song.mp3"),
                  (std::vector<std::string>{c.honoured ? "bytes=70000-86383" : "(none)"}));
        EXPECT_FALSE(reader.seek(kSize + 1));
        EXPECT_FALSE(reader.seek(-1));
        ASSERT_TRUE(reader.seek(kSize));
        EXPECT_EQ(reader.read(&byte, 1), 0);
    }
}

TEST_F(RangeReaderTest, RedirectsFollowThePolicy)
{
    server.addGeneratedFile("/song.mp3", kSize);
    // A chain of n redirects ending at the song.
    const auto chain = [&](int n) {
        for (int i = 0; i < n; ++i) {
            Behaviour hop;
            hop.status = i % 2 ? 301 : 302;
            hop.location = i + 1 == n ? server.url("/song.mp3") : "/hop" + std::to_string(i + 1);
            server.addGeneratedFile("/hop" + std::to_string(i), 10, hop);
        }
        return server.url("/hop0");
    };
    for (int n : {1, 5}) {
        SCOPED_TRACE(n);
        RangeReader reader(client, chain(n), kBlock);
        reader.open();
        EXPECT_EQ(reader.address(), server.url("/song.mp3"));
        ASSERT_TRUE(reader.seek(50'000));
        std::uint8_t byte = 0;
        ASSERT_EQ(reader.read(&byte, 1), 1);
        EXPECT_EQ(byte, testsupport::generatedByte(50'000));
    }
    RangeReader tooMany(client, chain(6), kBlock);
    EXPECT_EQ(core::gbkToUtf8(failureOf(tooMany)), "重定向超过5次");

    Behaviour toFtp;
    toFtp.status = 302;
    toFtp.location = "ftp://127.0.0.1/song.mp3";
    server.addGeneratedFile("/ftp", 10, toFtp);
    RangeReader unsupported(client, server.url("/ftp"), kBlock);
    EXPECT_EQ(core::gbkToUtf8(failureOf(unsupported)), "不支持的地址：ftp://127.0.0.1/song.mp3");

    // A redirect without a Location, and a 304, are answers, not redirects.
    const struct {
        int status;
        const char* location;
        const char* line;
    } answers[] = {{302, "", "302 Found"}, {304, "/song.mp3", "304 Not Modified"}};
    for (const auto& a : answers) {
        Behaviour b;
        b.status = a.status;
        b.location = a.location;
        server.addGeneratedFile("/answer", 10, b);
        RangeReader reader(client, server.url("/answer"), kBlock);
        EXPECT_EQ(failureOf(reader), a.line);
    }
}

TEST(RedirectPolicy, WhatAnAnswerHeadAsksFor)
{
    using Kind = http::Redirect::Kind;
    const auto head = [](long status, std::string location) {
        http::ResponseHead h;
        h.status = status;
        h.location = std::move(location);
        return h;
    };
    const struct {
        http::ResponseHead head;
        int followed;
        Kind kind;
        std::string address;
    } cases[] = {
        {head(200, "/x"), 0, Kind::None, ""},
        {head(302, ""), 0, Kind::None, ""},
        {head(302, " \r"), 0, Kind::None, ""},
        {head(304, "/x"), 0, Kind::None, ""},
        {head(302, "/x?y=1"), 0, Kind::Follow, "http://h/x?y=1"},
        {head(307, "https://o/s.mp3"), 4, Kind::Follow, "https://o/s.mp3"},
        {head(301, "/x"), 5, Kind::TooMany, ""},
        {head(302, "rtsp://h/s.rm"), 0, Kind::Unsupported, "rtsp://h/s.rm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.head.location);
        const http::Redirect r = http::nextRedirect("http://h/dir/a.mp3", c.head, c.followed);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(r.address, c.address);
        EXPECT_EQ(http::redirectFailureLine(r).empty(),
                  c.kind == Kind::None || c.kind == Kind::Follow);
    }
}

TEST_F(RangeReaderTest, AResetInTheMiddleFailsTheReadAndTheNextReadStartsAfresh)
{
    // The second block's connection is reset after 5000 of its bytes; later answers are whole.
    Behaviour reset;
    reset.dropAfterBytes = 5'000;
    reset.requestsBeforeNext = 1;
    reset.next = std::make_shared<Behaviour>();
    Behaviour first;
    first.requestsBeforeNext = 1;
    first.next = std::make_shared<Behaviour>(reset);
    server.addGeneratedFile("/song.mp3", kSize, first);
    RangeReader reader(client, server.url("/song.mp3"), kBlock);
    reader.open();
    ASSERT_TRUE(reader.seek(kBlock));
    std::uint8_t buffer[100];
    try {
        reader.read(buffer, sizeof buffer);
        FAIL() << "the reset was not told";
    } catch (const HttpError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Socket Error # ", 0), 0u) << e.what();
    }
    EXPECT_EQ(reader.position(), kBlock) << "nothing of the cut block was handed out";
    ASSERT_EQ(reader.read(buffer, sizeof buffer), static_cast<int>(sizeof buffer));
    EXPECT_EQ(testsupport::firstGeneratedMismatch(
                  kBlock, std::string(reinterpret_cast<const char*>(buffer), sizeof buffer)),
              -1);
}

TEST_F(RangeReaderTest, ACancelFromAnotherThreadEndsAReadThatWaitsOnASilentServer)
{
    Behaviour silent;
    silent.headDelay = std::chrono::milliseconds(60'000);
    server.addGeneratedFile("/silent.mp3", kSize, silent);
    std::atomic<bool> cancel{false};
    client.cancel = &cancel;
    RangeReader reader(client, server.url("/silent.mp3"), kBlock);
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::string failure;
    std::thread reading([&] {
        const std::string what = failureOf(reader);
        std::lock_guard lock(mutex);
        failure = what;
        done = true;
        ended.notify_all();
    });
    while (server.requestCount() == 0)
        std::this_thread::yield();
    cancel = true;
    {
        std::unique_lock lock(mutex);
        ended.wait(lock, [&] { return done; });
    }
    reading.join();
    EXPECT_EQ(failure.rfind("Socket Error # 103", 0), 0u) << failure;
}

} // namespace
