#pragma once
// The play list's rules, apart from the widgets: which type texts mix, what an append does to
// the list, and how the list's height follows clearing and showing a player page.
#include "core/song_entry.h"

#include <string>
#include <string_view>
#include <vector>

namespace player {

// The two families of type texts. The comparison is exact: "RM" belongs to neither.
enum class Family { Real, WindowsMedia, Neither };
Family familyOf(std::string_view typeText);

enum class AppendOutcome {
    NothingSelected, // "请在搜索栏中选择想播放的文件名！", nothing changes
    Refused,         // "文件类型不符,不能追加!", nothing changes
    Append,          // append the selected rows
};

// What appending the result list's selection does to the play list. firstSelectedType is the
// type text of the selected result row with the lowest index; only that row is tested.
AppendOutcome planAppend(bool anySelected, std::string_view firstSelectedType,
                         const std::vector<core::SongEntry>& playList);

// The rows that go onto the play list (and the card list): every selected result row, in
// result-list order, as an unchanged copy.
std::vector<core::SongEntry> selectedCopies(const std::vector<core::SongEntry>& results,
                                            const std::vector<int>& selectedRows);

inline constexpr int kShrinkThreshold = 140;
inline constexpr int kHeightAfterClear = 145;
// Clearing restores a shrunk list to 145; a list at least 140 high keeps its height.
int heightAfterClear(int height);
// Showing a player page shrinks a list that is at least 140 high.
int heightAfterShow(int height, int shrink);

} // namespace player
