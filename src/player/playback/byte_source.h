#pragma once
// Where the decoder reads a song's bytes from: a local file, or an HTTP address read in byte
// ranges as playback goes on (never fetched whole before playing).
#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace playback {

// A source that cannot be read. userText is the sentence the player shows, logText the
// technical reason for the log.
class SourceError : public std::runtime_error {
public:
    SourceError(std::string userText, const std::string& logText)
        : std::runtime_error(logText), userText_(std::move(userText))
    {
    }
    const std::string& userText() const { return userText_; }

private:
    std::string userText_;
};

struct SourceOptions {
    int connectTimeoutMs = 10000;
    int readTimeoutMs = 15000; // no byte for this long: the server is taken to have stalled
    int blockBytes = 256 * 1024;
    const std::atomic<bool>* abort = nullptr; // set: every read ends at once
};

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to size bytes at the current position; 0 at the end. Throws SourceError.
    virtual int read(std::uint8_t* buffer, int size) = 0;
    // Moves to an absolute position; false when it cannot.
    virtual bool seek(std::int64_t position) = 0;
    // The total size, or -1 when unknown.
    virtual std::int64_t size() const = 0;
    // Whether a seek costs no more than a read there: false for an HTTP server that ignores
    // ranges, where every seek reads the song again from its start.
    virtual bool canSeek() const { return size() >= 0; }
};

// Opens an http(s):// address, a file:// address or an absolute local path. Throws
// SourceError when it cannot be opened (missing file, HTTP error, no answer).
std::unique_ptr<ByteSource> openByteSource(const std::string& address,
                                           const SourceOptions& options);

// The local path of a file:// address or an absolute path, with %-escapes decoded.
std::string localPathOf(const std::string& address);

} // namespace playback
