#include "player/playback/http_source.h"

#include "http/curl_setup.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace playback {
namespace {

struct Transfer {
    std::vector<std::uint8_t>* body;
    std::int64_t skip;  // bytes of the body to drop first (a server that ignored the range)
    std::int64_t limit; // bytes to keep
    const std::atomic<bool>* abort;
};

size_t onBody(char* data, size_t, size_t count, void* context)
{
    auto* t = static_cast<Transfer*>(context);
    std::int64_t offset = 0;
    const auto n = static_cast<std::int64_t>(count);
    if (t->skip > 0) {
        offset = std::min(t->skip, n);
        t->skip -= offset;
    }
    const std::int64_t room = t->limit - static_cast<std::int64_t>(t->body->size());
    const std::int64_t take = std::min(room, n - offset);
    if (take > 0)
        t->body->insert(t->body->end(), data + offset, data + offset + take);
    // Stop the transfer once the block is full: the rest was not asked for.
    return static_cast<std::int64_t>(t->body->size()) >= t->limit ? 0 : count;
}

int onProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* t = static_cast<Transfer*>(context);
    return t->abort && t->abort->load() ? 1 : 0;
}

// "bytes a-b/total" of a Content-Range header, or -1.
std::int64_t totalOfContentRange(const std::string& header)
{
    const std::size_t slash = header.find('/');
    if (slash == std::string::npos || header.compare(slash + 1, 1, "*") == 0)
        return -1;
    return std::strtoll(header.c_str() + slash + 1, nullptr, 10);
}

} // namespace

HttpSource::HttpSource(const std::string& url, const SourceOptions& options)
    : url_(url), options_(options)
{
    http::ensureCurlGlobal();
    curl_ = curl_easy_init();
    multi_ = curl_multi_init();
    try {
        if (!curl_ || !multi_)
            throw SourceError("无法连接服务器", "curl initialisation failed");
        fetchBlock(0);
    } catch (...) {
        curl_multi_cleanup(multi_);
        curl_easy_cleanup(curl_);
        throw;
    }
}

HttpSource::~HttpSource()
{
    curl_multi_cleanup(multi_);
    curl_easy_cleanup(curl_);
}

int HttpSource::perform()
{
    // The multi interface, polled in short steps, so that an abort ends even a transfer that
    // waits on a silent server within a twentieth of a second.
    CURLM* multi = multi_;
    curl_multi_add_handle(multi, curl_);
    int running = 1;
    CURLcode rc = CURLE_OK;
    while (running) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            rc = CURLE_FAILED_INIT;
            break;
        }
        if (!running)
            break;
        if (options_.abort && options_.abort->load()) {
            rc = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, 50, nullptr);
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left))
        if (message->msg == CURLMSG_DONE && message->easy_handle == curl_)
            rc = message->data.result;
    curl_multi_remove_handle(multi, curl_);
    return rc;
}

void HttpSource::fetchBlock(std::int64_t from)
{
    CURL* curl = curl_;
    std::vector<std::uint8_t> body;
    body.reserve(static_cast<size_t>(options_.blockBytes));
    Transfer transfer{&body, rangesIgnored_ ? from : 0, options_.blockBytes, options_.abort};
    const std::string range =
        std::to_string(from) + "-" + std::to_string(from + options_.blockBytes - 1);

    curl_easy_reset(curl);
    http::SetupOptions setup;
    setup.maxRedirects = 5;
    setup.connectTimeout = std::chrono::milliseconds(options_.connectTimeoutMs);
    http::applyCommonOptions(curl, setup);
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_URL, url_.c_str());
    if (!rangesIgnored_)
        curl_easy_setopt(curl, CURLOPT_RANGE, range.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    // A server that sends nothing for the read timeout has stalled.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                     std::max(1L, static_cast<long>((options_.readTimeoutMs + 999) / 1000)));

    const auto rc = static_cast<CURLcode>(perform());
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    const bool full = static_cast<std::int64_t>(body.size()) >= options_.blockBytes;
    if (rc == CURLE_ABORTED_BY_CALLBACK)
        throw SourceError("已停止", "aborted");
    if (rc == CURLE_OPERATION_TIMEDOUT)
        throw SourceError("服务器没有响应", "read timed out");
    const std::string detail = errorText[0] ? errorText : curl_easy_strerror(rc);
    if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && full)) {
        const std::string line = http::failureLine(curl, rc, errorText, url_);
        throw SourceError(line.empty() ? "无法连接服务器" : line, detail);
    }
    if (status == 407)
        throw SourceError(http::proxyAuthLine(), "HTTP 407");
    if (status == 416) { // asked past the end
        blockStart_ = from;
        block_.clear();
        return;
    }
    if (status >= 400 || (status != 200 && status != 206))
        throw SourceError("服务器回答 " + std::to_string(status), "HTTP " + std::to_string(status));

    if (status == 206) {
        size_ = totalOfContentRange(http::headerValue(curl, "Content-Range"));
    } else {
        // 200: the whole body from its start. Its length is the size when the server says so.
        curl_off_t length = -1;
        curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length >= 0)
            size_ = length;
        if (!rangesIgnored_ && from > 0) { // the range was ignored: read again from the start
            rangesIgnored_ = true;
            fetchBlock(from);
            return;
        }
        rangesIgnored_ = true;
    }
    if (!full) // the body ended before the block did: that is the end of the file
        size_ = from + static_cast<std::int64_t>(body.size());
    blockStart_ = from;
    block_ = std::move(body);
}

int HttpSource::read(std::uint8_t* buffer, int size)
{
    if (size_ >= 0 && position_ >= size_)
        return 0;
    const std::int64_t blockEnd = blockStart_ + static_cast<std::int64_t>(block_.size());
    if (position_ < blockStart_ || position_ >= blockEnd) {
        fetchBlock(position_);
        if (block_.empty())
            return 0;
    }
    const std::int64_t offset = position_ - blockStart_;
    const int n = static_cast<int>(
        std::min<std::int64_t>(size, static_cast<std::int64_t>(block_.size()) - offset));
    std::memcpy(buffer, block_.data() + offset, static_cast<size_t>(n));
    position_ += n;
    return n;
}

bool HttpSource::seek(std::int64_t position)
{
    if (position < 0 || (size_ >= 0 && position > size_))
        return false;
    position_ = position;
    return true;
}

} // namespace playback
