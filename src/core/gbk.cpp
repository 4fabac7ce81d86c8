#include "core/gbk.h"

#include <cerrno>
#include <cstdint>
#include <iconv.h>
#include <stdexcept>

namespace core {
namespace {

// One conversion descriptor per call: iconv state is not shared between threads.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from))
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
        auto hi = static_cast<unsigned char>(rest[1]);
        if (hi >= 0xD8 && hi <= 0xDB)
            return 4;
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

} // namespace

std::string utf16ToGbk(std::u16string_view text)
{
    std::string_view bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    return Converter("GBK", "UTF-16LE").run(bytes, [](std::string& out, std::string_view rest) {
        out += '?';
        return utf16UnitLength(rest);
    });
}

std::u16string gbkToUtf16(std::string_view gbk)
{
    std::string raw = Converter("UTF-16LE", "GBK").run(gbk, [](std::string& out, std::string_view) {
        out += "\xFD\xFF";
        return size_t{1};
    });
    std::u16string result(raw.size() / 2, u'\0');
    for (size_t i = 0; i < result.size(); ++i)
        result[i] = static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                          (static_cast<unsigned char>(raw[2 * i + 1]) << 8));
    return result;
}

std::string utf8ToGbk(std::string_view utf8)
{
    return Converter("GBK", "UTF-8").run(utf8, [](std::string& out, std::string_view rest) {
        out += '?';
        return utf8UnitLength(rest);
    });
}

std::string gbkToUtf8(std::string_view gbk)
{
    return Converter("UTF-8", "GBK").run(gbk, [](std::string& out, std::string_view) {
        out += "\xEF\xBF\xBD";
        return size_t{1};
    });
}

} // namespace core
