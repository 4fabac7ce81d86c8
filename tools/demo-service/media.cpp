#include "media.h"

#include "catalogue.h"
#include "tone.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace demo {
namespace {

const char kAsfHeader[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";

uint64_t mib(double m)
{
    return static_cast<uint64_t>(m * 1024 * 1024);
}

// MP3: this many copies of one melody.
int mp3Copies(uint64_t h)
{
    const std::string& tone = toneMp3(static_cast<int>(h % kToneVariants));
    if (h % 13 == 0)
        return 1;
    const uint64_t target = mib(1.5) + (h >> 8) % mib(4.0);
    return static_cast<int>(target / tone.size());
}

uint64_t opaqueSize(int type, uint64_t h)
{
    if (type == 1) // rm: some short clips below 100K
        return h % 5 == 0 ? 30 * 1024 + (h >> 8) % (65 * 1024) : mib(0.5) + (h >> 8) % mib(3.5);
    return mib(1.0) + (h >> 8) % mib(5.0); // wma, asf
}

std::string ramText(const std::string& fileName, const std::string& host)
{
    return "http://" + host + "/media/" + fileName.substr(0, fileName.size() - 3) + "rm\r\n";
}

} // namespace

std::optional<int> mediaType(const std::string& fileName)
{
    const size_t dot = fileName.find('.');
    if (dot == std::string::npos || dot == 0 || fileName.find('.', dot + 1) != std::string::npos)
        return std::nullopt;
    for (char c : fileName)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'))
            return std::nullopt;
    const std::string ext = fileName.substr(dot + 1);
    for (int t = 0; t < 5; ++t)
        if (ext == kTypes[t])
            return t;
    return std::nullopt;
}

uint64_t mediaSize(const std::string& fileName, const std::string& host)
{
    const std::optional<int> type = mediaType(fileName);
    if (!type)
        return 0;
    const uint64_t h = hash64(fileName);
    switch (*type) {
    case 0:
        return toneMp3(static_cast<int>(h % kToneVariants)).size() *
               static_cast<uint64_t>(mp3Copies(h));
    case 4:
        return ramText(fileName, host).size();
    default:
        return opaqueSize(*type, h);
    }
}

std::string mediaContent(const std::string& fileName, const std::string& host)
{
    const std::optional<int> type = mediaType(fileName);
    if (!type)
        return {};
    const uint64_t h = hash64(fileName);
    if (*type == 0) {
        const std::string& tone = toneMp3(static_cast<int>(h % kToneVariants));
        std::string out;
        const int copies = mp3Copies(h);
        out.reserve(tone.size() * static_cast<size_t>(copies));
        for (int i = 0; i < copies; ++i)
            out += tone;
        return out;
    }
    if (*type == 4)
        return ramText(fileName, host);
    std::string out(opaqueSize(*type, h), '\0');
    uint64_t x = h | 1;
    for (char& c : out) { // xorshift: the same bytes on every request
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        c = static_cast<char>(x >> 24);
    }
    if (*type == 1)
        out.replace(0, 4, ".RMF");
    else
        out.replace(0, 16, std::string(kAsfHeader, 16));
    return out;
}

std::string sizeText(uint64_t bytes)
{
    char buffer[32];
    const double k = static_cast<double>(bytes) / 1024.0;
    if (k < 100) {
        if (k < 10)
            std::snprintf(buffer, sizeof buffer, "%.2fK", std::floor(k * 100) / 100);
        else
            std::snprintf(buffer, sizeof buffer, "%.1fK", std::floor(k * 10) / 10);
        return buffer;
    }
    const double m = k / 1024.0;
    if (m < 10)
        std::snprintf(buffer, sizeof buffer, "%.2fM", std::floor(m * 100) / 100);
    else if (m < 100)
        std::snprintf(buffer, sizeof buffer, "%.1fM", std::floor(m * 10) / 10);
    else
        std::snprintf(buffer, sizeof buffer, "%4.0fM", std::floor(m));
    return buffer;
}

} // namespace demo
