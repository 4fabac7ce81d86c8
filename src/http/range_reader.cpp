#include "http/range_reader.h"

#include "http/redirect_policy.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace http {
namespace {

// Thrown by the sink once the block is full: the rest of the body was not asked for.
struct BlockFull {};

// "bytes a-b/total" of a Content-Range value, or -1.
std::int64_t totalOfContentRange(const std::string& value)
{
    const std::size_t slash = value.find('/');
    if (slash == std::string::npos || value.compare(slash + 1, 1, "*") == 0)
        return -1;
    return std::strtoll(value.c_str() + slash + 1, nullptr, 10);
}

} // namespace

RangeReader::RangeReader(HttpClient& client, std::string address, std::int64_t blockBytes)
    : client_(client), address_(std::move(address)),
      blockBytes_(std::max<std::int64_t>(blockBytes, 2))
{
}

void RangeReader::open()
{
    fetchBlock(0);
}

void RangeReader::getFollowing(std::int64_t from, std::vector<std::uint8_t>& body)
{
    // A server that ignored ranges sends the body from its start: the bytes before from go.
    std::int64_t skip = rangesIgnored_ ? from : 0;
    const HttpClient::BodySink sink = [&](std::string_view chunk) {
        const auto n = static_cast<std::int64_t>(chunk.size());
        const std::int64_t dropped = std::min(skip, n);
        skip -= dropped;
        const std::int64_t room = blockBytes_ - static_cast<std::int64_t>(body.size());
        const std::int64_t take = std::min(room, n - dropped);
        if (take > 0)
            body.insert(body.end(), chunk.data() + dropped, chunk.data() + dropped + take);
        if (n - dropped > take) // more than the block: stop here (a range comes out exact)
            throw BlockFull{};
    };
    for (int followed = 0;; ++followed) {
        body.clear();
        skip = rangesIgnored_ ? from : 0;
        client_.rangeStart = rangesIgnored_ ? 0 : from;
        client_.rangeEnd = rangesIgnored_ ? 0 : from + blockBytes_ - 1;
        try {
            client_.Get(address_, sink);
            return;
        } catch (const BlockFull&) {
            return;
        } catch (const HttpError&) {
            const long status = client_.response().status;
            if (status == 416) { // asked past the end: no bytes there
                body.clear();
                return;
            }
            const Redirect redirect = nextRedirect(address_, client_.response(), followed);
            if (redirect.kind == Redirect::Kind::None)
                throw;
            if (redirect.kind != Redirect::Kind::Follow)
                throw HttpError(redirectFailureLine(redirect));
            address_ = redirect.address;
        }
    }
}

void RangeReader::fetchBlock(std::int64_t from)
{
    std::vector<std::uint8_t> body;
    body.reserve(static_cast<std::size_t>(std::min<std::int64_t>(blockBytes_, 1 << 20)));
    getFollowing(from, body);
    const ResponseHead head = client_.response();
    const bool full = static_cast<std::int64_t>(body.size()) >= blockBytes_;
    if (head.status == 206) {
        if (const std::int64_t total = totalOfContentRange(head.contentRange); total >= 0)
            size_ = total;
    } else if (head.status == 200) {
        // The whole body from its start; its length is the size when the server says so.
        if (head.contentLength >= 0 && !head.chunked)
            size_ = head.contentLength;
        if (!rangesIgnored_ && from > 0) { // the range was ignored: read again from the start
            rangesIgnored_ = true;
            fetchBlock(from);
            return;
        }
        rangesIgnored_ = true;
    } else if (head.status == 416) {
        size_ = std::min(size_ < 0 ? from : size_, from);
    }
    if (!full && head.status != 416) // the body ended before the block did: the end of the file
        size_ = from + static_cast<std::int64_t>(body.size());
    blockStart_ = from;
    block_ = std::move(body);
}

int RangeReader::read(std::uint8_t* buffer, int size)
{
    if (size <= 0 || (size_ >= 0 && position_ >= size_))
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
    std::memcpy(buffer, block_.data() + offset, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

bool RangeReader::seek(std::int64_t position)
{
    if (position < 0 || (size_ >= 0 && position > size_))
        return false;
    position_ = position;
    return true;
}

} // namespace http
