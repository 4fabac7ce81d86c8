#pragma once
// Text in the program's code page. Everything the program reads from pages, keeps in lists and
// writes to files is GB18030, the superset of GBK (code page 936) that holds every Unicode
// character: a GBK double-byte character keeps its two bytes, so the service's pages and every
// generated file stay byte-exact, while letters GBK lacks ("ö", Hangul) take four bytes.
// UTF-16 and UTF-8 appear only at the edges.
#include <cstddef>
#include <string>
#include <string_view>

namespace core {

// UTF-16 to GB18030; only an unpaired surrogate becomes '?'.
std::string utf16ToGbk(std::u16string_view text);
// GB18030 to UTF-16; the single byte 0x80 (GBK's euro sign) reads as U+20AC, and any other
// invalid byte sequence becomes U+FFFD.
std::u16string gbkToUtf16(std::string_view gbk);

std::string utf8ToGbk(std::string_view utf8);
std::string gbkToUtf8(std::string_view gbk);

// UTF-16 to GBK proper, with '?' for each character GBK cannot hold: for pages whose readers
// know no more than GBK.
std::string utf16ToGbkOnly(std::u16string_view text);

// The length in bytes of the character that starts at byte `at` of GB18030 text: 4 for a
// four-byte character (its second and fourth bytes are ASCII digits), 2 for a double byte, else 1
// (also for a lead byte cut off at the end).
std::size_t characterLength(std::string_view text, std::size_t at);
// Whether byte `at` lies inside a four-byte character (not at its first byte).
bool insideFourByteCharacter(std::string_view text, std::size_t at);
// The last n bytes of text, less the bytes of a four-byte character the cut would split; the
// whole text when it is shorter, empty for n <= 0.
std::string lastNWhole(std::string_view text, long n);
// At most n bytes from the front of text, never ending inside a character.
std::string firstNWhole(std::string_view text, std::size_t n);

} // namespace core
