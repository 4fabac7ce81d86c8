#include "player/ram_list.h"

#include <algorithm>
#include <cctype>

namespace player {
namespace {

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The scheme of an address in lower case, or empty when it has none.
std::string schemeOf(std::string_view address)
{
    const size_t colon = address.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return {};
    for (size_t i = 0; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(address[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return {};
    }
    if (!std::isalpha(static_cast<unsigned char>(address[0])))
        return {};
    return lower(address.substr(0, colon));
}

std::string_view trimmed(std::string_view line)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!line.empty() && blank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && blank(line.back()))
        line.remove_suffix(1);
    return line;
}

struct Expansion {
    const RamFetch& fetch;
    std::vector<RamItem> items;
    std::vector<std::string> chain; // the lists being opened, outermost first
    int fetches = 0;

    bool full() const { return static_cast<int>(items.size()) >= kMaxRamItems; }

    void open(const std::string& address)
    {
        if (std::find(chain.begin(), chain.end(), address) != chain.end()) {
            items.push_back({address, "the list names itself", "播放列表指向自身"});
            return;
        }
        if (static_cast<int>(chain.size()) >= kMaxRamDepth) {
            items.push_back(
                {address, "lists nested more than " + std::to_string(kMaxRamDepth) + " levels deep",
                 "播放列表嵌套过深"});
            return;
        }
        if (++fetches > kMaxRamFetches) {
            items.push_back({address, "too many lists", "播放列表过多"});
            return;
        }
        std::optional<std::string> text;
        try {
            text = fetch(address);
        } catch (const RamFetchError& e) {
            items.push_back({address, e.reason, e.userText});
            return;
        }
        if (!text) { // media under a list's name: play it as it is
            items.push_back({address, {}, {}});
            return;
        }
        const std::vector<std::string> entries = parseRamText(*text, address);
        if (entries.empty()) {
            items.push_back({address, "the list holds no address", "播放列表中没有歌曲"});
            return;
        }
        chain.push_back(address);
        for (const std::string& entry : entries) {
            if (full())
                break;
            if (namesRamList(entry))
                open(entry);
            else
                items.push_back({entry, {}, {}});
        }
        chain.pop_back();
    }
};

} // namespace

AddressKind addressKind(std::string_view address)
{
    address = trimmed(address);
    if (address.starts_with('/'))
        return AddressKind::LocalFile;
    const std::string scheme = schemeOf(address);
    if (scheme == "http" || scheme == "https")
        return AddressKind::Http;
    if (scheme == "file")
        return AddressKind::LocalFile;
    static const char* const streaming[] = {"rtsp", "rtspu", "rtspt", "pnm",  "mms",
                                            "mmsh", "mmst",  "mmsu",  "rtmp", "rtp"};
    for (const char* s : streaming)
        if (scheme == s)
            return AddressKind::Streaming;
    return AddressKind::Unknown;
}

bool namesRamList(std::string_view address)
{
    address = trimmed(address);
    const size_t end = address.find_first_of("?#");
    const std::string path = lower(address.substr(0, end));
    return path.size() > 4 && path.ends_with(".ram");
}

std::vector<std::string> parseRamText(std::string_view text, std::string_view listAddress)
{
    // The folder of the list, for relative entries: everything up to its last '/'.
    const size_t slash = listAddress.find_first_of("?#") == std::string_view::npos
                             ? listAddress.rfind('/')
                             : listAddress.substr(0, listAddress.find_first_of("?#")).rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view() : listAddress.substr(0, slash + 1);
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = trimmed(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        if (schemeOf(line).empty() && !line.starts_with('/') && !folder.empty())
            out.push_back(std::string(folder) + std::string(line));
        else
            out.emplace_back(line);
    }
    return out;
}

std::vector<RamItem> expandRamList(const std::string& address, const RamFetch& fetch)
{
    Expansion expansion{fetch, {}, {}, 0};
    expansion.open(address);
    return std::move(expansion.items);
}

} // namespace player
