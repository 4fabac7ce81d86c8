#include "player/list_files.h"

#include "core/text_ops.h"

#include <cstdio>
#include <utility>

namespace player {

std::vector<std::string> realListLines(const std::vector<core::SongEntry>& rows)
{
    std::vector<std::string> lines;
    lines.reserve(rows.size());
    for (const auto& row : rows)
        lines.push_back(row.sub(core::SubItem::Address));
    return lines;
}

std::string xmlUnescaped(std::string_view text)
{
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [entity, c] : kEntities)
            if (text.compare(i, entity.size(), entity) == 0) {
                out += c;
                i += entity.size();
                replaced = true;
                break;
            }
        if (!replaced)
            out += text[i++];
    }
    return out;
}

std::vector<std::string> mediaListLines(const std::vector<core::SongEntry>& rows,
                                        std::string_view title)
{
    std::vector<std::string> lines;
    lines.reserve(3 * rows.size() + 3);
    lines.push_back("<asx version = \"3.0\">");
    lines.push_back("<title>" + core::xmlEscaped(title) + "</title>");
    for (const auto& row : rows) {
        lines.push_back("<entry>");
        lines.push_back("<ref href = \"" + core::xmlEscaped(row.sub(core::SubItem::Address)) +
                        "\"/>");
        lines.push_back("</entry>");
    }
    lines.push_back("</asx>");
    return lines;
}

bool isRealType(std::string_view typeText)
{
    const std::string upper = core::upperAscii(typeText);
    return upper == "RM" || upper == "RAM";
}

bool isRealListName(std::string_view fileName)
{
    return core::upperAscii(core::lastN(fileName, 3)) == "RPM";
}

std::vector<core::SongEntry> readRealList(const std::vector<std::string>& lines)
{
    std::vector<core::SongEntry> rows;
    rows.reserve(lines.size());
    for (const auto& line : lines)
        rows.push_back(core::SongEntry{line, 0, {}});
    return rows;
}

std::vector<core::SongEntry> readMediaList(const std::vector<std::string>& lines)
{
    std::vector<core::SongEntry> rows;
    const size_t n = lines.empty() ? 0 : (lines.size() - 1) / 3;
    for (size_t i = 1; i <= n; ++i)
        rows.push_back(core::SongEntry{xmlUnescaped(lines[3 * i]), 0, {}});
    return rows;
}

std::string nameStamp(int year, int month, int day, int hour, int minute, int second)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", year, month, day, hour, minute,
                  second);
    return text;
}

std::string proposedListName(std::string_view stamp, std::string_view searchText, bool real)
{
    return std::string(stamp) + core::trim(searchText) + (real ? ".rpm" : ".asx");
}

} // namespace player
