// The client against real servers: nginx over TLS with a CA made for the test, and tinyproxy as
// the user's proxy (plain requests and CONNECT tunnels).
#include "../download/nginx_fixture.h"
#include "../support/scoped_env.h"
#include "../support/test_certificates.h"
#include "../support/tinyproxy_fixture.h"

#include "core/gbk.h"
#include "http/http_client.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

using enginetest::Nginx;
using enginetest::tlsOptions;
using http::HttpClient;
using http::HttpError;
using testsupport::ScopedEnv;
using testsupport::testCertificates;
using testsupport::Tinyproxy;

namespace {

// The message the GET raised, and whether any body byte or begin notification came first.
struct Failure {
    std::string message;
    bool sawBody = false;
};
Failure failureOf(HttpClient& c, const std::string& url)
{
    Failure f;
    c.onWorkBegin = [&f](HttpClient&, int, std::int64_t) { f.sawBody = true; };
    try {
        c.Get(url, [&f](std::string_view) { f.sawBody = true; });
        f.message = "(no failure)";
    } catch (const HttpError& e) {
        f.message = e.what();
    }
    c.onWorkBegin = nullptr;
    return f;
}

// The requests tinyproxy logged (plain ones and CONNECTs).
int requestsIn(const std::string& log)
{
    int n = 0;
    for (std::size_t at = log.find("Request ("); at != std::string::npos;
         at = log.find("Request (", at + 1))
        ++n;
    return n;
}

bool startsWith(const std::string& text, const char* utf8Prefix)
{
    return text.rfind(core::utf8ToGbk(utf8Prefix), 0) == 0;
}

} // namespace

TEST(HttpsClient, FilesArriveExactOnAnyThreadAndHeadersStayReadable)
{
    ScopedEnv env;
    env.withoutProxies().trustOnly(testCertificates().caFile.string());
    Nginx nginx(tlsOptions());
    enginetest::writePatternFile(nginx.root() / "a.mp3", 3'000'001);
    const std::string expected = enginetest::fileContent(nginx.root() / "a.mp3");

    HttpClient c;
    c.rangeStart = 1000;
    c.rangeEnd = 2'000'000;
    EXPECT_EQ(c.Get(nginx.url("/a.mp3")), expected.substr(1000, 2'000'000 - 1000 + 1));
    EXPECT_EQ(c.response().status, 206);
    const std::string etag = c.responseHeader("eTaG");
    EXPECT_FALSE(etag.empty());
    EXPECT_TRUE(c.Connected()); // nginx keeps the connection for the next request

    // The client's extra lines go out with the request: a matching validator gives 304.
    c.rangeStart = c.rangeEnd = 0;
    c.extraHeaders = {"If-None-Match: " + etag};
    EXPECT_EQ(failureOf(c, nginx.url("/a.mp3")).message, "304 Not Modified");
    c.extraHeaders.clear();
    const Failure busy = failureOf(c, nginx.url("/busy"));
    EXPECT_EQ(busy.message.rfind("503 ", 0), 0u) << busy.message;
    EXPECT_FALSE(busy.sawBody);
    EXPECT_EQ(c.responseHeader("Retry-After"), "7");
    EXPECT_EQ(c.responseHeader("X-Not-Sent"), "");

    // Six clients on six threads at once, each reading the whole file.
    std::vector<std::string> bodies(6);
    std::vector<std::thread> threads;
    threads.reserve(bodies.size());
    for (auto& body : bodies)
        threads.emplace_back([&body, &nginx] {
            HttpClient own;
            try {
                body = own.Get(nginx.url("/a.mp3"));
            } catch (const std::exception& e) {
                body = e.what();
            }
        });
    for (auto& t : threads)
        t.join();
    for (const auto& body : bodies)
        EXPECT_TRUE(body == expected) << body.substr(0, 200);
}

namespace {

// Each connection's TLS session ("r" resumed, "." full handshake) and cipher, from the first
// request nginx logged on it, in the order the connections were opened.
struct TlsConnection {
    std::string reused;
    std::string cipher;
};
std::vector<TlsConnection> tlsConnections(const std::string& log)
{
    std::map<long, TlsConnection> byNumber;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        long connection = 0;
        int request = 0;
        int status = 0;
        TlsConnection c;
        if (fields >> connection >> request >> status >> c.reused >> c.cipher && request == 1)
            byNumber[connection] = c;
    }
    std::vector<TlsConnection> out;
    for (const auto& [number, c] : byNumber)
        out.push_back(c);
    return out;
}

