#pragma once
// The play list's rules, apart from the widgets: which type texts mix, what an append does to
// the list, what a player plays of it, how sizes compare, and how the list's height follows
// clearing and showing a player page.
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

// The play list in the order it plays. A view may show it sorted; the list keeps its order.
class PlayList {
public:
    const std::vector<core::SongEntry>& rows() const { return rows_; }
    size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }

    // Appends the chosen rows (in the order given) when the type rule lets them in; nothing
    // changes otherwise. Only the first chosen row's type is tested.
    AppendOutcome append(const std::vector<core::SongEntry>& chosen);
    // What append would do.
    AppendOutcome planFor(const std::vector<core::SongEntry>& chosen) const;
    // The list becomes these rows (a loaded list file).
    void assign(std::vector<core::SongEntry> rows) { rows_ = std::move(rows); }
    void removeAt(size_t index);
    void clear() { rows_.clear(); }

private:
    std::vector<core::SongEntry> rows_;
};

// The addresses a player plays for these rows, in order: each row's address without blanks and
// control characters at either end; rows without an address are left out, and so, in a Real
// list, are rows whose address starts with '#' (a comment line there).
std::vector<std::string> playAddresses(const std::vector<core::SongEntry>& rows, bool real);

// A size text as the lists show it ("512", "47K", "5.1M", "1.2 GB") in bytes, for sorting;
// -1 for a text that is no size.
double sizeValue(std::string_view sizeText);

inline constexpr int kShrinkThreshold = 140;
inline constexpr int kHeightAfterClear = 145;
// Clearing restores a shrunk list to 145; a list at least 140 high keeps its height.
int heightAfterClear(int height);
// Showing a player page shrinks a list that is at least 140 high.
int heightAfterShow(int height, int shrink);

} // namespace player
