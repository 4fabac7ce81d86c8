#pragma once
// Bytes as lower-case hexadecimal text, two digits a byte (digests and sums).
#include <cstddef>
#include <string>

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

} // namespace core
