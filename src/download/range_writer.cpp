#include "download/range_writer.h"

#include "core/gbk.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace download {

namespace {

// "bytes a-b/total"; false when the value is not of that form.
bool parseContentRange(const std::string& value, std::int64_t& first, std::int64_t& last,
                       std::int64_t& total)
{
    long long a = 0, b = 0, t = 0;
    int used = 0;
    if (std::sscanf(value.c_str(), "bytes %lld-%lld/%lld%n", &a, &b, &t, &used) != 3 ||
        static_cast<std::size_t>(used) != value.size() || a < 0 || b < a || t <= a)
        return false;
    first = a;
    last = std::min<long long>(b, t - 1); // some servers repeat an asked end past the file's
    total = t;
    return true;
}

std::string systemText(int err)
{
    char text[256];
    return ::strerror_r(err, text, sizeof text); // the GNU form returns the text
}

AnswerCheck refused(const char* utf8Reason)
{
    AnswerCheck c;
    c.reason = core::utf8ToGbk(utf8Reason);
    return c;
}

} // namespace

AnswerCheck checkAnswer(long status, std::int64_t contentLength, const std::string& contentRange,
                        std::int64_t askedStart, std::int64_t fileSize)
{
    if (status < 200 || status >= 300)
        return refused("服务器没有送出文件");
    AnswerCheck c;
    c.ok = true;
    if (fileSize < 0) {
        c.skip = askedStart; // asked whole again: what is on disk already is dropped
        return c;
    }
    if (status == 206) {
        std::int64_t first = 0, last = 0, total = 0;
        if (!parseContentRange(contentRange, first, last, total))
            return refused("服务器送出的片段没有有效的 Content-Range");
        if (first != askedStart)
            return refused("服务器送出的片段起点不对");
        if (total != fileSize)
            return refused("服务器送出的片段所属文件长度不对");
        if (contentLength >= 0 && contentLength != last - first + 1)
            return refused("服务器送出的片段长度不对");
        return c;
    }
    if (contentLength >= 0 && contentLength != fileSize)
        return refused("服务器送出的文件长度不对");
    c.skip = askedStart;
    return c;
}

RangeWriter::RangeWriter(int fd, SegmentMap& map, int worker, std::int64_t start, std::int64_t skip,
                         std::string& buffer)
    : fd_(fd), map_(map), worker_(worker), skip_(skip), fileOffset_(start), buffer_(buffer)
{
}

void RangeWriter::write(std::string_view chunk)
{
    if (skip_ > 0) {
        const auto drop = static_cast<std::size_t>(
            std::min<std::int64_t>(skip_, static_cast<std::int64_t>(chunk.size())));
        chunk.remove_prefix(drop);
        skip_ -= static_cast<std::int64_t>(drop);
        if (chunk.empty())
            return;
    }
    const std::int64_t keep =
        map_.reserve(worker_, position(), static_cast<std::int64_t>(chunk.size()));
    const bool ended = keep < static_cast<std::int64_t>(chunk.size());
    chunk = chunk.substr(0, static_cast<std::size_t>(keep));
    while (!chunk.empty()) {
        const std::size_t n = std::min(buffer_.size() - used_, chunk.size());
        std::memcpy(buffer_.data() + used_, chunk.data(), n);
        used_ += n;
        chunk.remove_prefix(n);
        if (used_ == buffer_.size())
            flush();
    }
    if (ended) {
        flush();
        throw SpanEnded{};
    }
}

void RangeWriter::flush()
{
    std::size_t done = 0;
    while (done < used_) {
        const ssize_t n =
            ::pwrite(fd_, buffer_.data() + done, used_ - done,
                     static_cast<off_t>(fileOffset_ + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            used_ = 0;
            throw WriteFailed(systemText(err));
        }
        done += static_cast<std::size_t>(n);
    }
    fileOffset_ += static_cast<std::int64_t>(used_);
    used_ = 0;
    map_.written(worker_, fileOffset_);
}

} // namespace download
