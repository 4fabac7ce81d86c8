#pragma once
// An address read as a stream in byte ranges over one HttpClient (and so over one kept-alive
// connection): read() hands out the bytes at the current position, fetching a block of
// blockBytes with a Range request whenever the position leaves the block it holds, so the
// reader has bytes as soon as the first block is in and a seek costs one request. Redirects
// are followed by the program's policy. A server that ignores ranges answers with the whole
// body: it is read from its start again and the bytes before the position are dropped, so
// that seeking there is no cheaper than reading on (rangesHonoured() says which it is).
#include "http/http_client.h"

#include <cstdint>
#include <string>
#include <vector>

namespace http {

class RangeReader {
public:
    // The client's range fields and its Get are used by the reader alone while it reads.
    RangeReader(HttpClient& client, std::string address,
                std::int64_t blockBytes = std::int64_t{256} * 1024);

    // Fetches the first block: the size and whether ranges are honoured are known after it.
    // Throws HttpError as the client's Get does, and with the policy's line for a redirect
    // that is not followed.
    void open();
    // Up to size bytes at the position; 0 at the end. Throws HttpError.
    int read(std::uint8_t* buffer, int size);
    // Moves the position; false before 0 or past a known end.
    bool seek(std::int64_t position);
    std::int64_t position() const { return position_; }
    // The total size, or -1 while unknown.
    std::int64_t size() const { return size_; }
    bool rangesHonoured() const { return !rangesIgnored_; }
    // The address the bytes came from, after redirects.
    const std::string& address() const { return address_; }

private:
    void fetchBlock(std::int64_t from);
    // One GET of the block at from, following redirects; false when the server ignored the
    // range for a block further on (it is then asked again without one).
    void getFollowing(std::int64_t from, std::vector<std::uint8_t>& body);

    HttpClient& client_;
    std::string address_;
    std::int64_t blockBytes_;
    std::int64_t size_ = -1;
    std::int64_t position_ = 0;
    std::int64_t blockStart_ = 0;
    std::vector<std::uint8_t> block_;
    bool rangesIgnored_ = false;
};

} // namespace http
