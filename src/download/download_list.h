#pragma once
// Rules of the download list: which result rows it takes, the save path each row gets, and what
// confirming the folder chooser does. Texts are GBK; folders end in the platform's separator.
#include "core/song_entry.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace download {

// The separator between a chosen folder and what follows it.
inline constexpr char kPathSeparator = '/';

// The longest file name the file system takes, in bytes of its encoding (UTF-8).
inline constexpr std::size_t kMaxFileNameBytes = 255;
// What a file of the list may get added to its name: a number "(99)" when the name is taken,
// and the ".part" of its resume record.
inline constexpr std::size_t kFileNameRoom = 4 + 5;
// The name used when nothing of a song's name can be kept.
std::string fallbackFileName();

// A file name made from a song's name and type, usable in any folder and recognisable to a
// person: '/', '\', control characters and line breaks become '_'; leading dots are dropped; a
// name that is left empty (".", "..") becomes the fallback name; the name is cut at a character
// boundary so that name + "." + type, with room for kFileNameRoom more, stays within
// kMaxFileNameBytes in UTF-8. GBK in and out.
std::string safeFileName(const std::string& name, const std::string& type);

// The target file of a row in `folder` (which already ends in the separator): the folder and
// safeFileName(name, type). The file is always made directly in the folder.
std::string savePath(const std::string& folder, const std::string& name, const std::string& type);

// Only result rows (name, address, size, type) can be downloaded; chart and album rows carry
// fewer than three sub-items.
bool isDownloadableRow(const core::SongEntry& resultRow);

// The download-list row for a result row: caption and icon copied, name, address, size and type
// copied, and the save path under `saveFolder`. Nothing for a chart or album row.
std::optional<core::SongEntry> downloadRowFor(const core::SongEntry& resultRow,
                                              const std::string& saveFolder);

// The download-list rows for the selected result rows, in the order given; rows that cannot be
// downloaded are left out, the rest are kept (duplicates included).
std::vector<core::SongEntry> downloadRowsFor(const std::vector<core::SongEntry>& selected,
                                             const std::string& saveFolder);

// What confirming the folder chooser with the path text P changes.
struct ChooserOutcome {
    std::string saveFolder; // the default folder afterwards
    bool rewriteMode = false;
    // (row index, new save path) for every row rewritten, in list order
    std::vector<std::pair<int, std::string>> newSavePaths;
};

// Rewrite mode: every selected row gets P + separator + name + "." + type, and the chooser
// leaves rewrite mode (also when nothing is selected); the default folder stays.
// Default mode: a non-empty P becomes the default folder with a separator appended (always, even
// when P already ends in one); an empty P changes nothing.
ChooserOutcome confirmChooser(bool rewriteMode, const std::string& saveFolder,
                              const std::string& chosenPath,
                              const std::vector<std::pair<int, core::SongEntry>>& selectedRows);

} // namespace download
