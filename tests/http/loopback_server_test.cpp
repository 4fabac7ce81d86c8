// The loopback server that the network tests rely on, checked over raw sockets so that a fault
// of the server is not mistaken for a fault of the client.
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

namespace {

using testsupport::Behaviour;
using testsupport::BodyFraming;
using testsupport::LoopbackServer;
using testsupport::RangeMode;

int connectTo(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        const int err = errno;
        ::close(fd);
        return -err;
    }
    return fd;
}

// Sends one request and reads until the server closes: the raw response.
std::string roundTrip(int port, const std::string& request)
{
    const int fd = connectTo(port);
    if (fd < 0)
        return {};
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return out;
}

std::string get(int port, const std::string& path, const std::string& extra = {})
{
    return roundTrip(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n");
}

std::string headOf(const std::string& response)
{
    return response.substr(0, response.find("\r\n\r\n") + 2);
}

std::string bodyOf(const std::string& response)
{
    return response.substr(response.find("\r\n\r\n") + 4);
}

TEST(LoopbackServer, ServesGeneratedFilesWithRangesAndRecordsRequests)
{
    LoopbackServer server;
    server.addGeneratedFile("/a.mp3", 100000);

    const std::string whole = get(server.port(), "/a.mp3");
    EXPECT_EQ(whole.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << headOf(whole);
    EXPECT_NE(headOf(whole).find("Content-Length: 100000\r\n"), std::string::npos);
    EXPECT_EQ(bodyOf(whole).size(), 100000u);
    EXPECT_EQ(testsupport::firstGeneratedMismatch(0, bodyOf(whole)), -1);

    const std::string part = get(server.port(), "/a.mp3", "Range: bytes=20000-40000\r\n");
    EXPECT_EQ(part.rfind("HTTP/1.1 206 Partial Content\r\n", 0), 0u) << headOf(part);
    EXPECT_NE(headOf(part).find("Content-Range: bytes 20000-40000/100000\r\n"), std::string::npos);
    EXPECT_EQ(bodyOf(part), testsupport::generatedBytes(20000, 20001));

    // An end past the file is clamped (the download engine asks up to the size itself).
    const std::string tail = get(server.port(), "/a.mp3", "Range: bytes=99990-100000\r\n");
    EXPECT_NE(headOf(tail).find("Content-Range: bytes 99990-99999/100000\r\n"), std::string::npos);
    EXPECT_EQ(bodyOf(tail), testsupport::generatedBytes(99990, 10));

    const std::string open = get(server.port(), "/a.mp3", "Range: bytes=99000-\r\n");
    EXPECT_EQ(bodyOf(open), testsupport::generatedBytes(99000, 1000));

    const std::string past = get(server.port(), "/a.mp3", "Range: bytes=100000-\r\n");
    EXPECT_EQ(past.rfind("HTTP/1.1 416 ", 0), 0u) << headOf(past);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].requestLine, "GET /a.mp3 HTTP/1.1");
    EXPECT_FALSE(requests[0].hasHeader("range"));
    EXPECT_EQ(requests[1].header("RANGE").value_or(""), "bytes=20000-40000");
    EXPECT_EQ(server.lastRequestFor("/a.mp3").header("Range").value_or(""), "bytes=100000-");
    EXPECT_THROW(server.lastRequestFor("/other"), std::runtime_error);
}

TEST(LoopbackServer, SwitchableFramingRangesAndFaults)
{
    LoopbackServer server;
    Behaviour ignore;
    ignore.ranges = RangeMode::Ignore;
    server.addGeneratedFile("/ignore", 5000, ignore);
    const std::string r1 = get(server.port(), "/ignore", "Range: bytes=10-20\r\n");
    EXPECT_EQ(r1.rfind("HTTP/1.1 200 ", 0), 0u);
    EXPECT_EQ(bodyOf(r1).size(), 5000u);

    Behaviour chunked;
    chunked.framing = BodyFraming::Chunked;
    chunked.trickleChunk = 700;
    chunked.trickleDelay = std::chrono::milliseconds(1);
    server.addFixedFile("/chunked", std::string(2000, 'x'), chunked);
    const std::string r2 = get(server.port(), "/chunked");
    EXPECT_NE(headOf(r2).find("Transfer-Encoding: chunked\r\n"), std::string::npos);
    EXPECT_EQ(headOf(r2).find("Content-Length"), std::string::npos);
    EXPECT_EQ(bodyOf(r2), "2bc\r\n" + std::string(700, 'x') + "\r\n2bc\r\n" +
                              std::string(700, 'x') + "\r\n258\r\n" + std::string(600, 'x') +
                              "\r\n0\r\n\r\n");

    Behaviour close;
    close.framing = BodyFraming::CloseDelimited;
    server.addGeneratedFile("/close", 3000, close);
    const std::string r3 = get(server.port(), "/close");
    EXPECT_EQ(headOf(r3).find("Content-Length"), std::string::npos);
    EXPECT_EQ(bodyOf(r3), testsupport::generatedBytes(0, 3000));

    Behaviour drop;
    drop.dropAfterBytes = 1234;
    server.addGeneratedFile("/drop", 100000, drop);
    const std::string r4 = get(server.port(), "/drop");
    EXPECT_NE(headOf(r4).find("Content-Length: 100000\r\n"), std::string::npos);
    EXPECT_EQ(bodyOf(r4), testsupport::generatedBytes(0, 1234));

    Behaviour moved;
    moved.status = 302;
    server.addGeneratedFile("/moved", 10, moved);
    const std::string r5 = get(server.port(), "/moved");
    EXPECT_EQ(r5.rfind("HTTP/1.1 302 Found\r\n", 0), 0u);
    EXPECT_NE(headOf(r5).find("Location: "), std::string::npos);

    const std::string r6 = get(server.port(), "/nothing-here");
    EXPECT_EQ(r6.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);
    EXPECT_FALSE(bodyOf(r6).empty());

    EXPECT_EQ(connectTo(testsupport::refusedPort()), -ECONNREFUSED);
}

TEST(LoopbackServer, ServesManyConnectionsAtOnceAndStopsWhileTheyRun)
{
    std::vector<std::string> bodies(15);
    std::thread stuck;
    {
        LoopbackServer server;
        Behaviour slow;
        slow.trickleChunk = 100;
        slow.trickleDelay = std::chrono::milliseconds(20);
        // Every answer waits long enough for all fifteen clients to connect, even on a
        // loaded machine under a sanitizer.
        slow.headDelay = std::chrono::milliseconds(1500);
        server.addGeneratedFile("/slow", 1000, slow);
        std::vector<std::thread> clients;
        for (int i = 0; i < 15; ++i)
            clients.emplace_back([&, i] {
                bodies[i] = bodyOf(get(server.port(), "/slow",
                                       "Range: bytes=" + std::to_string(i * 10) + "-\r\n"));
            });
        for (auto& t : clients)
            t.join();
        EXPECT_EQ(server.peakConnections(), 15);
        EXPECT_EQ(server.requestCount(), 15u);

        // A body that would take minutes: the destructor must still end promptly.
        Behaviour endless;
        endless.trickleChunk = 1;
        endless.trickleDelay = std::chrono::milliseconds(200);
        server.addGeneratedFile("/endless", 1000000, endless);
        const int port = server.port();
        stuck = std::thread([port] { get(port, "/endless"); });
        while (server.openConnections() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    stuck.join(); // ends because the server closed its connection on the way out
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(bodies[i], testsupport::generatedBytes(i * 10, 1000 - i * 10)) << i;
}

} // namespace
