#include "player/play_list.h"

namespace player {

Family familyOf(std::string_view typeText)
{
    if (typeText == "rm" || typeText == "ram")
        return Family::Real;
    if (typeText == "asf" || typeText == "wma")
        return Family::WindowsMedia;
    return Family::Neither;
}

AppendOutcome planAppend(bool anySelected, std::string_view firstSelectedType,
                         const std::vector<core::SongEntry>& playList)
{
    if (!anySelected)
        return AppendOutcome::NothingSelected;
    if (playList.empty())
        return AppendOutcome::Append;
    const std::string& first = playList.front().sub(core::SubItem::TypeText);
    if (firstSelectedType == first)
        return AppendOutcome::Append;
    const Family s = familyOf(firstSelectedType);
    const Family f = familyOf(first);
    if ((s == Family::Real && f == Family::WindowsMedia) ||
        (s == Family::WindowsMedia && f == Family::Real))
        return AppendOutcome::Refused;
    return AppendOutcome::Append;
}

std::vector<core::SongEntry> selectedCopies(const std::vector<core::SongEntry>& results,
                                            const std::vector<int>& selectedRows)
{
    std::vector<bool> selected(results.size(), false);
    for (int row : selectedRows)
        if (row >= 0 && static_cast<size_t>(row) < results.size())
            selected[static_cast<size_t>(row)] = true;
    std::vector<core::SongEntry> copies;
    for (size_t i = 0; i < results.size(); ++i)
        if (selected[i])
            copies.push_back(results[i]);
    return copies;
}

int heightAfterClear(int height)
{
    return height < kShrinkThreshold ? kHeightAfterClear : height;
}

int heightAfterShow(int height, int shrink)
{
    return height >= kShrinkThreshold ? height - shrink : height;
}

} // namespace player
