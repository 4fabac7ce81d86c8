#include "player/play_list.h"

#include <gtest/gtest.h>

namespace {

using core::SongEntry;
using player::AppendOutcome;

SongEntry row(const std::string& type, const std::string& address = "http://h/a")
{
    return SongEntry{"1", 0, {"name", address, "3.2M", type}};
}

TEST(PlayListFamilies, OnlyExactLowerCaseTextsBelongToAFamily)
{
    EXPECT_EQ(player::familyOf("rm"), player::Family::Real);
    EXPECT_EQ(player::familyOf("ram"), player::Family::Real);
    EXPECT_EQ(player::familyOf("wma"), player::Family::WindowsMedia);
    EXPECT_EQ(player::familyOf("asf"), player::Family::WindowsMedia);
    EXPECT_EQ(player::familyOf("mp3"), player::Family::Neither);
    EXPECT_EQ(player::familyOf("RM"), player::Family::Neither);
    EXPECT_EQ(player::familyOf("Wma"), player::Family::Neither);
    EXPECT_EQ(player::familyOf(""), player::Family::Neither);
    EXPECT_EQ(player::familyOf("rm "), player::Family::Neither);
}

TEST(PlayListAppend, NothingSelectedWinsOverEverythingElse)
{
    EXPECT_EQ(player::planAppend(false, "", {}), AppendOutcome::NothingSelected);
    EXPECT_EQ(player::planAppend(false, "rm", {row("wma")}), AppendOutcome::NothingSelected);
}

TEST(PlayListAppend, EmptyListAcceptsAnyFirstType)
{
    EXPECT_EQ(player::planAppend(true, "rm", {}), AppendOutcome::Append);
    EXPECT_EQ(player::planAppend(true, "wma", {}), AppendOutcome::Append);
}

TEST(PlayListAppend, RealAndWindowsMediaFamiliesRefuseEachOther)
{
    for (const char* s : {"rm", "ram"})
        for (const char* f : {"asf", "wma"}) {
            EXPECT_EQ(player::planAppend(true, s, {row(f)}), AppendOutcome::Refused) << s << f;
            EXPECT_EQ(player::planAppend(true, f, {row(s)}), AppendOutcome::Refused) << f << s;
        }
}

TEST(PlayListAppend, MembersOfOneFamilyAndTypesOutsideBothMix)
{
    EXPECT_EQ(player::planAppend(true, "ram", {row("rm")}), AppendOutcome::Append);
    EXPECT_EQ(player::planAppend(true, "wma", {row("asf")}), AppendOutcome::Append);
    EXPECT_EQ(player::planAppend(true, "mp3", {row("rm")}), AppendOutcome::Append);
    EXPECT_EQ(player::planAppend(true, "rm", {row("mp3")}), AppendOutcome::Append);
    EXPECT_EQ(player::planAppend(true, "asf", {row("mp3")}), AppendOutcome::Append);
    EXPECT_EQ(player::planAppend(true, "wma", {row("wma")}), AppendOutcome::Append);
}

TEST(PlayListAppend, ComparisonIsCaseSensitiveAndUsesOnlyTheFirstRowOfTheList)
{
    // "RM" is outside both families, so it mixes with Windows Media rows.
    EXPECT_EQ(player::planAppend(true, "RM", {row("wma")}), AppendOutcome::Append);
    EXPECT_EQ(player::planAppend(true, "rm", {row("WMA")}), AppendOutcome::Append);
    // The play list's later rows are not looked at.
    EXPECT_EQ(player::planAppend(true, "rm", {row("mp3"), row("wma")}), AppendOutcome::Append);
    EXPECT_EQ(player::planAppend(true, "rm", {row("wma"), row("rm")}), AppendOutcome::Refused);
}

TEST(PlayListAppend, SelectedCopiesFollowResultOrderOnceEach)
{
    const std::vector<SongEntry> results = {row("mp3", "a"), row("rm", "b"), row("wma", "c"),
                                            row("mp3", "d")};
    const auto copies = player::selectedCopies(results, {3, 1, 1, 7, -1});
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies[0], results[1]);
    EXPECT_EQ(copies[1], results[3]);
    EXPECT_TRUE(player::selectedCopies(results, {}).empty());
}

TEST(PlayListHeight, ClearRestoresAShrunkListAndShowShrinksATallOne)
{
    EXPECT_EQ(player::heightAfterClear(137), 145);
    EXPECT_EQ(player::heightAfterClear(75), 145);
    EXPECT_EQ(player::heightAfterClear(139), 145);
    EXPECT_EQ(player::heightAfterClear(140), 140);
    EXPECT_EQ(player::heightAfterClear(145), 145);
    EXPECT_EQ(player::heightAfterClear(150), 150);

    EXPECT_EQ(player::heightAfterShow(137, 70), 137);
    EXPECT_EQ(player::heightAfterShow(145, 70), 75);
    EXPECT_EQ(player::heightAfterShow(75, 70), 75);
    EXPECT_EQ(player::heightAfterShow(150, 75), 75);
    EXPECT_EQ(player::heightAfterShow(140, 75), 65);
    EXPECT_EQ(player::heightAfterShow(139, 75), 139);
}

} // namespace
