#include "download/range_writer.h"

#include "core/line_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace download {

RangeWriter::RangeWriter(const std::string& nativePath, ByteRange range, std::int64_t fileSize,
                         std::size_t bufferSize)
    : range_(range), fileSize_(fileSize), keep_(expectedRangeLength(range, fileSize)),
      fileOffset_(range.start), buffer_(std::max<std::size_t>(bufferSize, 4096), '\0')
{
    fd_ = ::open(nativePath.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0)
        throw core::FileError("Cannot open file " + nativePath);
}

RangeWriter::~RangeWriter()
{
    finish();
}

void RangeWriter::begin(std::int64_t announced)
{
    const std::int64_t expected = expectedRangeLength(range_, fileSize_);
    if (announced == 0 || announced == expected) {
        mode_ = Mode::Range;
    } else if (announced == fileSize_) {
        mode_ = Mode::WholeFile;
        skip_ = range_.start;
    } else {
        mode_ = Mode::Reject;
        keep_ = 0;
    }
}

void RangeWriter::write(std::string_view chunk)
{
    if (mode_ == Mode::Reject || failed_ || fd_ < 0)
        return;
    if (skip_ > 0) {
        const auto drop = static_cast<std::size_t>(std::min<std::int64_t>(skip_, chunk.size()));
        chunk.remove_prefix(drop);
        skip_ -= static_cast<std::int64_t>(drop);
    }
    if (static_cast<std::int64_t>(chunk.size()) > keep_)
        chunk = chunk.substr(0, static_cast<std::size_t>(keep_));
    keep_ -= static_cast<std::int64_t>(chunk.size());
    while (!chunk.empty()) {
        const std::size_t room = buffer_.size() - used_;
        const std::size_t n = std::min(room, chunk.size());
        std::memcpy(buffer_.data() + used_, chunk.data(), n);
        used_ += n;
        chunk.remove_prefix(n);
        if (used_ == buffer_.size() && !flush())
            return;
    }
}

bool RangeWriter::flush()
{
    std::size_t done = 0;
    while (done < used_) {
        const ssize_t n =
            ::pwrite(fd_, buffer_.data() + done, used_ - done,
                     static_cast<off_t>(fileOffset_ + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed_ = true;
            used_ = 0;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    fileOffset_ += static_cast<std::int64_t>(used_);
    written_ += static_cast<std::int64_t>(used_);
    used_ = 0;
    return true;
}

bool RangeWriter::finish()
{
    if (fd_ < 0)
        return !failed_;
    if (!failed_)
        flush();
    ::close(fd_);
    fd_ = -1;
    return !failed_;
}

} // namespace download
