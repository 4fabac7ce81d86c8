#pragma once
// Text in the system code page. Everything the program reads from pages, keeps in lists and
// writes to files is GBK (code page 936); UTF-16 and UTF-8 appear only at the edges.
#include <string>
#include <string_view>

namespace core {

// UTF-16 to GBK; a character that GBK cannot hold becomes '?'.
std::string utf16ToGbk(std::u16string_view text);
// GBK to UTF-16; an invalid byte sequence becomes U+FFFD.
std::u16string gbkToUtf16(std::string_view gbk);

std::string utf8ToGbk(std::string_view utf8);
std::string gbkToUtf8(std::string_view gbk);

} // namespace core
