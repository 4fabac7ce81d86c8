#include "realmedia_times.h"

#include <cstdint>
#include <vector>

namespace demo {
namespace {

uint32_t read32(const std::string& b, size_t at)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) << 24 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3]));
}

uint16_t read16(const std::string& b, size_t at)
{
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) << 8 |
                                 static_cast<unsigned char>(b[at + 1]));
}

void write32(std::string& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<char>(v >> (24 - 8 * i));
}

// Chunk layout: tag (4), size (4, the whole chunk), version (2), then the chunk's fields.
constexpr size_t kPropDuration = 30; // after max/avg bit rate, max/avg packet size, packets
constexpr size_t kMdprDuration = 36; // after stream, rates, sizes, start time and preroll
constexpr size_t kDataHeader = 18;   // packet count and next data header follow the version
// Packet header: version (2), length (2, with header), stream (2), timestamp (4), 2 more.
constexpr size_t kPacketTimestamp = 6;
constexpr size_t kPacketHeader = 12;

} // namespace

bool fillRealMediaTimes(std::string& rm, double frameMs)
{
    if (rm.size() < 8 || rm.compare(0, 4, ".RMF") != 0)
        return false;
    std::vector<size_t> durations;
    std::vector<size_t> timestamps;
    size_t at = read32(rm, 4);
    while (at + 10 <= rm.size()) {
        const std::string tag = rm.substr(at, 4);
        const size_t size = read32(rm, at + 4);
        if (tag == "DATA") {
            // The muxer's DATA size runs past the file's end; the packets end where a header
            // of zeros follows them.
            for (size_t p = at + kDataHeader; p + kPacketHeader <= rm.size();) {
                const size_t length = read16(rm, p + 2);
                if (length < kPacketHeader || p + length > rm.size())
                    break;
                timestamps.push_back(p + kPacketTimestamp);
                p += length;
            }
            break;
        }
        if (size < 10 || at + size > rm.size())
            break;
        if (tag == "PROP" && size >= kPropDuration + 4)
            durations.push_back(at + kPropDuration);
        else if (tag == "MDPR" && size >= kMdprDuration + 4)
            durations.push_back(at + kMdprDuration);
        at += size;
    }
    if (durations.size() != 2 || timestamps.empty())
        return false;
    for (size_t i = 0; i < timestamps.size(); ++i)
        write32(rm, timestamps[i], static_cast<uint32_t>(static_cast<double>(i) * frameMs));
    for (size_t field : durations)
        write32(rm, field, static_cast<uint32_t>(static_cast<double>(timestamps.size()) * frameMs));
    return true;
}

} // namespace demo
