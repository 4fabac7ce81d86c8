#pragma once
// An HTTP address read through the program's HTTP client in blocks of byte ranges (one
// kept-alive connection): the decoder gets bytes as soon as the first block is in, and seeking
// costs one request. A server that ignores ranges is read from the start again for a block
// further on, and says it cannot seek.
#include "http/http_client.h"
#include "http/range_reader.h"
#include "player/playback/byte_source.h"

#include <string>

namespace playback {

class HttpSource : public ByteSource {
public:
    HttpSource(const std::string& url, const SourceOptions& options); // reads the first block
    HttpSource(const HttpSource&) = delete;
    HttpSource& operator=(const HttpSource&) = delete;

    int read(std::uint8_t* buffer, int size) override;
    bool seek(std::int64_t position) override { return reader_.seek(position); }
    std::int64_t size() const override { return reader_.size(); }
    bool canSeek() const override { return reader_.size() >= 0 && reader_.rangesHonoured(); }

private:
    // The reader's failure as the player tells it.
    [[noreturn]] void fail(const http::HttpError& e) const;

    SourceOptions options_;
    http::HttpClient client_;
    http::RangeReader reader_;
};

} // namespace playback
