#pragma once
// Byte-position text operations on GB18030 text, with 1-based positions as the page rules state
// them.
#include <string>
#include <string_view>
#include <vector>

namespace core {

// Position of the first occurrence of needle in text, 1-based; 0 when absent or needle is empty.
long find(std::string_view needle, std::string_view text);
bool contains(std::string_view text, std::string_view needle);
// Removes from both ends every byte whose code is that of the space or lower.
std::string trim(std::string_view text);
// The last n bytes, or the whole text when it is shorter; empty for n <= 0.
std::string lastN(std::string_view text, long n);
// count bytes from the 1-based position start; empty when count <= 0 or start is past the end.
// A start below 1 counts from the first byte.
std::string part(std::string_view text, long start, long count);
// ASCII letters a-z to upper case / A-Z to lower case; other bytes unchanged.
std::string upperAscii(std::string_view text);
std::string lowerAscii(std::string_view text);
// The text with &, <, > and " written as XML (and HTML) entities; byte by byte, so GB18030
// text stays whole.
std::string xmlEscaped(std::string_view text);
// The line of lines (joined by line breaks) that holds the first occurrence of x;
// the first line when x is empty or absent, and empty when there are no lines.
std::string lineOf(const std::vector<std::string>& lines, std::string_view x);
// lineOf for many texts at once, in one pass over the joined lines: entry i is the line of
// texts[i], a view into lines.
std::vector<std::string_view> linesOf(const std::vector<std::string>& lines,
                                      const std::vector<std::string_view>& texts);

} // namespace core
