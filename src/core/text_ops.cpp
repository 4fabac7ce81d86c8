#include "core/text_ops.h"

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
    if (lines.empty())
        return {};
    if (x.empty())
        return lines.front();
    std::string joined;
    std::vector<size_t> starts;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            joined += "\r\n";
        starts.push_back(joined.size());
        joined += lines[i];
    }
    size_t at = joined.find(x);
    if (at == std::string::npos)
        return lines.front();
    size_t index = 0;
    while (index + 1 < starts.size() && starts[index + 1] <= at)
        ++index;
    return lines[index];
}

} // namespace core
