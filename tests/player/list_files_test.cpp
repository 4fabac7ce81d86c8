#include "core/line_file.h"
#include "player/list_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

using core::SongEntry;

SongEntry row(const std::string& address, const std::string& type)
{
    return SongEntry{"1", 2, {"歌手", address, "4.1M", type}};
}

class ListFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("corvale-list-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string roundTrip(const std::string& name, const std::vector<std::string>& lines)
    {
        core::writeLines(dir / name, lines);
        return core::readFileBytes(dir / name);
    }
    std::filesystem::path dir;
};

TEST_F(ListFileTest, TwoWindowsMediaRowsGiveEightWellFormedLines)
{
    const std::vector<SongEntry> rows = {row("http://h/a b&c.wma?x=1&amp=<2>", "wma"),
                                         row("http://h/\"q\".wma", "wma")};
    const std::string bytes = roundTrip("x.asx", player::mediaListLines(rows, "play&list"));
    EXPECT_EQ(bytes, "<asx version = \"3.0\">\r\n"
                     "<title>play&amp;list</title>\r\n"
                     "<entry>\r\n"
                     "<ref href = \"http://h/a b&amp;c.wma?x=1&amp;amp=&lt;2&gt;\"/>\r\n"
                     "</entry>\r\n"
                     "<entry>\r\n"
                     "<ref href = \"http://h/&quot;q&quot;.wma\"/>\r\n"
                     "</entry>\r\n"
                     "</asx>\r\n");
    // Another program reads it as XML.
    const std::string check = "xmllint --noout '" + (dir / "x.asx").string() + "' 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0) << "xmllint refuses the file";
}

TEST_F(ListFileTest, ThreeRealRowsGiveThreeLines)
{
    const std::vector<SongEntry> rows = {row("http://h/1.rm", "rm"), row("http://h/2.rm", "rm"),
                                         row("http://h/3.ram", "ram")};
    EXPECT_EQ(roundTrip("x.rpm", player::realListLines(rows)),
              "http://h/1.rm\r\nhttp://h/2.rm\r\nhttp://h/3.ram\r\n");
}

TEST_F(ListFileTest, TheOwnListIsTitledDemoAndAnEmptyListIsStillWellFormed)
{
    EXPECT_EQ(core::joinLinesCrLf(player::mediaListLines({row("http://h/a.mp3", "mp3")}, "demo")),
              "<asx version = \"3.0\">\r\n<title>demo</title>\r\n<entry>\r\n"
              "<ref href = \"http://h/a.mp3\"/>\r\n</entry>\r\n</asx>\r\n");
    EXPECT_EQ(
        player::mediaListLines({}, "demo"),
        (std::vector<std::string>{"<asx version = \"3.0\">", "<title>demo</title>", "</asx>"}));
}

TEST(ListFileFormat, FirstRowTypeChoosesTheSaveFormatInAnyCase)
{
    EXPECT_TRUE(player::isRealType("rm"));
    EXPECT_TRUE(player::isRealType("RAM"));
    EXPECT_TRUE(player::isRealType("Rm"));
    EXPECT_FALSE(player::isRealType("mp3"));
    EXPECT_FALSE(player::isRealType("wma"));
    EXPECT_FALSE(player::isRealType("rmvb"));
    EXPECT_FALSE(player::isRealType(""));
}

TEST(ListFileFormat, ChosenFileNameChoosesTheReaderByItsLastThreeCharacters)
{
    EXPECT_TRUE(player::isRealListName("/tmp/a.rpm"));
    EXPECT_TRUE(player::isRealListName("/tmp/A.RPM"));
    EXPECT_TRUE(player::isRealListName("/tmp/listrpm")); // only the last three characters count
    EXPECT_FALSE(player::isRealListName("/tmp/a.asx"));
    EXPECT_FALSE(player::isRealListName("/tmp/a.txt"));
    EXPECT_FALSE(player::isRealListName("/tmp/a.rpm "));
    EXPECT_FALSE(player::isRealListName("pm"));
}

TEST(ListFileName, ProposalIsStampTrimmedSearchTextAndExtension)
{
    const std::string stamp = player::nameStamp(2026, 12, 8, 15, 30, 0);
    EXPECT_EQ(stamp, "20261208-153000");
    EXPECT_EQ(player::nameStamp(2027, 1, 2, 3, 4, 5), "20270102-030405");
    EXPECT_EQ(stamp.find_first_of(":/\\*?\"<>|"), std::string::npos);
    EXPECT_EQ(player::proposedListName(stamp, " \t周杰伦 稻香\r\n", true),
              "20261208-153000周杰伦 稻香.rpm");
    EXPECT_EQ(player::proposedListName(stamp, "", false), "20261208-153000.asx");
}

} // namespace
