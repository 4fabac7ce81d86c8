// Finding many texts in one pass (firstOccurrences, linesOf), checked against the plain search of
// one text at a time on hand-picked and random pages.
#include "core/first_occurrences.h"
#include "core/gbk.h"
#include "core/text_ops.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr size_t npos = std::string_view::npos;

std::vector<size_t> oneAtATime(std::string_view text, const std::vector<std::string_view>& needles)
{
    std::vector<size_t> out;
    for (std::string_view needle : needles)
        out.push_back(needle.empty() ? npos : text.find(needle));
    return out;
}

// The line of x as the page rule states it: join the lines, find x, take the line holding it.
std::string joinedLineOf(const std::vector<std::string>& lines, std::string_view x)
{
    if (lines.empty())
        return {};
    std::string text;
    std::vector<size_t> starts;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        starts.push_back(text.size());
        text += lines[i];
    }
    const size_t at = x.empty() ? npos : text.find(x);
    if (at == npos)
        return lines.front();
    size_t line = 0;
    while (line + 1 < starts.size() && starts[line + 1] <= at)
        ++line;
    return lines[line];
}

TEST(FirstOccurrences, NeedlesInsideOtherNeedlesAreFoundAtTheirOwnFirstPlace)
{
    // "b" and "ab" end inside "cab" and "abc"; "b" first occurs before any longer needle ends.
    const std::string text = "xabcabyy";
    const std::vector<std::string_view> needles{"abc", "ab", "b", "cab", "bca", "bcab", "y", "yy"};
    EXPECT_EQ(core::firstOccurrences(text, needles), oneAtATime(text, needles));
    EXPECT_EQ(core::firstOccurrences(text, needles), (std::vector<size_t>{1, 1, 2, 3, 2, 2, 6, 6}));
}

TEST(FirstOccurrences, EmptyAbsentRepeatedAndOverlongNeedles)
{
    const std::string text = "aaaa";
    const std::vector<std::string_view> needles{"", "aaaaa", "aa", "aa", "b", "aaaa", "a"};
    EXPECT_EQ(core::firstOccurrences(text, needles),
              (std::vector<size_t>{npos, npos, 0, 0, npos, 0, 0}));
    EXPECT_EQ(core::firstOccurrences("", needles), std::vector<size_t>(needles.size(), npos));
    EXPECT_TRUE(core::firstOccurrences(text, {}).empty());
}

TEST(FirstOccurrences, BytesAboveSeventyFAndNulBytesAreOrdinaryBytes)
{
    const std::string song = core::utf8ToGbk("第二首");
    const std::string last = core::utf8ToGbk("首");
    const std::string text = core::utf8ToGbk("第一首") + std::string("\0\xff", 2) + song;
    const std::vector<std::string_view> needles{song, std::string_view("\0\xff", 2), "\xff", last};
    EXPECT_EQ(core::firstOccurrences(text, needles), oneAtATime(text, needles));
}

TEST(FirstOccurrences, RandomTextsAgreeWithSearchingOneNeedleAtATime)
{
    std::mt19937 random(20240611);
    const std::string alphabet = std::string("ab\r\n\xb0", 5);
    auto randomText = [&](size_t length) {
        std::string s;
        for (size_t i = 0; i < length; ++i)
            s += alphabet[random() % alphabet.size()];
        return s;
    };
    for (int round = 0; round < 300; ++round) {
        const std::string text = randomText(random() % 200);
        std::vector<std::string> storage;
        for (int k = 0; k < 40; ++k) {
            if (!text.empty() && random() % 2 == 0) {
                const size_t from = random() % text.size();
                storage.push_back(text.substr(from, 1 + random() % 12)); // present
            } else {
                storage.push_back(randomText(random() % 9)); // mostly absent, sometimes empty
            }
        }
        const std::vector<std::string_view> needles(storage.begin(), storage.end());
        ASSERT_EQ(core::firstOccurrences(text, needles), oneAtATime(text, needles))
            << "round " << round;
    }
}

TEST(LinesOf, EachTextTakesTheLineOfItsFirstOccurrence)
{
    const std::vector<std::string> lines{"head abc", "", "song one 2.34Mmp3", "song two", "abc"};
    const std::vector<std::string_view> texts{"song two", "abc",   "missing", "",
                                              "2.34Mmp3", "c\r\n", "\nsong",  "two\r\nabc"};
    const std::vector<std::string_view> want{"song two", "head abc",          "head abc",
                                             "head abc", "song one 2.34Mmp3",
                                             "head abc",  // starts in the first line
                                             "",          // starts in a line break
                                             "song two"}; // runs into the next line
    EXPECT_EQ(core::linesOf(lines, texts), want);
    EXPECT_EQ(core::linesOf({}, texts), std::vector<std::string_view>(texts.size()));
}

TEST(LinesOf, RandomPagesAgreeWithJoiningThePageForEachText)
{
    std::mt19937 random(7);
    const std::string alphabet = "ab \r\n";
    for (int round = 0; round < 200; ++round) {
        std::vector<std::string> lines(random() % 8);
        for (std::string& line : lines)
            for (size_t n = random() % 10; n > 0; --n)
                line += alphabet[random() % alphabet.size()];
        std::vector<std::string> storage;
        for (int k = 0; k < 20; ++k) {
            std::string text;
            for (size_t n = random() % 6; n > 0; --n)
                text += alphabet[random() % alphabet.size()];
            storage.push_back(text);
        }
        const std::vector<std::string_view> texts(storage.begin(), storage.end());
        const std::vector<std::string_view> got = core::linesOf(lines, texts);
        ASSERT_EQ(got.size(), texts.size());
        for (size_t k = 0; k < texts.size(); ++k)
            ASSERT_EQ(got[k], joinedLineOf(lines, texts[k])) << "round " << round << ", text " << k;
    }
}

} // namespace
