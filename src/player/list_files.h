#pragma once
// The Real (.rpm) and Windows Media (.asx) list texts, which format a list takes, and the
// proposed file name of a save (list_formats.h reads every list format and writes the others).
#include "core/song_entry.h"

#include <string>
#include <string_view>
#include <vector>

namespace player {

// One line per row: the row's download address.
std::vector<std::string> realListLines(const std::vector<core::SongEntry>& rows);

// "<asx version = "3.0">", the title line, three lines per row, "</asx>": 3n + 3 lines. The
// title and the addresses are escaped (a list without those characters is unchanged by it).
std::vector<std::string> mediaListLines(const std::vector<core::SongEntry>& rows,
                                        std::string_view title);

// A list whose first row's type is "RM" or "RAM" in any letter case is played and saved as a
// Real list; anything else as a Windows Media list.
bool isRealType(std::string_view typeText);
// A chosen file whose name ends in "RPM" in any letter case is a Real list; the content is
// not looked at.
bool isRealListName(std::string_view fileName);

// The leading part of a proposed list name: the date and time without characters that file
// names may not hold, "YYYYMMDD-hhmmss".
std::string nameStamp(int year, int month, int day, int hour, int minute, int second);
// leading part + the search text without blanks and control characters at either end +
// ".rpm" or ".asx".
std::string proposedListName(std::string_view stamp, std::string_view searchText, bool real);
// The save dialog's filter (1: Real lists, 2: Windows Media lists) for a proposed name.
inline int saveFilterIndex(bool real)
{
    return real ? 1 : 2;
}

} // namespace player
