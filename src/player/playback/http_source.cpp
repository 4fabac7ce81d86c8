#include "player/playback/http_source.h"

#include "core/gbk.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace playback {

HttpSource::HttpSource(const std::string& url, const SourceOptions& options)
    : options_(options), reader_(client_, url, options.blockBytes)
{
    // A server that sends nothing for the read timeout has stalled (connecting included).
    client_.stallTimeout = std::chrono::milliseconds(
        std::max(1, std::min(options_.connectTimeoutMs, options_.readTimeoutMs)));
    client_.cancel = options_.abort;
    try {
        reader_.open();
    } catch (const http::HttpError& e) {
        fail(e);
    }
    client_.stallTimeout = std::chrono::milliseconds(std::max(1, options_.readTimeoutMs));
}

int HttpSource::read(std::uint8_t* buffer, int size)
{
    try {
        return reader_.read(buffer, size);
    } catch (const http::HttpError& e) {
        fail(e);
    }
}

void HttpSource::fail(const http::HttpError& e) const
{
    const std::string what = e.what();
    if (options_.abort && options_.abort->load())
        throw SourceError("已停止", "aborted");
    if (what.starts_with("Socket Error # ")) {
        const int code = std::atoi(what.c_str() + 15);
        if (code == 110)
            throw SourceError("服务器没有响应", "read timed out");
        throw SourceError("无法连接服务器", what);
    }
    if (const long status = client_.response().status;
        status >= 300 && status != 407 && what.starts_with(std::to_string(status)))
        throw SourceError("服务器回答 " + std::to_string(status), "HTTP " + std::to_string(status));
    // A line for the user already: a certificate, a proxy, a redirect that is not followed.
    throw SourceError(core::gbkToUtf8(what), what);
}

} // namespace playback
