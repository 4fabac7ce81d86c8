#include "download/download_list.h"

namespace download {

std::string savePath(const std::string& folder, const std::string& name, const std::string& type)
{
    return folder + name + "." + type;
}

bool isDownloadableRow(const search::SongEntry& resultRow)
{
    return resultRow.subItems.size() >= 3;
}

std::optional<search::SongEntry> downloadRowFor(const search::SongEntry& resultRow,
                                                const std::string& saveFolder)
{
    if (!isDownloadableRow(resultRow))
        return std::nullopt;
    search::SongEntry row;
    row.caption = resultRow.caption;
    row.imageIndex = resultRow.imageIndex;
    for (size_t i = search::Name; i <= search::TypeText; ++i)
        row.subItems.push_back(resultRow.sub(i));
    row.subItems.push_back(
        savePath(saveFolder, resultRow.sub(search::Name), resultRow.sub(search::TypeText)));
    return row;
}

std::vector<search::SongEntry> downloadRowsFor(const std::vector<search::SongEntry>& selected,
                                               const std::string& saveFolder)
{
    std::vector<search::SongEntry> rows;
    for (const search::SongEntry& resultRow : selected)
        if (std::optional<search::SongEntry> row = downloadRowFor(resultRow, saveFolder))
            rows.push_back(std::move(*row));
    return rows;
}

ChooserOutcome confirmChooser(bool rewriteMode, const std::string& saveFolder,
                              const std::string& chosenPath,
                              const std::vector<std::pair<int, search::SongEntry>>& selectedRows)
{
    ChooserOutcome outcome;
    outcome.saveFolder = saveFolder;
    if (rewriteMode) {
        const std::string folder = chosenPath + kPathSeparator;
        for (const auto& [index, row] : selectedRows)
            outcome.newSavePaths.emplace_back(
                index, savePath(folder, row.sub(search::Name), row.sub(search::TypeText)));
        outcome.rewriteMode = false;
        return outcome;
    }
    if (!chosenPath.empty())
        outcome.saveFolder = chosenPath + kPathSeparator;
    return outcome;
}

} // namespace download
