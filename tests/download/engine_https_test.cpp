// The transfer engine over https and through the user's proxy, against nginx with a CA made for
// the test and tinyproxy; and kept-alive connections under connection resets.
#include "../support/scoped_env.h"
#include "../support/test_certificates.h"
#include "../support/tinyproxy_fixture.h"
#include "engine_test_support.h"
#include "nginx_fixture.h"

#include "core/gbk.h"
#include "download/resume_record.h"
#include "http/http_client.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace enginetest;
using testsupport::ScopedEnv;
using testsupport::testCertificates;
using testsupport::Tinyproxy;

namespace {

bool sameContent(const std::string& saved, const std::filesystem::path& source)
{
    return std::filesystem::exists(saved) && readFile(saved) == readFile(source.string());
}

bool memoHas(const EngineRun& run, const std::string& utf8)
{
    const std::string wanted = core::utf8ToGbk(utf8);
    for (const std::string& line : run.observer.memoLines())
        if (line.find(wanted) != std::string::npos)
            return true;
    return false;
}

// tools/bench/fault-proxy in front of a port: every connection is reset after a random number
// of bytes in [low, high].
class FaultProxy {
public:
    FaultProxy(int upstream, int low, int high)
    {
        char pattern[] = "/tmp/corvale-faults-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        const std::string portFile = (dir_ / "port").string();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl("/usr/bin/python3", "python3", CORVALE_FAULT_PROXY, "--upstream",
                    std::to_string(upstream).c_str(), "--port-file", portFile.c_str(), "--seed",
                    "7", "--min", std::to_string(low).c_str(), "--max",
                    std::to_string(high).c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 1000 && port_ == 0; ++i) {
            std::ifstream in(portFile);
            if (!(in >> port_) || !testsupport::loopbackListens(port_)) {
                port_ = 0;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        if (port_ == 0)
            throw std::runtime_error("fault-proxy did not start");
    }
    ~FaultProxy()
    {
        testsupport::endChild(pid_);
        std::filesystem::remove_all(dir_);
    }
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;
    std::string url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    std::filesystem::path dir_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// The most requests nginx's access log shows on one connection.
int mostRequestsOnOneConnection(const std::string& log)
{
    std::istringstream lines(log);
    std::string line;
    int most = 0;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        long connection = 0;
        int requests = 0;
        if (fields >> connection >> requests)
            most = std::max(most, requests);
    }
    return most;
}

} // namespace

TEST(EngineHttps, FilesArriveExactOverHttpsAndAfterARedirectFromHttp)
{
    ScopedEnv env;
    env.withoutProxies().trustOnly(testCertificates().caFile.string());
    Nginx nginx(tlsOptions());
    writePatternFile(nginx.root() / "a.mp3", 12'000'017);
    writePatternFile(nginx.root() / "b.mp3", 777'777);
    EngineRun run;
    const std::string a = run.addRow(nginx.url("/a.mp3"), "a");
    const std::string b = run.addRow(nginx.redirectingUrl("/b.mp3"), "b");
    ASSERT_TRUE(run.startAndWait());
    EXPECT_TRUE(sameContent(a, nginx.root() / "a.mp3"));
    EXPECT_TRUE(sameContent(b, nginx.root() / "b.mp3"));
    ASSERT_EQ(run.observer.activeRows().size(), 2u);
    EXPECT_EQ(run.observer.activeRows()[0].endNotifications, 5);
    EXPECT_TRUE(run.observer.memoLines().empty());
    EXPECT_TRUE(run.countersAtRest());
}

TEST(EngineHttps, BadCertificatesAndUnsupportedAddressesEndTheRowAndWriteNothing)
{
    ScopedEnv env;
    env.withoutProxies().trustOnly(testCertificates().caFile.string());
    Nginx wrongHost(tlsOptions(false));
    writePatternFile(wrongHost.root() / "a.mp3", 100'000);
    EngineRun run;
    const std::string a = run.addRow(wrongHost.url("/a.mp3"), "a");
    const std::string b = run.addRow("ftp://127.0.0.1/b.mp3", "b");
    run.addRow("http:///c.mp3", "c");
    ASSERT_TRUE(run.startAndWait());
    EXPECT_TRUE(memoHas(run, "证书无效："));
    EXPECT_TRUE(memoHas(run, "不支持的地址：ftp://127.0.0.1/b.mp3"));
    EXPECT_TRUE(memoHas(run, "下载地址无效：http:///c.mp3"));
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_FALSE(std::filesystem::exists(b));
    EXPECT_TRUE(run.countersAtRest());
}

TEST(EngineProxy, DownloadsGoThroughTheProxyAndOneThatAsksForCredentialsEndsTheRow)
{
    ScopedEnv env;
    env.withoutProxies().trustOnly(testCertificates().caFile.string());
    Tinyproxy proxy;
    env.set("http_proxy", proxy.url()).set("https_proxy", proxy.url());
    Nginx plain;
    Nginx secure(tlsOptions());
    writePatternFile(plain.root() / "p.mp3", 3'000'000);
    writePatternFile(secure.root() / "s.mp3", 3'000'000);
    {
        EngineRun run;
        const std::string p = run.addRow(plain.url("/p.mp3"), "p");
        const std::string s = run.addRow(secure.url("/s.mp3"), "s");
        ASSERT_TRUE(run.startAndWait());
        EXPECT_TRUE(sameContent(p, plain.root() / "p.mp3"));
        EXPECT_TRUE(sameContent(s, secure.root() / "s.mp3"));
    }
    const std::string log = proxy.log();
    EXPECT_NE(log.find("GET " + plain.url("/p.mp3")), std::string::npos) << log;
    EXPECT_NE(log.find("CONNECT 127.0.0.1:" + std::to_string(secure.port())), std::string::npos);

    Tinyproxy guarded("corvale");
    env.set("http_proxy", guarded.url()).set("https_proxy", guarded.url());
    EngineRun run;
    const std::string p = run.addRow(plain.url("/p.mp3"), "p");
    ASSERT_TRUE(run.startAndWait());
    EXPECT_TRUE(memoHas(run, "代理服务器要求身份验证（407）"));
    EXPECT_FALSE(std::filesystem::exists(p));
}

TEST(EngineReuse, KeptAliveConnectionsKeepTheFileExactUnderResets)
{
    ScopedEnv env;
    env.withoutProxies();
    Nginx::Options options;
    options.logConnections = true;
    Nginx nginx(options);
    writePatternFile(nginx.root() / "r.mp3", 6'000'000);
    FaultProxy faults(nginx.port(), 200'000, 2'500'000);
    EngineRun run;
    const std::string r = run.addRow(faults.url("/r.mp3"), "r");
    ASSERT_TRUE(run.startAndWait());
    EXPECT_TRUE(sameContent(r, nginx.root() / "r.mp3"));
    EXPECT_TRUE(run.countersAtRest());
}

TEST(EngineReuse, AWorkerAsksItsNextRangeOverTheConnectionItsLastRangeLeftOpen)
{
    ScopedEnv env;
    env.withoutProxies();
    Nginx::Options options;
    options.logConnections = true;
    Nginx nginx(options);
    constexpr std::int64_t kSize = 2'000'000;
    const std::filesystem::path source = nginx.root() / "k.mp3";
    writePatternFile(source, kSize);
    const std::string url = nginx.url("/k.mp3");
    http::HttpClient probe;
    probe.Get(url);
    const std::string etag = probe.responseHeader("ETag");
    const std::string lastModified = probe.responseHeader("Last-Modified");
    ASSERT_FALSE(etag.empty());

    // A file that ten ranges are missing from, as a first fetch left it: five connections have
    // ten ranges to ask for, so the ranges after the first ones go over connections already open.
    EngineRun run;
    const std::string path = run.addRow(url, "k");
    std::string content = readFile(source.string());
    download::ResumeRecord record{kSize, url, {}, etag, lastModified};
    for (std::int64_t i = 0; i < 10; ++i) {
        const download::ByteSpan span{i * 200'000, i * 200'000 + 100'000};
        std::fill(content.begin() + span.start, content.begin() + span.stop, '\0');
        record.missing.push_back(span);
    }
    std::ofstream(path, std::ios::binary) << content;
    ASSERT_TRUE(download::writeResumeRecord(path, record));
    auto noSplits = EngineRun::quickSettings();
    noSplits.minSplit = noSplits.minSlowSplit = std::int64_t{1} << 40;
    run.engine.setSettings(noSplits);

    ASSERT_TRUE(run.startAndWait());
    EXPECT_TRUE(sameContent(path, source));
    const std::string log = nginx.accessLog();
    std::istringstream lines(log);
    int ranges = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        long connection = 0;
        int request = 0;
        int status = 0;
        if (fields >> connection >> request >> status && status == 206)
            ++ranges;
    }
    EXPECT_GE(ranges, 10) << "every missing range asked on its own\n" << log;
    EXPECT_GE(mostRequestsOnOneConnection(log), 2) << log;
}
