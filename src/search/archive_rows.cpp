#include "search/archive_rows.h"

#include "core/gbk.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace search::archive {
namespace {

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The extension after the last dot of the last path segment, lower-case; empty when none.
std::string extension(const std::string& fileName)
{
    const size_t slash = fileName.rfind('/');
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot + 1 == fileName.size())
        return {};
    return lower(fileName.substr(dot + 1));
}

std::string stem(const std::string& fileName)
{
    const size_t slash = fileName.rfind('/');
    std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    const size_t dot = base.rfind('.');
    return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

const std::string& firstOf(const std::string& a, const std::string& b)
{
    return a.empty() ? b : a;
}

} // namespace

std::string percentEncode(std::string_view text)
{
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string searchAddress(const std::string& base, const std::string& words, int page, int rows)
{
    return base +
           "/advancedsearch.php?q=" + percentEncode("(" + words + ") AND mediatype:(audio)") +
           "&fl%5B%5D=identifier&fl%5B%5D=title&fl%5B%5D=creator&rows=" + std::to_string(rows) +
           "&page=" + std::to_string(page) + "&output=json";
}

std::string itemAddress(const std::string& base, const std::string& identifier)
{
    return base + "/metadata/" + percentEncode(identifier);
}

std::string fileAddress(const std::string& base, const std::string& identifier,
                        const std::string& fileName)
{
    std::string address = base + "/download/" + percentEncode(identifier);
    size_t from = 0;
    while (true) {
        const size_t slash = fileName.find('/', from);
        address += "/" + percentEncode(std::string_view(fileName).substr(
                             from, slash == std::string::npos ? std::string::npos : slash - from));
        if (slash == std::string::npos)
            return address;
        from = slash + 1;
    }
}

bool matchesType(const std::string& fileName, int mediaType)
{
    const std::string ext = extension(fileName);
    switch (mediaType) {
    case 0:
        return ext == "mp3";
    case 1:
        return ext == "rm" || ext == "ra";
    case 2:
        return ext == "wma";
    case 3:
        return ext == "asf";
    case 4:
        return ext == "ram";
    default:
        return false;
    }
}

std::string sizeText(std::int64_t bytes)
{
    if (bytes < 0)
        return {};
    const bool mega = bytes >= std::int64_t{1024} * 1024;
    const double value = static_cast<double>(bytes) / (mega ? 1024.0 * 1024.0 : 1024.0);
    char number[32];
    if (value < 10)
        std::snprintf(number, sizeof number, "%.1f",
                      static_cast<double>(static_cast<int>(value * 10)) / 10);
    else
        std::snprintf(number, sizeof number, "%lld", static_cast<long long>(value));
    return std::string(number).substr(0, 3) + (mega ? "M" : "K");
}

std::vector<core::SongEntry> rowsForItem(const std::string& base, const FoundItem& found,
                                         const ItemAnswer& item, int mediaType)
{
    std::vector<core::SongEntry> rows;
    const std::string& itemTitle = firstOf(item.title, found.title);
    const std::string& itemCreator = firstOf(item.creator, found.creator);
    for (const ItemFile& file : item.files) {
        if (!matchesType(file.name, mediaType))
            continue;
        const std::string& creator = firstOf(file.creator, itemCreator);
        std::string title = firstOf(file.title, itemTitle);
        if (title.empty())
            title = stem(file.name);
        std::string name = creator;
        if (!name.empty())
            name += " - ";
        name += title;
        core::SongEntry row;
        row.imageIndex = mediaType;
        row.subItems = {core::utf8ToGbk(name), fileAddress(base, found.identifier, file.name),
                        sizeText(file.size), extension(file.name)};
        row.md5 = file.md5;
        row.sizeBytes = file.size;
        rows.push_back(std::move(row));
    }
    return rows;
}

bool wantNextPage(std::int64_t itemsAsked, std::int64_t numFound, int rowsListed,
                  bool scrolledToEnd)
{
    if (itemsAsked >= numFound)
        return false;
    return rowsListed < kRowsBeforeScrolling || scrolledToEnd;
}

} // namespace search::archive
