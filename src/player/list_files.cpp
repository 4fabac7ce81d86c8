#include "player/list_files.h"

#include "core/text_ops.h"

#include <cstdio>

namespace player {

std::vector<std::string> realListLines(const std::vector<core::SongEntry>& rows)
{
    std::vector<std::string> lines;
    lines.reserve(rows.size());
    for (const auto& row : rows)
        lines.push_back(row.sub(core::SubItem::Address));
    return lines;
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
