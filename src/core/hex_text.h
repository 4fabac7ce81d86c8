#pragma once
// Bytes as hexadecimal text: lower-case digests and sums, and percent-encoding for addresses.
#include <cstddef>
#include <string>
#include <string_view>

namespace core {

inline std::string lowerHex(const unsigned char* bytes, std::size_t count)
{
    static const char* const digits = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

// The bytes with every one but the unreserved (letters, digits, "-._~") and those of alsoPlain
// written as "%XX" (upper-case hex).
inline std::string percentEncoded(std::string_view bytes, std::string_view alsoPlain = {})
{
    static const char* const digits = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
            std::string_view("-._~").find(c) != std::string_view::npos ||
            alsoPlain.find(c) != std::string_view::npos) {
            text += c;
        } else {
            text += '%';
            text += digits[u >> 4];
            text += digits[u & 15];
        }
    }
    return text;
}

} // namespace core