// nginx's access log once it holds `lines` requests: nginx logs a request after its answer went
// out, which may be after the client has read it.
std::string accessLogOf(const Nginx& nginx, std::size_t lines)
{
    std::string log = nginx.accessLog();
    for (int i = 0; i < 1000 && std::count(log.begin(), log.end(), '\n') < static_cast<long>(lines);
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        log = nginx.accessLog();
    }
    return log;
}

} // namespace

TEST(HttpsClient, LaterConnectionsOfAnyClientAndThreadResumeTheFirstOnesTlsSessionOverAes128)
{
    ScopedEnv env;
    env.withoutProxies().trustOnly(testCertificates().caFile.string());
    Nginx::Options options = tlsOptions();
    options.logConnections = true;
    Nginx nginx(options);
    enginetest::writePatternFile(nginx.root() / "a.mp3", 200'000);

    HttpClient first;
    EXPECT_EQ(first.Get(nginx.url("/a.mp3")).size(), 200'000u);
    // Four other clients on four threads at once, each on a connection of its own.
    std::vector<std::size_t> sizes(4);
    std::vector<std::thread> threads;
    for (auto& size : sizes)
        threads.emplace_back([&size, &nginx] {
            HttpClient own;
            try {
                size = own.Get(nginx.url("/a.mp3")).size();
            } catch (const std::exception&) {
                size = 0;
            }
        });
    for (auto& t : threads)
        t.join();
    for (const std::size_t size : sizes)
        EXPECT_EQ(size, 200'000u);

    const std::string log = accessLogOf(nginx, 5);
    const std::vector<TlsConnection> connections = tlsConnections(log);
    ASSERT_EQ(connections.size(), 5u) << log;
    EXPECT_EQ(connections[0].reused, ".") << "the first connection has no session to resume";
    for (std::size_t i = 1; i < connections.size(); ++i)
        EXPECT_EQ(connections[i].reused, "r") << "connection " << i << "\n" << log;
    // nginx follows the client's order of ciphers: AES-128-GCM, not the library's AES-256 first.
    for (const TlsConnection& c : connections)
        EXPECT_NE(c.cipher.find("AES128-GCM"), std::string::npos) << c.cipher;
}

TEST(HttpsClient, CertificateFailuresSaySoAndDeliverNothing)
{
    const auto& certs = testCertificates();
    ScopedEnv env;
    env.withoutProxies().set("SSL_CERT_FILE", "").set("CURL_CA_BUNDLE", certs.caFile.string());
    Nginx wrongHost(tlsOptions(false));
    enginetest::writePatternFile(wrongHost.root() / "a.mp3", 5000);
    HttpClient c;
    const Failure host = failureOf(c, wrongHost.url("/a.mp3"));
    EXPECT_TRUE(startsWith(host.message, "证书无效：")) << host.message;
    EXPECT_FALSE(host.sawBody);

    Nginx right(tlsOptions());
    enginetest::writePatternFile(right.root() / "a.mp3", 5000);
    // CURL_CA_BUNDLE names the file before SSL_CERT_FILE, as for the curl tool.
    env.set("SSL_CERT_FILE", certs.otherCaFile.string());
    EXPECT_EQ(c.Get(right.url("/a.mp3")).size(), 5000u);
    env.set("CURL_CA_BUNDLE", "");
    HttpClient fresh;
    const Failure unknownCa = failureOf(fresh, right.url("/a.mp3"));
    EXPECT_TRUE(startsWith(unknownCa.message, "证书无效：")) << unknownCa.message;
    EXPECT_FALSE(unknownCa.sawBody);
    // Without any CA file the system's store is used, which does not know the test's CA.
    env.set("SSL_CERT_FILE", "");
    EXPECT_TRUE(startsWith(failureOf(fresh, right.url("/a.mp3")).message, "证书无效："));

    const Failure ftp = failureOf(fresh, "ftp://127.0.0.1/a.mp3");
    EXPECT_EQ(ftp.message, core::utf8ToGbk("不支持的地址：") + "ftp://127.0.0.1/a.mp3");
}

TEST(ProxyClient, RequestsGoThroughTheProxyUnlessNoProxyNamesTheHost)
{
    ScopedEnv env;
    env.withoutProxies().trustOnly(testCertificates().caFile.string());
    Tinyproxy proxy;
    env.set("http_proxy", proxy.url()).set("HTTPS_PROXY", proxy.url());
    Nginx plain;
    Nginx secure(tlsOptions());
    enginetest::writePatternFile(plain.root() / "p.mp3", 200'000);
    enginetest::writePatternFile(secure.root() / "s.mp3", 300'000);

    HttpClient c;
    EXPECT_EQ(c.Get(plain.url("/p.mp3")), enginetest::fileContent(plain.root() / "p.mp3"));
    EXPECT_EQ(c.Get(secure.url("/s.mp3")), enginetest::fileContent(secure.root() / "s.mp3"));
    const std::string log = proxy.log();
    EXPECT_NE(log.find("GET " + plain.url("/p.mp3")), std::string::npos) << log;
    EXPECT_NE(log.find("CONNECT 127.0.0.1:" + std::to_string(secure.port())), std::string::npos)
        << log;

    // Connect reaches the proxy, which serves names this machine cannot resolve.
    HttpClient ahead;
    ahead.host = "no-such-host.invalid";
    ahead.port = 80;
    EXPECT_NO_THROW(ahead.Connect());
    EXPECT_TRUE(ahead.Connected());
    // With only the https proxy named, an https server is reached through it and an http one
    // is not.
    env.set("http_proxy", "");
    ahead.scheme = "https";
    ahead.port = 443;
    EXPECT_NO_THROW(ahead.Connect());
    ahead.scheme = "http";
    ahead.port = 80;
    EXPECT_THROW(ahead.Connect(), http::HttpError);
    env.set("http_proxy", proxy.url());

    env.set("no_proxy", "localhost, 127.0.0.1");
    HttpClient direct;
    EXPECT_EQ(direct.Get(plain.url("/p.mp3?direct")).size(), 200'000u);
    EXPECT_EQ(direct.Get(secure.url("/s.mp3")).size(), 300'000u);
    EXPECT_EQ(proxy.log().find("direct"), std::string::npos);
    EXPECT_EQ(requestsIn(proxy.log()), requestsIn(log)); // nothing more went through it
}

TEST(ProxyClient, AProxyThatAsksForCredentialsOrCannotBeReachedFailsWithItsLine)
{
    ScopedEnv env;
    env.withoutProxies().trustOnly(testCertificates().caFile.string());
    Tinyproxy guarded("corvale");
    env.set("http_proxy", guarded.url()).set("https_proxy", guarded.url());
    Nginx plain;
    Nginx secure(tlsOptions());
    enginetest::writePatternFile(plain.root() / "p.mp3", 1000);
    enginetest::writePatternFile(secure.root() / "s.mp3", 1000);
    HttpClient c;
    const std::string auth = core::utf8ToGbk("代理服务器要求身份验证（407）");
    const Failure overHttp = failureOf(c, plain.url("/p.mp3"));
    EXPECT_EQ(overHttp.message, auth);
    EXPECT_FALSE(overHttp.sawBody);
    EXPECT_EQ(failureOf(c, secure.url("/s.mp3")).message, auth);

    const std::string down = "http://127.0.0.1:" + std::to_string(testsupport::refusedPort());
    env.set("http_proxy", down).set("https_proxy", down);
    EXPECT_TRUE(startsWith(failureOf(c, plain.url("/p.mp3")).message, "无法连接代理服务器："));
    EXPECT_TRUE(startsWith(failureOf(c, secure.url("/s.mp3")).message, "无法连接代理服务器："));
    HttpClient ahead;
    ahead.host = "127.0.0.1";
    ahead.port = plain.port();
    try {
        ahead.Connect();
        ADD_FAILURE() << "connected through a proxy that is down";
    } catch (const HttpError& e) {
        EXPECT_TRUE(startsWith(e.what(), "无法连接代理服务器：")) << e.what();
    }
}
