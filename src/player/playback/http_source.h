#pragma once
// An HTTP address read in blocks of byte ranges over one libcurl handle (one kept-alive
// connection): the decoder gets bytes as soon as the first block is in, and seeking costs one
// request. A server that ignores ranges is read from the start again for a block further on.
#include "player/playback/byte_source.h"

#include <string>
#include <vector>

namespace playback {

class HttpSource : public ByteSource {
public:
    HttpSource(const std::string& url, const SourceOptions& options); // reads the first block
    ~HttpSource() override;
    HttpSource(const HttpSource&) = delete;
    HttpSource& operator=(const HttpSource&) = delete;

    int read(std::uint8_t* buffer, int size) override;
    bool seek(std::int64_t position) override;
    std::int64_t size() const override { return size_; }

private:
    void fetchBlock(std::int64_t from);
    int perform(); // the transfer set up on the handle; a CURLcode

    std::string url_;
    SourceOptions options_;
    void* curl_ = nullptr;  // CURL*
    void* multi_ = nullptr; // CURLM*
    std::int64_t size_ = -1;
    std::int64_t position_ = 0;
    std::int64_t blockStart_ = 0;
    std::vector<std::uint8_t> block_;
    bool rangesIgnored_ = false;
};

} // namespace playback
