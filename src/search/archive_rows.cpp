#include "search/archive_rows.h"

#include "core/gbk.h"
#include "core/hex_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <set>

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

// The folders of a path inside the item, joined by '/'; empty for a file at the top.
std::string folderOf(const std::string& fileName)
{
    const size_t slash = fileName.rfind('/');
    return slash == std::string::npos ? std::string() : fileName.substr(0, slash);
}

void appendUtf8(std::string& out, std::uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The character an entity body (between '&' and ';') names, or nothing.
std::optional<std::uint32_t> entityCharacter(std::string_view body)
{
    static const std::map<std::string_view, std::uint32_t> named{
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    if (const auto it = named.find(body); it != named.end())
        return it->second;
    if (body.size() < 2 || body[0] != '#')
        return std::nullopt;
    const bool hex = body[1] == 'x' || body[1] == 'X';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    std::uint32_t c = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), c, hex ? 16 : 10);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || c == 0 ||
        c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return std::nullopt;
    return c;
}

// The files of the item by name, and each file's root: the file reached by following
// "original" until a file has none (or names one the list does not hold, or goes round).
class Recordings {
public:
    explicit Recordings(const std::vector<ItemFile>& files) : files_(files)
    {
        for (size_t i = 0; i < files.size(); ++i)
            byName_.emplace(files[i].name, i);
    }
    // The root's name: the name of the file at the end of the chain, or the name the chain's
    // last link points to when the list does not hold it. Files whose originals go round in a
    // loop share the root of the loop's first listed file.
    std::string rootName(size_t index) const
    {
        std::set<size_t> seen{index};
        size_t at = index;
        while (!files_[at].original.empty()) {
            const auto next = byName_.find(files_[at].original);
            if (next == byName_.end())
                return files_[at].original;
            if (!seen.insert(next->second).second)
                return loopRoot(next->second);
            at = next->second;
        }
        return files_[at].name;
    }
    std::string loopRoot(size_t member) const
    {
        size_t first = member;
        for (size_t at = byName_.at(files_[member].original); at != member;
             at = byName_.at(files_[at].original))
            first = std::min(first, at);
        return files_[first].name;
    }
    const ItemFile* file(const std::string& name) const
    {
        const auto it = byName_.find(name);
        return it == byName_.end() ? nullptr : &files_[it->second];
    }

private:
    const std::vector<ItemFile>& files_;
    std::map<std::string, size_t> byName_;
};

// The file a row of one recording takes, from the files of the type that share the root.
size_t chosenFile(const std::vector<ItemFile>& files, const std::vector<size_t>& candidates,
                  const std::string& root)
{
    for (size_t i : candidates)
        if (files[i].name == root)
            return i;
    for (size_t i : candidates)
        if (files[i].format == "VBR MP3")
            return i;
    size_t best = candidates.front();
    for (size_t i : candidates)
        if (files[i].bitrate > files[best].bitrate)
            best = i;
    return best;
}

} // namespace

std::string decodeEntities(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '&') {
            const size_t semicolon = text.find(';', i + 1);
            constexpr size_t kLongestEntity = 10; // "#x10FFFF" and the names fit
            if (semicolon != std::string_view::npos && semicolon - i - 1 <= kLongestEntity) {
                if (const auto c = entityCharacter(text.substr(i + 1, semicolon - i - 1))) {
                    appendUtf8(out, *c);
                    i = semicolon + 1;
                    continue;
                }
            }
        }
        out += text[i++];
    }
    return out;
}

std::string joinedCreators(std::string_view creators)
{
    std::string joined;
    size_t from = 0;
    while (from <= creators.size()) {
        const size_t semicolon = std::min(creators.find(';', from), creators.size());
        std::string_view part = creators.substr(from, semicolon - from);
        while (!part.empty() && (part.front() == ' ' || part.front() == '\t'))
            part.remove_prefix(1);
        while (!part.empty() && (part.back() == ' ' || part.back() == '\t'))
            part.remove_suffix(1);
        if (!part.empty()) {
            if (!joined.empty())
                joined += ", ";
            joined += part;
        }
        from = semicolon + 1;
    }
    return joined;
}

