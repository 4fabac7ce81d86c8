#include "player/list_formats.h"

#include "core/gbk.h"
#include "core/hex_text.h"
#include "core/line_file.h"
#include "core/text_ops.h"
#include "player/list_files.h"
#include "player/player_pages.h"
#include "player/ram_list.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <sstream>
#include <utility>

namespace player {
namespace {

constexpr std::string_view kXspfNamespace = "http://xspf.org/ns/0/";

std::string_view extensionOf(std::string_view fileName)
{
    const std::size_t slash = fileName.find_last_of("/\\");
    const std::string_view base =
        slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const std::size_t dot = base.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : base.substr(dot + 1);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool validUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        if (c >= 0xF0 && c < 0xF8)
            extra = 3;
        else if (c >= 0xE0)
            extra = c < 0xF0 ? 2 : 99;
        else if (c >= 0xC0)
            extra = 1;
        else if (c >= 0x80)
            return false;
        if (extra == 99 || i + extra >= text.size() + (extra == 0 ? 1 : 0))
            return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

// Text of a file that should be UTF-8: converted to GB18030; text that is not UTF-8 (an old
// .m3u in the system code page) is taken as it is.
std::string fromFileText(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return validUtf8(text) ? core::utf8ToGbk(text) : std::string(text);
}

std::string percentEncodedPath(std::string_view path)
{
    return core::percentEncoded(path, "/");
}

// "http:", "file:" ...: a scheme of two letters or more (a drive letter is no scheme).
bool hasScheme(std::string_view address)
{
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos || colon < 2)
        return false;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = address[i];
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
        if (!ok)
            return false;
    }
    return true;
}

// The path of an address without query and fragment.
std::string_view pathPart(std::string_view address)
{
    const std::size_t end = address.find_first_of("?#");
    return end == std::string_view::npos ? address : address.substr(0, end);
}

int imageIndexOf(const std::string& type)
{
    static constexpr std::array<std::string_view, 5> kTypes = {"mp3", "rm", "wma", "asf", "ram"};
    for (std::size_t i = 0; i < kTypes.size(); ++i)
        if (type == kTypes[i])
            return static_cast<int>(i);
    return 0;
}

core::SongEntry loadedRow(std::size_t number, std::string name, std::string address,
                          int seconds = -1)
{
    if (core::trim(name).empty())
        name = nameFromAddress(address);
    std::string type = typeFromAddress(address);
    const int image = imageIndexOf(type);
    core::SongEntry row{std::to_string(number),
                        image,
                        {core::trim(name), std::move(address), std::string(), std::move(type)}};
    row.seconds = seconds;
    return row;
}

// A length as a list gives it: whole non-negative units in decimal (a fraction and whatever
// follows a space, such as an #EXTINF's attributes, passed over), else -1.
int lengthOf(std::string_view text, int unitsPerSecond)
{
    text = text.substr(0, text.find_first_of(". \t"));
    if (text.empty() || text.size() > 12 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    const long long units = std::stoll(std::string(text));
    return static_cast<int>(std::min<long long>(units / unitsPerSecond, 1'000'000'000));
}

std::string lowerName(const pugi::xml_node& node)
{
    return core::lowerAscii(node.name());
}

pugi::xml_node childNamed(const pugi::xml_node& parent, std::string_view lower)
{
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && lowerName(child) == lower)
            return child;
    return {};
}

// Every element of the (possibly partly parsed) document in document order.
template <class F> void forEachElement(const pugi::xml_node& root, F&& f)
{
    for (pugi::xml_node n = root.first_child(); n;) {
        if (n.type() == pugi::node_element)
            f(n);
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && !n.next_sibling() && n != root)
            n = n.parent();
        if (!n || n == root)
            break;
        n = n.next_sibling();
    }
}

std::string textOf(const pugi::xml_node& node)
{
    return core::trim(node.child_value());
}

// The document of XML bytes; bytes pass through unchanged, so a GB18030 list stays GB18030.
// In a damaged document the elements before the damage stand; complete() tells whether an
// element was closed before it (a track cut off in the middle is no track).
class XmlList {
public:
    explicit XmlList(std::string_view bytes) : bytes_(bytes)
    {
        ok_ =
            doc_.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
    }
    const pugi::xml_document& doc() const { return doc_; }
    bool complete(const pugi::xml_node& element, std::string_view closing) const
    {
        if (ok_)
            return true;
        const std::ptrdiff_t at = element.offset_debug();
        return at >= 0 &&
               bytes_.find(closing, static_cast<std::size_t>(at)) != std::string_view::npos;
    }

private:
    std::string_view bytes_;
    pugi::xml_document doc_;
    bool ok_ = false;
};

std::vector<core::SongEntry> readReal(std::string_view bytes, std::string_view folder)
{
    std::vector<core::SongEntry> rows;
    for (const std::string& entry : parseRamText(bytes))
        rows.push_back(loadedRow(rows.size() + 1, {}, resolveEntry(entry, folder)));
    return rows;
}

std::vector<core::SongEntry> readAsx(std::string_view bytes, std::string_view folder)
{
    const XmlList list(bytes);
    std::vector<core::SongEntry> rows;
    forEachElement(list.doc(), [&](const pugi::xml_node& node) {
        if (lowerName(node) != "ref" || !list.complete(node, ">"))
            return;
        std::string href;
        for (const pugi::xml_attribute a : node.attributes())
            if (core::lowerAscii(a.name()) == "href")
                href = core::trim(a.value());
        if (href.empty())
            return;
        const pugi::xml_node entry = node.parent();
        const std::string title =
            lowerName(entry) == "entry" ? textOf(childNamed(entry, "title")) : std::string();
        rows.push_back(loadedRow(rows.size() + 1, title, resolveEntry(href, folder)));
    });
    return rows;
}

std::vector<core::SongEntry> readM3u(std::string_view bytes, std::string_view folder)
{
    std::vector<core::SongEntry> rows;
    std::string title;
    int seconds = -1;
    for (const std::string& raw : core::splitLines(fromFileText(bytes))) {
        const std::string line = core::trim(raw);
        if (line.starts_with("#EXTINF:")) {
            const std::size_t comma = line.find(',');
            title = comma == std::string::npos ? std::string() : core::trim(line.substr(comma + 1));
            seconds = lengthOf(core::trim(line.substr(
                                   8, comma == std::string::npos ? std::string::npos : comma - 8)),
                               1);
            continue;
        }
        if (line.empty() || line.starts_with('#'))
            continue;
        rows.push_back(loadedRow(rows.size() + 1, std::exchange(title, {}),
                                 resolveEntry(line, folder), std::exchange(seconds, -1)));
    }
    return rows;
}

// A location is a URI (UTF-8): a local file's is decoded into its path (GB18030).
std::string locationEntry(const std::string& location, std::string_view folder)
{
    if (location.starts_with("file://"))
        return core::utf8ToGbk(percentDecoded(std::string_view(location).substr(7)));
    if (hasScheme(location))
        return core::utf8ToGbk(location);
    return resolveEntry(core::utf8ToGbk(percentDecoded(location)), folder);
}

std::vector<core::SongEntry> readXspf(std::string_view bytes, std::string_view folder)
{
    const XmlList list(bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes);
    std::vector<core::SongEntry> rows;
    forEachElement(list.doc(), [&](const pugi::xml_node& node) {
        if (std::string_view(node.name()) != "track" || !list.complete(node, "</track"))
            return;
        const std::string location = textOf(node.child("location"));
        if (location.empty())
            return;
        std::string name = core::utf8ToGbk(textOf(node.child("title")));
        const std::string creator = core::utf8ToGbk(textOf(node.child("creator")));
        if (!name.empty() && !creator.empty())
            name = creator + " - " + name;
        rows.push_back(loadedRow(rows.size() + 1, name, locationEntry(location, folder),
                                 lengthOf(textOf(node.child("duration")), 1000)));
    });
    return rows;
}

std::vector<std::string> m3uLines(const std::vector<core::SongEntry>& rows)
{
    std::vector<std::string> lines{"#EXTM3U"};
    for (const core::SongEntry& row : rows) {
        // -1 stands for an unknown length.
        lines.push_back("#EXTINF:" + std::to_string(std::max(row.seconds, -1)) + "," +
                        core::gbkToUtf8(row.sub(core::SubItem::Name)));
        lines.push_back(core::gbkToUtf8(row.sub(core::SubItem::Address)));
    }
    return lines;
}

std::vector<std::string> xspfLines(const std::vector<core::SongEntry>& rows)
{
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node playlist = doc.append_child("playlist");
    playlist.append_attribute("version") = "1";
    playlist.append_attribute("xmlns") = std::string(kXspfNamespace).c_str();
    pugi::xml_node list = playlist.append_child("trackList");
    for (const core::SongEntry& row : rows) {
        pugi::xml_node track = list.append_child("track");
        const std::string& address = row.sub(core::SubItem::Address);
        const std::string location = hasScheme(address) || !address.starts_with('/')
                                         ? core::gbkToUtf8(address)
                                         : "file://" + percentEncodedPath(core::gbkToUtf8(address));
        track.append_child("location").text() = location.c_str();
        if (const std::string& name = row.sub(core::SubItem::Name); !name.empty())
            track.append_child("title").text() = core::gbkToUtf8(name).c_str();
        if (row.seconds >= 0)
            track.append_child("duration").text() = std::int64_t{row.seconds} * 1000;
    }
    std::ostringstream out;
    doc.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
    return core::splitLines(out.str());
}

} // namespace

std::optional<ListFormat> formatOfName(std::string_view fileName)
{
    const std::string ext = core::lowerAscii(extensionOf(fileName));
    if (ext == "rpm")
        return ListFormat::Real;
    if (ext == "asx")
        return ListFormat::WindowsMedia;
    if (ext == "m3u8" || ext == "m3u")
        return ListFormat::M3u;
    if (ext == "xspf")
        return ListFormat::Xspf;
    return std::nullopt;
}

ListFormat saveFormat(std::string_view fileName, int filterIndex)
{
    if (const std::optional<ListFormat> typed = formatOfName(fileName))
        return *typed;
    switch (filterIndex) {
    case 1:
        return ListFormat::Real;
    case 3:
        return ListFormat::M3u;
    case 4:
        return ListFormat::Xspf;
    default:
        return ListFormat::WindowsMedia;
    }
}

ListFormat loadFormat(std::string_view fileName)
{
    if (isRealListName(fileName))
        return ListFormat::Real;
    return formatOfName(fileName).value_or(ListFormat::WindowsMedia);
}

std::vector<std::string> listFileLines(ListFormat format, const std::vector<core::SongEntry>& rows)
{
    switch (format) {
    case ListFormat::Real:
        return realListLines(rows);
    case ListFormat::M3u:
        return m3uLines(rows);
    case ListFormat::Xspf:
        return xspfLines(rows);
    case ListFormat::WindowsMedia:
        break;
    }
    return mediaListLines(rows, kSavedListTitle);
}

std::vector<core::SongEntry> readListFile(ListFormat format, std::string_view bytes,
                                          std::string_view folder)
{
    switch (format) {
    case ListFormat::Real:
        return readReal(bytes, folder);
    case ListFormat::M3u:
        return readM3u(bytes, folder);
    case ListFormat::Xspf:
        return readXspf(bytes, folder);
    case ListFormat::WindowsMedia:
        break;
    }
    return readAsx(bytes, folder);
}

std::string percentDecoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string nameFromAddress(std::string_view address)
{
    std::string_view path = pathPart(address);
    while (path.ends_with('/'))
        path.remove_suffix(1);
    const std::size_t slash = path.find_last_of("/\\");
    std::string name =
        percentDecoded(slash == std::string_view::npos ? path : path.substr(slash + 1));
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    return validUtf8(name) ? core::utf8ToGbk(name) : name;
}

std::string typeFromAddress(std::string_view address)
{
    return core::lowerAscii(extensionOf(pathPart(address)));
}

std::string resolveEntry(std::string_view entry, std::string_view folder)
{
    if (hasScheme(entry) || entry.starts_with('/'))
        return std::string(entry);
    std::string relative(entry);
    std::replace(relative.begin(), relative.end(), '\\', '/'); // written on Windows
    std::string_view rest(relative);
    while (rest.starts_with("./"))
        rest.remove_prefix(2);
    std::string out(folder);
    if (!out.empty() && !out.ends_with('/'))
        out += '/';
    return out + std::string(rest);
}

} // namespace player
