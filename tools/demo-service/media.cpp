#include "media.h"

#include "catalogue.h"
#include "core/hex_text.h"
#include "encoded_media.h"
#include "tone.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace demo {
namespace {

uint64_t mib(double m)
{
    return static_cast<uint64_t>(m * 1024 * 1024);
}

// MP3: this many copies of one melody; some songs are short, but none under ten seconds.
int mp3Copies(uint64_t h)
{
    const std::string& tone = toneMp3(static_cast<int>(h % kToneVariants));
    if (h % 13 == 0)
        return 4;
    const uint64_t target = mib(1.5) + (h >> 8) % mib(4.0);
    return static_cast<int>(target / tone.size());
}

// A pointer file: the .rm of the same name, and for some names a second part after it.
std::string ramText(const std::string& fileName, const std::string& host)
{
    const std::string stem = fileName.substr(0, fileName.size() - 4);
    const std::string base = "http://" + host + "/media/" + stem;
    std::string text = base + ".rm\r\n";
    if (hash64(fileName) % 3 == 0)
        text += base + "_part2.rm\r\n";
    return text;
}

using Md5Context = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

std::string hexDigest(const EVP_MD_CTX* running)
{
    const Md5Context copy(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    EVP_MD_CTX_copy_ex(copy.get(), running);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(copy.get(), digest, &size);
    return core::lowerHex(digest, size);
}

std::string md5Of(const std::string& bytes)
{
    const Md5Context context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr);
    EVP_DigestUpdate(context.get(), bytes.data(), bytes.size());
    return hexDigest(context.get());
}

// The MD5 of `copies` copies of a melody: the sums after each copy, made once per melody.
std::string mp3Md5(int variant, int copies)
{
    static std::mutex mutex;
    static std::array<std::vector<std::string>, kToneVariants> sums;
    std::lock_guard lock(mutex);
    std::vector<std::string>& known = sums[static_cast<size_t>(variant)];
    if (known.empty()) {
        const std::string& tone = toneMp3(variant);
        const int most = static_cast<int>((mib(1.5) + mib(4.0)) / tone.size()) + 1;
        const Md5Context context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
        EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr);
        known.push_back(hexDigest(context.get()));
        for (int i = 1; i <= std::max(most, 4); ++i) {
            EVP_DigestUpdate(context.get(), tone.data(), tone.size());
            known.push_back(hexDigest(context.get()));
        }
    }
    return known.at(static_cast<size_t>(copies));
}

} // namespace

void prepareMp3Sums()
{
    for (int variant = 0; variant < kToneVariants; ++variant)
        mp3Md5(variant, 0);
}

std::string mediaMd5(const std::string& fileName, const std::string& host)
{
    const std::optional<int> type = mediaType(fileName);
    if (!type)
        return {};
    const uint64_t h = hash64(fileName);
    if (*type == 0)
        return mp3Md5(static_cast<int>(h % kToneVariants), mp3Copies(h));
    static std::mutex mutex;
    static std::map<std::string, std::string> sums;
    const std::string key = host + "/" + fileName;
    {
        std::lock_guard lock(mutex);
        if (const auto it = sums.find(key); it != sums.end())
            return it->second;
    }
    std::string sum = md5Of(mediaContent(fileName, host));
    std::lock_guard lock(mutex);
    return sums.emplace(key, std::move(sum)).first->second;
}

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
        try {
            return encodedMediaSize(*type, fileName);
        } catch (const std::exception& e) {
            // The result page still lists the row; the file itself answers with an error.
            std::fprintf(stderr, "corvale-demo-service: %s: %s\n", fileName.c_str(), e.what());
            return 0;
        }
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
    return encodedMedia(*type, fileName);
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
