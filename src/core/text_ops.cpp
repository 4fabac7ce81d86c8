#include "core/text_ops.h"

#include "core/first_occurrences.h"

#include <algorithm>

namespace core {

long find(std::string_view needle, std::string_view text)
{
    if (needle.empty())
        return 0;
    size_t at = text.find(needle);
    return at == std::string_view::npos ? 0 : static_cast<long>(at) + 1;
}

bool contains(std::string_view text, std::string_view needle)
{
    return find(needle, text) > 0;
}

std::string trim(std::string_view text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
        --last;
    return std::string(text.substr(first, last - first));
}

std::string lastN(std::string_view text, long n)
{
    if (n <= 0)
        return {};
    if (static_cast<size_t>(n) >= text.size())
        return std::string(text);
    return std::string(text.substr(text.size() - static_cast<size_t>(n)));
}

std::string part(std::string_view text, long start, long count)
{
    if (count <= 0)
        return {};
    if (start < 1)
        start = 1;
    if (static_cast<size_t>(start) > text.size())
        return {};
    return std::string(text.substr(static_cast<size_t>(start) - 1, static_cast<size_t>(count)));
}

std::string upperAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string lineOf(const std::vector<std::string>& lines, std::string_view x)
{
    return std::string(linesOf(lines, {x}).front());
}

std::vector<std::string_view> linesOf(const std::vector<std::string>& lines,
                                      const std::vector<std::string_view>& texts)
{
    if (lines.empty())
        return std::vector<std::string_view>(texts.size());
    std::string joined;
    std::vector<size_t> starts; // where each line begins in joined
    size_t size = 0;
    for (const std::string& line : lines)
        size += line.size() + 2;
    joined.reserve(size);
    starts.reserve(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            joined += "\r\n";
        starts.push_back(joined.size());
        joined += lines[i];
    }
    const std::vector<size_t> found = firstOccurrences(joined, texts);
    std::vector<std::string_view> result;
    result.reserve(texts.size());
    for (size_t at : found) {
        if (at == std::string_view::npos) {
            result.emplace_back(lines.front());
            continue;
        }
        // An occurrence that starts in a line break belongs to the line before it.
        const auto after = std::upper_bound(starts.begin(), starts.end(), at);
        result.emplace_back(lines[static_cast<size_t>(after - starts.begin()) - 1]);
    }
    return result;
}

std::string xmlEscaped(std::string_view text)
{
    // None of these four bytes is ever a later byte of a GB18030 character.
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace core
