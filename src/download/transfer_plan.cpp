#include "download/transfer_plan.h"

#include "core/gbk.h"
#include "download/engine_limits.h"

#include <algorithm>
#include <charconv>

namespace download {

AddressParts parseDownloadAddress(std::string_view address)
{
    AddressParts parts;
    // The scheme is the first seven characters ("http://").
    parts.hostPath = address.size() > 7 ? std::string(address.substr(7)) : std::string();
    const std::size_t slash = parts.hostPath.find('/');
    if (slash == std::string::npos || slash == 0)
        return parts;
    std::string_view authority = std::string_view(parts.hostPath).substr(0, slash);
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
        std::string_view portText = authority.substr(colon + 1);
        int port = 0;
        auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (ec != std::errc() || end != portText.data() + portText.size() || port < 1 ||
            port > 65535)
            return parts;
        parts.port = port;
        authority = authority.substr(0, colon);
    }
    if (authority.empty())
        return parts;
    parts.host = std::string(authority);
    parts.ok = true;
    return parts;
}

ByteRange workerRange(std::int64_t fileSize, int connections, int index)
{
    const std::int64_t length = connections > 0 ? fileSize / connections : 0;
    ByteRange range;
    range.start = index * length;
    range.end = index == connections - 1 ? fileSize : (index + 1) * length;
    return range;
}

std::int64_t expectedRangeLength(const ByteRange& range, std::int64_t fileSize)
{
    const std::int64_t last = std::min(range.end, fileSize - 1);
    return last >= range.start ? last - range.start + 1 : 0;
}

int workerTag(int slot, int worker)
{
    return (slot + 1) * 100 + worker;
}

int tagSlot(int tag)
{
    for (int s = 0; s < kSlotCount; ++s)
        if (tag >= (s + 1) * 100 && tag <= (s + 1) * 100 + 49)
            return s;
    return -1;
}

int tagWorker(int tag)
{
    const int s = tagSlot(tag);
    return s < 0 ? -1 : tag - (s + 1) * 100;
}

std::string progressPanelText(int tag, std::int64_t count)
{
    const int s = tagSlot(tag);
    if (s < 0)
        return std::to_string(count);
    static const std::string file = core::utf8ToGbk("文件");
    static const std::string thread = core::utf8ToGbk("线程");
    static const std::string colon = core::utf8ToGbk("：");
    return file + std::to_string(s + 1) + thread + std::to_string(tagWorker(tag) + 1) + colon +
           std::to_string(count);
}

int connectionsFromText(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return kWorkersPerSlot;
    return std::clamp(value, 1, kWorkersPerSlot);
}

} // namespace download
