#include "core/gbk.h"

#include <cerrno>
#include <cstdint>
#include <iconv.h>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace core {
namespace {

// The loader unloads a code page's module when its last descriptor closes, and a module
// unloaded on one thread while another thread loads it races inside the loader itself. One
// descriptor per direction stays open for the whole run, so each module is loaded once.
iconv_t openKeepingLoaded(const char* to, const char* from)
{
    static std::mutex mutex;
    static std::map<std::pair<std::string, std::string>, iconv_t> kept;
    const std::lock_guard lock(mutex);
    auto [at, added] = kept.try_emplace({to, from}, iconv_t{});
    if (added)
        at->second = iconv_open(to, from);
    return iconv_open(to, from);
}

// One conversion descriptor per call: iconv state is not shared between threads.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(openKeepingLoaded(to, from))
    {
        if (reinterpret_cast<std::intptr_t>(cd_) == -1) // iconv_open's failure value
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " +
                                     to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts in, calling onInvalid(position) for each input unit it cannot convert; the
    // callback appends a replacement to out and returns how many input bytes to skip.
    template <typename OnInvalid> std::string run(std::string_view in, OnInvalid onInvalid)
    {
        std::string out;
        out.reserve(in.size() * 2);
        char buffer[4096];
        auto* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, dst - buffer);
            if (rc == static_cast<size_t>(-1)) {
                if (errno == E2BIG)
                    continue;
                // EILSEQ or EINVAL: an unconvertible or truncated unit.
                size_t skip = onInvalid(out, std::string_view(src, srcLeft));
                src += skip;
                srcLeft -= skip;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        return out;
    }

private:
    iconv_t cd_;
};

size_t utf16UnitLength(std::string_view rest)
{
    if (rest.size() >= 4) {
        const auto hi = static_cast<unsigned char>(rest[1]);
        const auto nextHi = static_cast<unsigned char>(rest[3]);
        if (hi >= 0xD8 && hi <= 0xDB && nextHi >= 0xDC && nextHi <= 0xDF)
            return 4; // a surrogate pair is one character
    }
    return rest.size() >= 2 ? 2 : rest.size();
}

size_t utf8UnitLength(std::string_view rest)
{
    auto c = static_cast<unsigned char>(rest[0]);
    size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (n > rest.size())
        n = rest.size();
    for (size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(rest[i]) & 0xC0) != 0x80)
            return i;
    return n;
}

// The code page's name for iconv.
constexpr const char* kCodePage = "GB18030";

std::string fromUtf16(std::u16string_view text, const char* codePage)
{
    std::string_view bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    return Converter(codePage, "UTF-16LE").run(bytes, [](std::string& out, std::string_view rest) {
        out += '?';
        return utf16UnitLength(rest);
    });
}

// Appends `euro` for GBK's single-byte euro sign 0x80 and `invalid` for anything else the
// code page refuses; returns the bytes to skip.
size_t replaceInvalid(std::string& out, std::string_view rest, std::string_view euro,
                      std::string_view invalid)
{
    if (!rest.empty() && static_cast<unsigned char>(rest.front()) == 0x80) {
        out += euro;
        return 1;
    }
    out += invalid;
    // A four-byte character cut off at the end is one broken character, not a digit or two.
    const bool cutFourBytes = rest.size() > 1 && rest.size() < 4 && rest[1] >= '0' &&
                              rest[1] <= '9' && static_cast<unsigned char>(rest[0]) >= 0x81;
    return cutFourBytes ? rest.size() : 1;
}

} // namespace

std::string utf16ToGbk(std::u16string_view text)
{
    return fromUtf16(text, kCodePage);
}

std::string utf16ToGbkOnly(std::u16string_view text)
{
    return fromUtf16(text, "GBK");
}

std::u16string gbkToUtf16(std::string_view gbk)
{
    using namespace std::string_view_literals;
    std::string raw =
        Converter("UTF-16LE", kCodePage).run(gbk, [](std::string& out, std::string_view rest) {
            return replaceInvalid(out, rest, "\xAC\x20"sv, "\xFD\xFF"sv);
        });
    std::u16string result(raw.size() / 2, u'\0');
    for (size_t i = 0; i < result.size(); ++i)
        result[i] = static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                          (static_cast<unsigned char>(raw[2 * i + 1]) << 8));
    return result;
}

std::string utf8ToGbk(std::string_view utf8)
{
    return Converter(kCodePage, "UTF-8").run(utf8, [](std::string& out, std::string_view rest) {
        out += '?';
        return utf8UnitLength(rest);
    });
}

std::string gbkToUtf8(std::string_view gbk)
{
    return Converter("UTF-8", kCodePage).run(gbk, [](std::string& out, std::string_view rest) {
        return replaceInvalid(out, rest, "\xE2\x82\xAC", "\xEF\xBF\xBD");
    });
}

size_t characterLength(std::string_view text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const auto digit = [&](size_t i) { return byte(i) >= 0x30 && byte(i) <= 0x39; };
    if (at >= text.size() || byte(at) < 0x81 || byte(at) == 0xFF || at + 1 >= text.size())
        return 1;
    if (digit(at + 1))
        return at + 3 < text.size() && byte(at + 2) >= 0x81 && byte(at + 2) <= 0xFE && digit(at + 3)
                   ? 4
                   : 1;
    return 2;
}

bool insideFourByteCharacter(std::string_view text, size_t at)
{
    size_t i = 0;
    while (i < text.size() && i <= at) {
        const size_t n = characterLength(text, i);
        if (at < i + n)
            return n == 4 && at != i;
        i += n;
    }
    return false;
}

std::string lastNWhole(std::string_view text, long n)
{
    if (n <= 0)
        return {};
    if (static_cast<size_t>(n) >= text.size())
        return std::string(text);
    size_t cut = text.size() - static_cast<size_t>(n);
    while (cut < text.size() && insideFourByteCharacter(text, cut))
        ++cut;
    return std::string(text.substr(cut));
}

std::string firstNWhole(std::string_view text, size_t n)
{
    size_t end = 0;
    while (end < text.size()) {
        const size_t next = end + characterLength(text, end);
        if (next > n)
            break;
        end = next;
    }
    return std::string(text.substr(0, end));
}

} // namespace core
