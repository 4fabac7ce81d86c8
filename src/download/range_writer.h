#pragma once
// Writes what one request of a worker brings into the target file as it arrives, through a
// small bounded buffer: memory does not grow with the file. Only the bytes of the worker's span
// are kept (the span's end can move down while the request runs, when another worker takes
// over its upper half); each byte is recorded in the segment map once it is on disk.
#include "download/segment_map.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace download {

// What the head of an answer says about the body, checked against what was asked.
struct AnswerCheck {
    bool ok = false;
    std::int64_t skip = 0; // leading body bytes before the asked start (a whole-file answer)
    std::string reason;    // why the answer is refused (GBK), when not ok
};
// For a ranged request from askedStart of a file of fileSize bytes: a 206 must carry a
// Content-Range starting at askedStart with fileSize as its total (and a Content-Length, if
// any, that matches it); any other 2xx is the whole file (a Content-Length, if any, must be
// fileSize) and only the asked part of it is kept. A file of unknown length (fileSize below 0)
// is asked whole and any 2xx is it; a new try keeps it from askedStart on.
AnswerCheck checkAnswer(long status, std::int64_t contentLength, const std::string& contentRange,
                        std::int64_t askedStart, std::int64_t fileSize);

// The worker's span has no more bytes to take: the request can stop.
struct SpanEnded {};
// A write into the target file failed; what() is the system's text for the error.
class WriteFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class RangeWriter {
public:
    // fd: the worker's open descriptor of the target file. Bytes are kept from `start` on,
    // after dropping `skip` leading body bytes.
    RangeWriter(int fd, SegmentMap& map, int worker, std::int64_t start, std::int64_t skip,
                std::string& buffer);
    RangeWriter(const RangeWriter&) = delete;
    RangeWriter& operator=(const RangeWriter&) = delete;

    // A piece of the body. Throws SpanEnded once the span's end is reached (what was kept is
    // on disk then), WriteFailed when a write fails.
    void write(std::string_view chunk);
    // Writes out what is buffered. Throws WriteFailed.
    void flush();
    // Where the next kept byte goes.
    std::int64_t position() const { return fileOffset_ + static_cast<std::int64_t>(used_); }

private:
    int fd_;
    SegmentMap& map_;
    int worker_;
    std::int64_t skip_;
    std::int64_t fileOffset_; // where the buffer's first byte goes
    std::string& buffer_;
    std::size_t used_ = 0;
};

} // namespace download