std::string percentEncode(std::string_view text)
{
    return core::percentEncoded(text);
}

std::string searchAddress(const std::string& base, const std::string& words, int page, int rows)
{
    return base +
           "/advancedsearch.php?q=" + percentEncode("(" + words + ") AND mediatype:(audio)") +
           "&fl%5B%5D=identifier&fl%5B%5D=title&fl%5B%5D=creator&rows=" + std::to_string(rows) +
           "&page=" + std::to_string(page) + "&output=json";
}

std::string pathSegment(std::string_view text)
{
    if (text == "." || text == "..")
        return text.size() == 1 ? "%2E" : "%2E%2E";
    return percentEncode(text);
}

std::string itemAddress(const std::string& base, const std::string& identifier)
{
    return base + "/metadata/" + pathSegment(identifier);
}

std::string fileAddress(const std::string& base, const std::string& identifier,
                        const std::string& fileName)
{
    std::string address = base + "/download/" + pathSegment(identifier);
    size_t from = 0;
    while (true) {
        const size_t slash = fileName.find('/', from);
        address += "/" + pathSegment(std::string_view(fileName).substr(
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
    static const char units[] = {'K', 'M', 'G', 'T', 'P', 'E'};
    double value = static_cast<double>(bytes) / 1024;
    for (size_t u = 0;; ++u) {
        const long long tenths = std::llround(value * 10);
        const bool last = u + 1 == sizeof units;
        if (tenths < 100) // below 10: one decimal
            return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + units[u];
        if (const long long whole = std::llround(value); whole < 1000 || last)
            return std::to_string(whole) + units[u];
        value /= 1024;
    }
}

std::vector<core::SongEntry> rowsForItem(const std::string& base, const FoundItem& found,
                                         const ItemAnswer& item, int mediaType)
{
    const std::vector<ItemFile>& files = item.files;
    const Recordings recordings(files);
    // The files of the type by root, the roots in the order their first file is listed.
    std::vector<std::string> roots;
    std::map<std::string, std::vector<size_t>> byRoot;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!matchesType(files[i].name, mediaType))
            continue;
        std::vector<size_t>& group = byRoot[recordings.rootName(i)];
        if (group.empty())
            roots.push_back(recordings.rootName(i));
        group.push_back(i);
    }
    const std::string itemTitle = decodeEntities(firstOf(item.title, found.title));
    const std::string itemCreator = firstOf(item.creator, found.creator);

    std::vector<core::SongEntry> rows;
    std::map<std::string, int> seen; // names given so far, and how often
    for (const std::string& root : roots) {
        const ItemFile& file = files[chosenFile(files, byRoot[root], root)];
        static const ItemFile none;
        const ItemFile* rootFile = recordings.file(root);
        const ItemFile& origin = rootFile ? *rootFile : none;
        const std::string creator = joinedCreators(
            decodeEntities(firstOf(firstOf(file.creator, origin.creator), itemCreator)));
        std::string title = decodeEntities(firstOf(file.title, origin.title));
        if (title.empty()) {
            const std::string& track = firstOf(file.track, origin.track);
            if (itemTitle.empty())
                title = stem(file.name);
            else if (!track.empty())
                title.append(itemTitle).append(" (").append(track).append(")");
            else
                title.append(itemTitle).append(" [").append(stem(file.name)).append("]");
        }
        if (const std::string folder = folderOf(file.name); !folder.empty())
            title.append(" [").append(folder).append("]");
        std::string name = creator;
        if (!name.empty())
            name += " - ";
        name += title;
        if (const int n = ++seen[name]; n > 1)
            name += " (" + std::to_string(n) + ")";
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
