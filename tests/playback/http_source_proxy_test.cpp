// The playback source over https and through the user's proxy, against nginx with a CA made
// for the test and tinyproxy.
#include "../download/nginx_fixture.h"
#include "../support/scoped_env.h"
#include "../support/test_certificates.h"
#include "../support/tinyproxy_fixture.h"

#include "player/playback/byte_source.h"

#include <gtest/gtest.h>

#include <vector>

using enginetest::Nginx;
using enginetest::tlsOptions;
using testsupport::ScopedEnv;
using testsupport::testCertificates;
using testsupport::Tinyproxy;

namespace {

std::string readAll(playback::ByteSource& source)
{
    std::string out;
    std::vector<std::uint8_t> buffer(70'000);
    while (const int n = source.read(buffer.data(), static_cast<int>(buffer.size())))
        out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(n));
    return out;
}

// The user's sentence of the SourceError that opening raises, or "(opened)".
std::string openFailure(const std::string& url)
{
    try {
        playback::openByteSource(url, {});
    } catch (const playback::SourceError& e) {
        return e.userText();
    }
    return "(opened)";
}

} // namespace

TEST(HttpSourceProxy, HttpsSongsPlayThroughTheProxyAndItsRefusalsAreTold)
{
    ScopedEnv env;
    env.withoutProxies().trustOnly(testCertificates().caFile.string());
    Tinyproxy proxy;
    env.set("https_proxy", proxy.url()).set("http_proxy", proxy.url());
    Nginx secure(tlsOptions());
    enginetest::writePatternFile(secure.root() / "song.mp3", 700'001);
    const std::string expected = enginetest::fileContent(secure.root() / "song.mp3");

    playback::SourceOptions options;
    options.blockBytes = 100'000;
    auto source = playback::openByteSource(secure.url("/song.mp3"), options);
    EXPECT_EQ(source->size(), 700'001);
    EXPECT_TRUE(readAll(*source) == expected);
    ASSERT_TRUE(source->seek(450'000));
    std::uint8_t byte = 0;
    ASSERT_EQ(source->read(&byte, 1), 1);
    EXPECT_EQ(static_cast<char>(byte), expected[450'000]);
    EXPECT_NE(proxy.log().find("CONNECT 127.0.0.1:" + std::to_string(secure.port())),
              std::string::npos);

    Tinyproxy guarded("corvale");
    env.set("https_proxy", guarded.url());
    EXPECT_EQ(openFailure(secure.url("/song.mp3")), "代理服务器要求身份验证（407）");

    env.set("https_proxy", "")
        .set("http_proxy", "")
        .set("SSL_CERT_FILE", testCertificates().otherCaFile.string());
    EXPECT_EQ(openFailure(secure.url("/song.mp3")).rfind("证书无效：", 0), 0u);
}
