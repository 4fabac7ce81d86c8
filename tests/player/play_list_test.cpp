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

TEST(PlayListRows, AppendKeepsTheChosenOrderAndARefusalChangesNothing)
{
    player::PlayList list;
    EXPECT_EQ(list.append({}), AppendOutcome::NothingSelected);
    EXPECT_EQ(list.append({row("rm", "a"), row("wma", "b")}), AppendOutcome::Append);
    EXPECT_EQ(list.append({row("asf", "c")}), AppendOutcome::Refused);
    EXPECT_EQ(list.append({row("mp3", "d"), row("wma", "e")}), AppendOutcome::Append);
    std::string order;
    for (const SongEntry& e : list.rows())
        order += e.sub(core::SubItem::Address);
    EXPECT_EQ(order, "abde");
    list.removeAt(1);
    list.removeAt(9); // no such row
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list.rows()[1].sub(core::SubItem::Address), "d");
}

TEST(PlayListRows, APlayerPlaysTheTrimmedAddressesAndARealListSkipsComments)
{
    const std::vector<SongEntry> rows = {row("mp3", " http://h/a.mp3\t"), row("mp3", ""),
                                         row("mp3", "  "), row("rm", "#not/a/comment.rm"),
                                         row("mp3", "sub/b.mp3")};
    EXPECT_EQ(player::playAddresses(rows, false),
              (std::vector<std::string>{"http://h/a.mp3", "#not/a/comment.rm", "sub/b.mp3"}));
    EXPECT_EQ(player::playAddresses(rows, true),
              (std::vector<std::string>{"http://h/a.mp3", "sub/b.mp3"}));
}

TEST(PlayListRows, SizesCompareByTheirValue)
{
    const std::pair<const char*, double> sizes[] = {{"512", 512},
                                                    {"47K", 47 * 1024.0},
                                                    {"5.1M", 5.1 * 1024 * 1024},
                                                    {" 14 MB", 14 * 1024.0 * 1024},
                                                    {"1.2g", 1.2 * 1024 * 1024 * 1024},
                                                    {"300 B", 300},
                                                    {"", -1},
                                                    {"M", -1},
                                                    {"2.3X", -1},
                                                    {"-1K", -1}};
    for (const auto& [text, value] : sizes)
        EXPECT_DOUBLE_EQ(player::sizeValue(text), value) << text;
    EXPECT_LT(player::sizeValue("512K"), player::sizeValue("2.3M"));
    EXPECT_LT(player::sizeValue("2.3M"), player::sizeValue("10M"));
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
