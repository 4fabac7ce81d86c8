#include "core/gbk.h"
#include "core/line_file.h"
#include "core/text_ops.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

TEST(Gbk, ChineseRoundTripsAndCountsTwoBytesPerCharacter)
{
    const std::string marker = core::utf8ToGbk("百度为您找到相关结果");
    EXPECT_EQ(marker.size(), 20u);
    EXPECT_EQ(core::gbkToUtf8(marker), "百度为您找到相关结果");
    EXPECT_EQ(core::utf16ToGbk(u"搜索abc"), core::utf8ToGbk("搜索abc"));
    EXPECT_EQ(core::gbkToUtf16(core::utf8ToGbk("篇")), u"篇");
}

TEST(Gbk, CharactersGbkCannotHoldBecomeQuestionMarks)
{
    EXPECT_EQ(core::utf16ToGbk(u"a\U0001F600b"), "a?b"); // a surrogate pair is one character
    EXPECT_EQ(core::utf16ToGbk(u"x\u0E01y"), "x?y");     // Thai is not in GBK
    EXPECT_EQ(core::utf8ToGbk("한x"), "?x");             // Hangul is not in GBK
    EXPECT_EQ(core::gbkToUtf16("\x81"), u"\uFFFD");      // a truncated double byte
}

TEST(TextOps, PositionsAreOneBasedBytes)
{
    EXPECT_EQ(core::find("b", "abc"), 2);
    EXPECT_EQ(core::find("z", "abc"), 0);
    EXPECT_EQ(core::find("", "abc"), 0);
    EXPECT_EQ(core::part("abcdef", 2, 3), "bcd");
    EXPECT_EQ(core::part("abcdef", 5, 10), "ef");
    EXPECT_EQ(core::part("abcdef", 7, 1), "");
    EXPECT_EQ(core::part("abcdef", 1, 0), "");
    EXPECT_EQ(core::part("abcdef", 1, -4), "");
    EXPECT_EQ(core::part("abcdef", 0, 2), "ab");
    EXPECT_EQ(core::lastN("abcdef", 3), "def");
    EXPECT_EQ(core::lastN("ab", 8), "ab");
    EXPECT_EQ(core::lastN("ab", 0), "");
}

TEST(TextOps, TrimRemovesControlsAndBlanksOnly)
{
    EXPECT_EQ(core::trim(" \t abc \r\n\x01"), "abc");
    EXPECT_EQ(core::trim("   "), "");
    const std::string wide = core::utf8ToGbk("　全角"); // a full-width blank is not trimmed
    EXPECT_EQ(core::trim(wide), wide);
    EXPECT_EQ(core::upperAscii("Rm.mp3"), "RM.MP3");
    EXPECT_EQ(core::lowerAscii("Socket ERROR"), "socket error");
}

TEST(TextOps, LineOfFirstOccurrenceOrFirstLine)
{
    const std::vector<std::string> lines{"head abc", "song one 2.34Mmp3", "song two", "abc again"};
    EXPECT_EQ(core::lineOf(lines, "song two"), "song two");
    EXPECT_EQ(core::lineOf(lines, "abc"), "head abc"); // first occurrence wins
    EXPECT_EQ(core::lineOf(lines, "missing"), "head abc");
    EXPECT_EQ(core::lineOf(lines, ""), "head abc");
    EXPECT_EQ(core::lineOf(lines, "one 2.34"), "song one 2.34Mmp3");
    EXPECT_EQ(core::lineOf({}, "x"), "");
}

class LineFileTest : public ::testing::Test {
protected:
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("corvale-core-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }
};

TEST_F(LineFileTest, WritesEveryLineWithCrLfAndReplacesOldFile)
{
    const auto path = dir / "a.txt";
    core::writeLines(path, {"old", "content", "longer than the new one"});
    core::writeLines(path, {"<HTML>", "", "</html>"});
    EXPECT_EQ(core::readFileBytes(path), "<HTML>\r\n\r\n</html>\r\n");
    core::writeLines(path, {});
    EXPECT_EQ(core::readFileBytes(path), "");
}

TEST_F(LineFileTest, FailuresNameThePath)
{
    const auto bad = dir / "no-such-folder" / "x.txt";
    try {
        core::writeLines(bad, {"x"});
        FAIL() << "no error";
    } catch (const core::FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + bad.string());
    }
    try {
        core::readLines(bad);
        FAIL() << "no error";
    } catch (const core::FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + bad.string());
    }
}

TEST(LineSplit, CrLfLoneCrLoneLfAndNoExtraLastLine)
{
    EXPECT_EQ(core::splitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(core::splitLines("a\r\n"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(core::splitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(core::splitLines("\n\n"), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(core::splitLines(" x \r"), (std::vector<std::string>{" x "}));
    EXPECT_TRUE(core::splitLines("").empty());
}

TEST(GbkPath, ChineseFileNamesBecomeUtf8Paths)
{
    EXPECT_EQ(core::gbkPath(core::utf8ToGbk("/tmp/音乐/歌.mp3")).string(), "/tmp/音乐/歌.mp3");
}

} // namespace
