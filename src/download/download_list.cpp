#include "download/download_list.h"

namespace download {

std::string savePath(const std::string& folder, const std::string& name, const std::string& type)
{
    return folder + name + "." + type;
}

bool isDownloadableRow(const core::SongEntry& resultRow)
{
    return resultRow.subItems.size() >= 3;
}

std::optional<core::SongEntry> downloadRowFor(const core::SongEntry& resultRow,
                                              const std::string& saveFolder)
{
    if (!isDownloadableRow(resultRow))
        return std::nullopt;
    core::SongEntry row = resultRow; // whatever else the entry carries travels with it
    row.subItems.clear();
    for (const auto column : {core::SubItem::Name, core::SubItem::Address, core::SubItem::SizeText,
                              core::SubItem::TypeText})
        row.subItems.push_back(resultRow.sub(column));
    row.subItems.push_back(savePath(saveFolder, resultRow.sub(core::SubItem::Name),
                                    resultRow.sub(core::SubItem::TypeText)));
    row.md5 = resultRow.md5;
    row.sizeBytes = resultRow.sizeBytes;
    return row;
}

std::vector<core::SongEntry> downloadRowsFor(const std::vector<core::SongEntry>& selected,
                                             const std::string& saveFolder)
{
    std::vector<core::SongEntry> rows;
    for (const core::SongEntry& resultRow : selected)
        if (std::optional<core::SongEntry> row = downloadRowFor(resultRow, saveFolder))
            rows.push_back(std::move(*row));
    return rows;
}

ChooserOutcome confirmChooser(bool rewriteMode, const std::string& saveFolder,
                              const std::string& chosenPath,
                              const std::vector<std::pair<int, core::SongEntry>>& selectedRows)
{
    ChooserOutcome outcome;
    outcome.saveFolder = saveFolder;
    if (rewriteMode) {
        const std::string folder = chosenPath + kPathSeparator;
        for (const auto& [index, row] : selectedRows)
            outcome.newSavePaths.emplace_back(index, savePath(folder, row.sub(core::SubItem::Name),
                                                              row.sub(core::SubItem::TypeText)));
        outcome.rewriteMode = false;
        return outcome;
    }
    if (!chosenPath.empty())
        outcome.saveFolder = chosenPath + kPathSeparator;
    return outcome;
}

} // namespace download
