// The HTTP client against the loopback server: request headers, bodies of every framing,
// notifications, cuts from a notification and from another thread, error messages, the message
// pump, and many clients at once.
#include "http/http_client.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using http::HttpClient;
using http::HttpError;
using testsupport::Behaviour;
using testsupport::BodyFraming;
using testsupport::LoopbackServer;

std::string lowered(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// Records every notification of one client.
struct Recorder {
    std::mutex mutex;
    int begins = 0;
    int ends = 0;
    std::int64_t announced = -1;
    std::vector<std::int64_t> counts;
    std::vector<int> tags;

    void attach(HttpClient& c)
    {
        c.onWorkBegin = [this](HttpClient& sender, int, std::int64_t max) {
            std::lock_guard lock(mutex);
            ++begins;
            announced = max;
            tags.push_back(sender.tag);
        };
        c.onWork = [this](HttpClient&, int, std::int64_t count) {
            std::lock_guard lock(mutex);
            counts.push_back(count);
        };
        c.onWorkEnd = [this](HttpClient&, int) {
            std::lock_guard lock(mutex);
            ++ends;
        };
    }
    std::int64_t lastCount()
    {
        std::lock_guard lock(mutex);
        return counts.empty() ? 0 : counts.back();
    }
    int endCount()
    {
        std::lock_guard lock(mutex);
        return ends;
    }
};

HttpClient& pointAt(HttpClient& c, const LoopbackServer& server)
{
    c.host = server.host();
    c.port = server.port();
    return c;
}

std::string errorOf(HttpClient& c, const std::string& url, std::string* sinkGot = nullptr)
{
    try {
        c.Get(url, [&](std::string_view chunk) {
            if (sinkGot)
                sinkGot->append(chunk);
        });
    } catch (const HttpError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(HttpClientRequest, RangeAcceptAndUserAgentHeadersAreSentAsSet)
{
    LoopbackServer server;
    server.addGeneratedFile("/song.mp3", 1000000);
    HttpClient c;
    pointAt(c, server);
    EXPECT_EQ(c.accept, "text/html, */*");
    EXPECT_EQ(c.userAgent, "Mozilla/3.0 (compatible; Indy Library)");

    c.rangeStart = 200000;
    c.rangeEnd = 400000;
    c.Connect();
    EXPECT_TRUE(c.Connected());
    const std::string part = c.Get(server.url("/song.mp3"));
    auto r = server.lastRequestFor("/song.mp3");
    EXPECT_EQ(r.requestLine, "GET /song.mp3 HTTP/1.1");
    EXPECT_EQ(r.header("Range").value_or("(none)"), "bytes=200000-400000");
    EXPECT_EQ(r.header("Accept").value_or("(none)"), "text/html, */*");
    EXPECT_EQ(r.header("User-Agent").value_or("(none)"), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(r.header("Host").value_or("(none)"), "127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(part.size(), 200001u); // inclusive ends
    EXPECT_EQ(testsupport::firstGeneratedMismatch(200000, part), -1);

    c.rangeEnd = 0;
    EXPECT_EQ(c.Get(server.url("/song.mp3")).size(), 800000u); // no Connect: Get opens its own
    EXPECT_EQ(server.lastRequestFor("/song.mp3").header("Range").value_or("(none)"),
              "bytes=200000-");

    c.rangeStart = 0;
    const std::string whole = c.Get(server.url("/song.mp3"));
    EXPECT_FALSE(server.lastRequestFor("/song.mp3").hasHeader("Range"));
    EXPECT_EQ(whole.size(), 1000000u);
    EXPECT_EQ(testsupport::firstGeneratedMismatch(0, whole), -1);

    // Byte positions past 2 GiB are written out whole.
    c.rangeStart = 3221225472LL;
    c.rangeEnd = 4294967296LL;
    EXPECT_EQ(c.rangeHeaderValue(), "bytes=3221225472-4294967296");
    EXPECT_EQ(server.requestCount(), 3u);
}

TEST(HttpClientBody, EveryFramingIsReadWholeWithOneBeginAndOneEnd)
{
    LoopbackServer server;
    Behaviour chunked;
    chunked.framing = BodyFraming::Chunked;
    Behaviour close;
    close.framing = BodyFraming::CloseDelimited;
    server.addGeneratedFile("/length", 300000);
    server.addGeneratedFile("/chunked", 300000, chunked);
    server.addGeneratedFile("/close", 300000, close);
    server.addFixedFile("/empty", "");

    struct Case {
        const char* path;
        std::int64_t announced;
    };
    for (const Case& k : {Case{"/length", 300000}, Case{"/chunked", 0}, Case{"/close", 0}}) {
        SCOPED_TRACE(k.path);
        HttpClient c;
        Recorder rec;
        rec.attach(pointAt(c, server));
        c.tag = 6789;
        std::string body;
        c.Get(server.url(k.path), [&](std::string_view chunk) { body.append(chunk); });
        EXPECT_EQ(body.size(), 300000u);
        EXPECT_EQ(testsupport::firstGeneratedMismatch(0, body), -1);
        EXPECT_EQ(rec.begins, 1);
        EXPECT_EQ(rec.announced, k.announced);
        EXPECT_EQ(rec.ends, 1);
        EXPECT_EQ(rec.tags, std::vector<int>{6789});
        ASSERT_FALSE(rec.counts.empty());
        EXPECT_TRUE(std::is_sorted(rec.counts.begin(), rec.counts.end()));
        EXPECT_EQ(rec.counts.back(), 300000);
        EXPECT_FALSE(c.Connected()); // one GET, one connection
    }

    HttpClient c;
    Recorder rec;
    rec.attach(pointAt(c, server));
    EXPECT_EQ(c.Get(server.url("/empty")), "");
    EXPECT_EQ(rec.begins, 1);
    EXPECT_EQ(rec.announced, 0);
    EXPECT_EQ(rec.ends, 1);
    EXPECT_TRUE(rec.counts.empty());
}

TEST(HttpClientCut, DisconnectInBeginReturnsNormallyWithOneEndEvenForThreeGigabytes)
{
    LoopbackServer server;
    const std::int64_t threeGiB = 3LL * 1024 * 1024 * 1024;
    server.addGeneratedFile("/huge.mp3", threeGiB);
    Behaviour chunked;
    chunked.framing = BodyFraming::Chunked;
    server.addGeneratedFile("/unsized.mp3", 5000000, chunked);

    HttpClient c;
    Recorder rec;
    rec.attach(pointAt(c, server));
    std::int64_t probed = -1;
    c.onWorkBegin = [&](HttpClient& sender, int, std::int64_t max) {
        probed = max;
        ++rec.begins;
        sender.Disconnect();
    };
    c.Connect();
    std::string text;
    EXPECT_NO_THROW(text = c.Get(server.url("/huge.mp3")));
    EXPECT_EQ(probed, threeGiB);
    EXPECT_EQ(rec.begins, 1);
    EXPECT_EQ(rec.ends, 1);
    EXPECT_LT(text.size(), 1000000u); // stopped at once, not after the body
    EXPECT_FALSE(c.Connected());

    // The same probe against a response that announces no length learns 0.
    c.Connect();
    EXPECT_NO_THROW(c.Get(server.url("/unsized.mp3")));
    EXPECT_EQ(probed, 0);
    EXPECT_EQ(rec.begins, 2);
    EXPECT_EQ(rec.ends, 2);

    // Disconnecting from the work notification stops the read quietly too.
    HttpClient w;
    Recorder wrec;
    wrec.attach(pointAt(w, server));
    w.onWork = [&](HttpClient& sender, int, std::int64_t count) {
        wrec.counts.push_back(count);
        sender.Disconnect();
    };
    std::string got;
    EXPECT_NO_THROW(w.Get(server.url("/huge.mp3"), [&](std::string_view s) { got.append(s); }));
    ASSERT_EQ(wrec.counts.size(), 1u);
    EXPECT_EQ(static_cast<std::int64_t>(got.size()), wrec.counts[0]);
    EXPECT_EQ(testsupport::firstGeneratedMismatch(0, got), -1);
    EXPECT_EQ(wrec.ends, 1);

    // Disconnect when nothing is open is harmless, twice over.
    EXPECT_NO_THROW(w.Disconnect());
    EXPECT_NO_THROW(w.Disconnect());
}

TEST(HttpClientCut, DisconnectFromAnotherThreadEndsTheGetWithASocketError)
{
    LoopbackServer server;
    Behaviour endless; // about 100 bytes a second: minutes for the whole file
    endless.trickleChunk = 10;
    endless.trickleDelay = std::chrono::milliseconds(100);
    server.addGeneratedFile("/endless", 100000000, endless);
    endless.framing = BodyFraming::CloseDelimited; // here a plain end of data looks complete
    server.addGeneratedFile("/endless-close", 100000000, endless);
    Behaviour silent; // the head itself takes a minute
    silent.headDelay = std::chrono::minutes(1);
    server.addGeneratedFile("/silent", 1000, silent);

    for (const std::string path : {"/endless", "/endless-close", "/silent"}) {
        SCOPED_TRACE(path);
        HttpClient c;
        Recorder rec;
        rec.attach(pointAt(c, server));
        c.Connect();
        std::atomic<bool> ended{false};
        std::string message;
        std::string got;
        std::thread worker([&] {
            try {
                c.Get(server.url(path), [&](std::string_view s) { got.append(s); });
                message = "(no error)";
            } catch (const HttpError& e) {
                message = e.what();
            }
            ended = true;
        });
        // Wait until the request is under way: body bytes arrived, or the request was read.
        const bool body = path != "/silent";
        while (body ? rec.lastCount() == 0 : server.requestCount() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        c.Disconnect();
        worker.join();
        EXPECT_TRUE(ended);
        EXPECT_NE(lowered(message).find("socket"), std::string::npos) << message;
        EXPECT_EQ(testsupport::firstGeneratedMismatch(0, got), -1);
        EXPECT_EQ(rec.endCount(), body ? 1 : 0);
        EXPECT_FALSE(c.Connected());
        server.clearRequests();
    }
}

TEST(HttpClientErrors, StatusesAndSocketFailuresGiveTheirMessagesAndNoBody)
{
    LoopbackServer server;
    auto withStatus = [](int status) {
        Behaviour b;
        b.status = status;
        b.errorBody = "<html>error page that must not be saved</html>";
        return b;
    };
    server.addGeneratedFile("/moved", 5000, withStatus(302));
    server.addGeneratedFile("/same", 5000, withStatus(304));
    server.addGeneratedFile("/gone", 5000, withStatus(404));
    Behaviour chunked404 = withStatus(404);
    chunked404.framing = BodyFraming::Chunked;
    server.addGeneratedFile("/gone-chunked", 5000, chunked404);
    server.addGeneratedFile("/small", 5000);

    HttpClient c;
    Recorder rec;
    rec.attach(pointAt(c, server));
    std::string sinkGot;
    const std::string m302 = errorOf(c, server.url("/moved"), &sinkGot);
    EXPECT_EQ(m302, "302 Found");
    EXPECT_EQ(errorOf(c, server.url("/same"), &sinkGot), "304 Not Modified");
    const std::string m404 = errorOf(c, server.url("/gone"), &sinkGot);
    EXPECT_EQ(m404.rfind("404", 0), 0u) << m404;
    EXPECT_EQ(m404, "404 Not Found");
    EXPECT_EQ(errorOf(c, server.url("/gone-chunked"), &sinkGot), "404 Not Found");
    EXPECT_EQ(errorOf(c, server.url("/nowhere"), &sinkGot), "404 Not Found");
    c.rangeStart = 5000; // past the end
    EXPECT_EQ(errorOf(c, server.url("/small"), &sinkGot), "416 Requested Range Not Satisfiable");
    EXPECT_EQ(sinkGot, "");
    EXPECT_EQ(rec.begins, 0);
    EXPECT_EQ(rec.ends, 0);
    EXPECT_TRUE(rec.counts.empty());
    EXPECT_EQ(server.requestCount(), 6u); // redirects are not followed

    HttpClient refused;
    refused.host = "127.0.0.1";
    refused.port = testsupport::refusedPort();
    std::string connectMessage;
    try {
        refused.Connect();
    } catch (const HttpError& e) {
        connectMessage = e.what();
    }
    EXPECT_EQ(connectMessage, "Socket Error # 111\r\nConnection refused");
    EXPECT_FALSE(refused.Connected());
    const std::string getMessage = errorOf(refused, "http://127.0.0.1/x.mp3");
    EXPECT_NE(lowered(getMessage).find("socket"), std::string::npos) << getMessage;

    HttpClient nameless; // the engine leaves the host empty for an address without a path
    nameless.host = "";
    try {
        nameless.Connect();
        ADD_FAILURE() << "connect without a host succeeded";
    } catch (const HttpError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Socket Error # ", 0), 0u) << e.what();
    }
}

TEST(HttpClientErrors, ABodyCutByTheServerFailsAfterDeliveringWhatArrived)
{
    LoopbackServer server;
    Behaviour drop;
    drop.dropAfterBytes = 70000;
    server.addGeneratedFile("/drop", 1000000, drop);
    HttpClient c;
    Recorder rec;
    rec.attach(pointAt(c, server));
    std::string got;
    const std::string message = errorOf(c, server.url("/drop"), &got);
    EXPECT_NE(lowered(message).find("socket"), std::string::npos) << message;
    EXPECT_EQ(got.size(), 70000u);
    EXPECT_EQ(testsupport::firstGeneratedMismatch(0, got), -1);
    EXPECT_EQ(rec.begins, 1);
    EXPECT_EQ(rec.ends, 1);

    // A sink that fails stops the read; its exception comes out, the end still comes once.
    server.addGeneratedFile("/fine", 1000000);
    Recorder rec2;
    HttpClient d;
    rec2.attach(pointAt(d, server));
    EXPECT_THROW(
        d.Get(server.url("/fine"), [](std::string_view) { throw std::runtime_error("disk full"); }),
        std::runtime_error);
    EXPECT_EQ(rec2.ends, 1);
}

TEST(HttpClientErrors, AStalledBodyTimesOutAndTheHeadTellsWhatCame)
{
    LoopbackServer server;
    Behaviour stall;
    stall.stallAfterBytes = 5000;
    server.addGeneratedFile("/stall", 100000, stall);
    HttpClient c;
    pointAt(c, server);
    c.stallTimeout = std::chrono::milliseconds(200);
    c.rangeStart = 10;
    c.rangeEnd = 99;
    std::string got;
    EXPECT_EQ(errorOf(c, server.url("/stall"), &got), "(no error)");
    EXPECT_EQ(got.size(), 90u) << "a short range arrives before the stall";
    EXPECT_EQ(c.response().status, 206);
    EXPECT_EQ(c.response().contentRange, "bytes 10-99/100000");
    EXPECT_EQ(c.response().contentLength, 90);

    c.rangeStart = 0;
    c.rangeEnd = 0;
    got.clear();
    EXPECT_EQ(errorOf(c, server.url("/stall"), &got).rfind("Socket Error # 110", 0), 0u);
    EXPECT_EQ(got.size(), 5000u);

    Behaviour moved;
    moved.status = 302;
    moved.location = "../b/c.mp3";
    server.addGeneratedFile("/a/x/y.mp3", 1, moved);
    EXPECT_EQ(errorOf(c, server.url("/a/x/y.mp3"), nullptr).rfind("302", 0), 0u);
    EXPECT_EQ(c.response().location, "../b/c.mp3");
    EXPECT_EQ(http::resolveAddress(server.url("/a/x/y.mp3"), c.response().location),
              server.url("/a/b/c.mp3"));
    EXPECT_EQ(http::resolveAddress(server.url("/a"), "http://other:81/z"), "http://other:81/z");
}

TEST(HttpClientName, AHostGivenByNameIsLookedUpAndEveryAddressTried)
{
    LoopbackServer server;
    server.addGeneratedFile("/file", 1000);

    // "localhost" may name ::1 first, where nothing listens, and the next address is tried.
    HttpClient named;
    named.host = "localhost";
    named.port = server.port();
    named.Connect();
    EXPECT_TRUE(named.Connected());
    const std::string body = named.Get(server.url("/file"));
    EXPECT_EQ(testsupport::firstGeneratedMismatch(0, body), -1);
    EXPECT_EQ(body.size(), 1000u);
}

TEST(HttpClientConnect, TheFirstGetGoesOverTheConnectionConnectOpened)
{
    LoopbackServer server;
    server.addGeneratedFile("/a.mp3", 100'000);
    HttpClient c;
    pointAt(c, server);
    auto acceptedReaches = [&server](int n) {
        for (int i = 0; i < 1000 && server.acceptedConnections() < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return server.acceptedConnections() == n;
    };
    c.Connect();
    ASSERT_TRUE(acceptedReaches(1));
    EXPECT_EQ(c.Get(server.url("/a.mp3")).size(), 100'000u);
    EXPECT_EQ(server.acceptedConnections(), 1) << "the GET went over Connect's connection";

    // After a Disconnect the connection Connect opened is gone and the GET opens its own.
    c.Connect();
    ASSERT_TRUE(acceptedReaches(2));
    c.Disconnect();
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(c.Get(server.url("/a.mp3")).size(), 100'000u);
    EXPECT_EQ(server.acceptedConnections(), 3);
}

TEST(HttpClientParallel, FifteenRangedClientsRebuildTheFile)
{
    LoopbackServer server;
    const std::int64_t size = 3000000;
    Behaviour trickle;
    trickle.trickleChunk = 64 * 1024;
    trickle.trickleDelay = std::chrono::milliseconds(5);
    server.addGeneratedFile("/big.mp3", size, trickle);

    constexpr int workers = 15;
    const std::int64_t piece = size / workers;
    std::vector<std::unique_ptr<HttpClient>> clients;
    std::vector<std::string> parts(workers);
    std::atomic<int> ends{0};
    for (int i = 0; i < workers; ++i) {
        clients.push_back(std::make_unique<HttpClient>());
        HttpClient& c = *clients.back();
        pointAt(c, server);
        c.tag = 100 + i;
        c.onWorkEnd = [&](HttpClient&, int) { ++ends; };
        c.Connect(); // connected on this thread, used on the worker's
        c.rangeStart = i * piece;
        c.rangeEnd = i == workers - 1 ? size : (i + 1) * piece;
    }
    std::vector<std::thread> threads;
    for (int i = 0; i < workers; ++i)
        threads.emplace_back([&, i] { parts[i] = clients[i]->Get(server.url("/big.mp3")); });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(ends.load(), workers);
    for (int i = 0; i < workers; ++i) {
        const std::int64_t first = i * piece;
        const std::int64_t expected = i == workers - 1 ? size - first : piece + 1;
        EXPECT_EQ(static_cast<std::int64_t>(parts[i].size()), expected) << i;
        EXPECT_EQ(testsupport::firstGeneratedMismatch(first, parts[i]), -1) << i;
    }
    EXPECT_GT(server.peakConnections(), 1);
}

} // namespace

namespace {

TEST(HttpClientLimit, AnswersKeptInMemoryAreRefusedPastTheLimitWithoutReadingOn)
{
    LoopbackServer server;
    const std::int64_t threeGiB = 3LL * 1024 * 1024 * 1024;
    const std::int64_t MiB = 1 << 20;
    struct Case {
        const char* path;
        BodyFraming framing;
        std::int64_t size;
        std::int64_t limit; // 0: the client's own
        bool refused;
    };
    const std::vector<Case> cases = {
        {"/announced.json", BodyFraming::ContentLength, threeGiB, 0, true},
        {"/chunked.json", BodyFraming::Chunked, threeGiB, MiB, true},
        {"/endless.json", BodyFraming::CloseDelimited, threeGiB, MiB, true},
        {"/exact.json", BodyFraming::Chunked, MiB + 1, MiB, false},
        {"/largest.json", BodyFraming::ContentLength, http::kLargestTextAnswer + 1, 0, false},
        {"/over.json", BodyFraming::Chunked, http::kLargestTextAnswer + 2, 0, true},
    };
    for (const Case& c : cases) {
        Behaviour b;
        b.framing = c.framing;
        server.addGeneratedFile(c.path, c.size, b);
    }
    EXPECT_EQ(http::kLargestTextAnswer, 32 * MiB);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        HttpClient client;
        pointAt(client, server);
        client.rangeStart = 1; // a 206 answer, whose body bytes the server counts
        std::string body;
        std::string failure;
        try {
            body =
                c.limit ? client.Get(server.url(c.path), c.limit) : client.Get(server.url(c.path));
        } catch (const http::AnswerTooLarge& e) {
            failure = e.what();
        }
        const std::int64_t limit = c.limit ? c.limit : http::kLargestTextAnswer;
        if (c.refused) {
            EXPECT_EQ(failure, "\xBB\xD8\xB4\xF0\xB9\xFD\xB4\xF3"); // "回答过大"
            EXPECT_TRUE(body.empty());
            // What the socket buffers hold beside the limit, not the rest of three gigabytes.
            EXPECT_LT(server.bodyBytesServed(c.path), limit + 64 * MiB);
        } else {
            EXPECT_EQ(failure, "");
            EXPECT_EQ(static_cast<std::int64_t>(body.size()), c.size - 1);
            EXPECT_EQ(testsupport::firstGeneratedMismatch(1, body), -1);
        }
    }
}

} // namespace
