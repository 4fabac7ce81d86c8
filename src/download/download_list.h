#pragma once
// Rules of the download list: which result rows it takes, the save path each row gets, and what
// confirming the folder chooser does. Texts are GBK; folders end in the platform's separator.
#include "core/song_entry.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace download {

// The separator between a chosen folder and what follows it.
inline constexpr char kPathSeparator = '/';

// The target file of a row in `folder` (which already ends in the separator): the folder, the
// name, a dot and the type text. The name is kept as the service gave it; whether the resulting
// path is a safe place to write is decided when the transfer starts.
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
