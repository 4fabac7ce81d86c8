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

TEST(Gbk, EveryScriptSurvivesWhileGbkBytesStayAsTheyWere)
{
    struct Case {
        std::u16string text;
        std::string bytes; // as the program keeps them
    };
    const std::vector<Case> cases = {
        {u"百度", "\xB0\xD9\xB6\xC8"}, // GBK's double bytes, unchanged
        {u"ö", "\x81\x30\x8B\x32"},    // a letter GBK lacks: four bytes
        {u"Motörhead Niño", "Mot\x81\x30\x8B\x32rhead Ni\x81\x30\x8A\x39o"},
        {u"한국", "\x83\x36\x84\x33\x82\x37\xF4\x30"}, // Hangul
        {u"a\U0001F600b", "a\x94\x39\xFC\x36"
                          "b"}, // beyond the BMP
        {u"€", "\xA2\xE3"},     // GB18030's own euro sign
    };
    for (const Case& c : cases) {
        const std::string kept = core::utf16ToGbk(c.text);
        EXPECT_EQ(kept, c.bytes);
        EXPECT_EQ(core::gbkToUtf16(kept), c.text);
        EXPECT_EQ(core::utf8ToGbk(core::gbkToUtf8(kept)), kept);
    }
    EXPECT_EQ(core::utf8ToGbk("한x"), "\x83\x36\x84\x33x");
}

TEST(Gbk, OldEuroBytesReadAndBrokenSequencesBecomeReplacements)
{
    const std::vector<std::pair<std::string, std::u16string>> reads = {
        {"\x80"
         "5",
         u"€5"},                     // GBK's single-byte euro in kept lists and paths
        {"a\x80\x80", u"a€€"},       //
        {"\x81", u"\uFFFD"},         // a truncated double byte
        {"\x81\x30\x8B", u"\uFFFD"}, // a truncated four-byte character
        {"\xFF"
         "a",
         u"\uFFFDa"},
    };
    for (const auto& [bytes, text] : reads) {
        EXPECT_EQ(core::gbkToUtf16(bytes), text) << bytes;
        EXPECT_EQ(core::utf8ToGbk(core::gbkToUtf8(bytes)), core::utf16ToGbk(text)) << bytes;
    }
    EXPECT_EQ(core::utf16ToGbk(u"a\xD800"
                               "b"),
              "a?b"); // an unpaired surrogate
}

TEST(Gbk, GbkOnlyTextKeepsQuestionMarksForWhatGbkLacks)
{
    EXPECT_EQ(core::utf16ToGbkOnly(u"a\U0001F600b"), "a?b"); // a surrogate pair is one character
    EXPECT_EQ(core::utf16ToGbkOnly(u"x\u0E01y"), "x?y");     // Thai is not in GBK
    EXPECT_EQ(core::utf16ToGbkOnly(u"생일 ö 快乐"), "?? ? \xBF\xEC\xC0\xD6");
}

TEST(Gbk, ByteCutsNeverSplitAFourByteCharacter)
{
    const std::string text = core::utf8ToGbk("1ö2百3"); // 31 | 81 30 8B 32 | 32 | B0 D9 | 33
    ASSERT_EQ(text.size(), 9u);
    const std::vector<bool> inside = {false, false, true, true, true, false, false, false, false};
    for (std::size_t i = 0; i < text.size(); ++i)
        EXPECT_EQ(core::insideFourByteCharacter(text, i), inside[i]) << i;
    const std::vector<std::pair<std::size_t, std::size_t>> lengths = {{0, 1}, {1, 4}, {5, 1},
                                                                      {6, 2}, {8, 1}, {9, 1}};
    for (const auto& [at, length] : lengths)
        EXPECT_EQ(core::characterLength(text, at), length) << at;
    EXPECT_EQ(core::characterLength("\x81\x30\x8B", 0), 1u); // cut off: no character
    const std::vector<std::pair<long, std::string>> last = {{0, ""},
                                                            {3, core::utf8ToGbk("百3")},
                                                            {5, core::utf8ToGbk("2百3")},
                                                            {6, core::utf8ToGbk("2百3")},
                                                            {7, core::utf8ToGbk("2百3")},
                                                            {8, core::utf8ToGbk("ö2百3")},
                                                            {20, text}};
    for (const auto& [n, tail] : last)
        EXPECT_EQ(core::lastNWhole(text, n), tail) << n;
    const std::vector<std::pair<std::size_t, std::string>> first = {{0, ""},
                                                                    {1, "1"},
                                                                    {2, "1"},
                                                                    {4, "1"},
                                                                    {5, core::utf8ToGbk("1ö")},
                                                                    {7, core::utf8ToGbk("1ö2")},
                                                                    {8, core::utf8ToGbk("1ö2百")},
                                                                    {20, text}};
    for (const auto& [n, head] : first)
        EXPECT_EQ(core::firstNWhole(text, n), head) << n;
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
    EXPECT_EQ(core::gbkPath(core::utf8ToGbk("/tmp/Motörhead 한.mp3")).string(),
              "/tmp/Motörhead 한.mp3");
    EXPECT_EQ(core::gbkPath("/tmp/\x80 5.mp3").string(), "/tmp/€ 5.mp3"); // a path kept by GBK
}

} // namespace
