#include "player/play_list.h"

#include "core/size_text.h"

#include <cctype>
#include <charconv>

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

AppendOutcome PlayList::planFor(const std::vector<core::SongEntry>& chosen) const
{
    return planAppend(!chosen.empty(),
                      chosen.empty()
                          ? std::string_view()
                          : std::string_view(chosen.front().sub(core::SubItem::TypeText)),
                      rows_);
}

AppendOutcome PlayList::append(const std::vector<core::SongEntry>& chosen)
{
    const AppendOutcome outcome = planFor(chosen);
    if (outcome == AppendOutcome::Append)
        rows_.insert(rows_.end(), chosen.begin(), chosen.end());
    return outcome;
}

void PlayList::removeAt(size_t index)
{
    if (index < rows_.size())
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
}

namespace {
bool blankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}
} // namespace

std::vector<std::string> playAddresses(const std::vector<core::SongEntry>& rows, bool real)
{
    std::vector<std::string> addresses;
    for (const core::SongEntry& row : rows) {
        std::string_view address = row.sub(core::SubItem::Address);
        while (!address.empty() && blankOrControl(address.front()))
            address.remove_prefix(1);
        while (!address.empty() && blankOrControl(address.back()))
            address.remove_suffix(1);
        if (address.empty() || (real && address.front() == '#'))
            continue;
        addresses.emplace_back(address);
    }
    return addresses;
}

double sizeValue(std::string_view text)
{
    return core::sizeTextBytes(text).value_or(-1);
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
