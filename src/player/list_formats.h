#pragma once
// The list files the play list is saved to and loaded from: the Real list (.rpm), the Windows
// Media list (.asx), M3U / M3U8 and XSPF, which every other player opens. Which format a file
// is depends on its name; the rows a file gives back carry a name, the address and the type.
#include "core/song_entry.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace player {

enum class ListFormat { Real, WindowsMedia, M3u, Xspf };

// The format a name's extension names (.rpm, .asx, .m3u8, .m3u, .xspf in any letter case), or
// nothing for any other extension or none.
std::optional<ListFormat> formatOfName(std::string_view fileName);
// A save writes the format the typed extension names; a name without one takes the format of
// the dialog's chosen filter (1 Real, 2 Windows Media, 3 M3U8, 4 XSPF).
ListFormat saveFormat(std::string_view fileName, int filterIndex);
// A load reads a name ending in "rpm" (any letter case) as a Real list, .m3u / .m3u8 as M3U,
// .xspf as XSPF, anything else as a Windows Media list.
ListFormat loadFormat(std::string_view fileName);

// The whole text of a list, one entry per line for the line formats. Rows are GB18030; M3U8 and
// XSPF are written in UTF-8. The Windows Media list takes the title word "playlist".
std::vector<std::string> listFileLines(ListFormat format, const std::vector<core::SongEntry>& rows);

// The rows of a list file's bytes. folder: the list file's folder (GB18030, ending in '/'),
// against which relative entries are resolved. A row's name is the list's own title for the
// entry, else the file name decoded from its address; the type is the address's extension in
// lower case. Damaged content gives the rows that could be read, never an error.
std::vector<core::SongEntry> readListFile(ListFormat format, std::string_view bytes,
                                          std::string_view folder);

// The file name of an address without its extension, %-escapes decoded ("a%20b.mp3?x" gives
// "a b"); GB18030.
std::string nameFromAddress(std::string_view address);
// The text with every %-escape of two hex digits turned into its byte.
std::string percentDecoded(std::string_view text);
// The extension of an address's path in lower case, without the dot; empty when none.
std::string typeFromAddress(std::string_view address);
// An entry as a list writes it, made absolute: an address with a scheme stays as it is, an
// absolute path too, anything else is taken from folder.
std::string resolveEntry(std::string_view entry, std::string_view folder);

} // namespace player
