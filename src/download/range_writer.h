#pragma once
// Writes one worker's byte range into the target file as the body arrives, through a small
// bounded buffer: memory does not grow with the file, and whatever arrived before a failure
// ends up on disk at its own offset.
//
// The response is checked against the range: a body announced as long as the range is the
// range itself; a body announced as long as the whole file (a server that ignored the Range
// header and answered with the whole file) is cut down to the range's own bytes; a body of any
// other announced length is not the range and is never written. A body with no announced length
// is taken as the range and never written past the range's end.
#include "download/transfer_plan.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace download {

class RangeWriter {
public:
    // Opens the (existing) target file, named by its file-system path, for writing; throws
    // core::FileError when it cannot.
    RangeWriter(const std::string& nativePath, ByteRange range, std::int64_t fileSize,
                std::size_t bufferSize);
    ~RangeWriter(); // flushes what is left and closes; never throws
    RangeWriter(const RangeWriter&) = delete;
    RangeWriter& operator=(const RangeWriter&) = delete;

    // The response body starts; announced is its content length (0 when none).
    void begin(std::int64_t announced);
    // A piece of the body.
    void write(std::string_view chunk);
    // Writes out what is buffered and closes the file; false when a write failed.
    bool finish();

    std::int64_t bytesWritten() const { return written_ + static_cast<std::int64_t>(used_); }
    bool rejected() const { return mode_ == Mode::Reject; }

private:
    enum class Mode { Range, WholeFile, Reject };
    bool flush();

    int fd_ = -1;
    ByteRange range_;
    std::int64_t fileSize_ = 0;
    std::int64_t keep_ = 0;       // bytes of the range still to keep
    std::int64_t skip_ = 0;       // leading body bytes to drop (whole-file answers)
    std::int64_t fileOffset_ = 0; // where the buffer's first byte goes
    std::int64_t written_ = 0;
    Mode mode_ = Mode::Range;
    std::string buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

} // namespace download
