// The result-page parser and the paging that follows it, on GBK pages built here.
#include "core/gbk.h"
#include "search/result_page_parser.h"

#include <gtest/gtest.h>

#include <random>

using search::PageLink;
using search::ResultPage;
using search::SearchState;
using search::ServiceHosts;
using search::SizeAndType;

namespace {

std::string g(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

const ServiceHosts realHosts{};

std::string redirect(const std::string& target, const ServiceHosts& hosts = realHosts)
{
    return hosts.redirectPrefix() + target;
}

std::string pagingLink(const std::string& ip, const ServiceHosts& hosts = realHosts)
{
    return "http://" + hosts.search + "/m?lm=0&ct=134217728&tn=baidump3&word=abc&pn=30&ip=" + ip +
           "&cl=3";
}

// A page the way the service writes one: the total line, one line per result, paging links.
ResultPage typicalPage()
{
    ResultPage page;
    page.lines = {g("MP3搜索  abc"), g("百度为您找到相关结果约1,234篇"),
                  g("1  abc - 第一首  歌词  2.34Mmp3"), g("2  abc - 第二首  歌词  1234Kwma"),
                  g("3  abc - 第三首  歌词  3.21Krm")};
    page.links = {{"http://mp3.baidu.com/", g("首页")},
                  {redirect("http://a.example/1.mp3"), g("abc - 第一首")},
                  {redirect("http://a.example/2.wma"), g("abc - 第二首")},
                  {redirect("http://a.example/3.rm"), g("abc - 第三首")},
                  {pagingLink("61.1.2.3"), "2"}};
    page.labelCaption = search::initialLabel();
    page.windowCaption = "Corvale";
    page.state.resultPageNumber = 1;
    page.words = "abc";
    page.mediaType = 0;
    return page;
}

} // namespace

TEST(PageConstants, RedirectPrefixOfTheServiceHostIsTwentySevenCharacters)
{
    EXPECT_EQ(realHosts.redirectPrefix().size(), 27u);
    EXPECT_EQ(search::totalMarker().size(), 20u);
}

// ---- size and type from the end of a line --------------------------------------------------

TEST(SizeAndTypeRule, FourCharacterNumberUnitAndThreeLetterType)
{
    EXPECT_EQ(search::sizeAndTypeOf("abc 2.34Mwma"), (SizeAndType{"2.3M", "wma"}));
    EXPECT_EQ(search::sizeAndTypeOf("abc 1234Kmp3"), (SizeAndType{"123K", "mp3"}));
    EXPECT_EQ(search::sizeAndTypeOf(g("刘德华 - 忘情水 9.99Masf")), (SizeAndType{"9.9M", "asf"}));
    EXPECT_EQ(search::sizeAndTypeOf("x 12.3Mram"), (SizeAndType{"12.M", "ram"}));
    // A four-byte character before the size gives none of its bytes (its digits least of all).
    EXPECT_EQ(search::sizeAndTypeOf(g("ö 1Mmp3")), (SizeAndType{" 1M"
                                                                "M",
                                                                "mp3"}));
    EXPECT_EQ(search::sizeAndTypeOf(g("piñ2.1Krm")), (SizeAndType{"2.1K", "rm"})); // ñ ends in '9'
}

TEST(SizeAndTypeRule, RealMediaTailsGiveTwoLetterTypeAndSizeFromSevenBytes)
{
    EXPECT_EQ(search::sizeAndTypeOf("abc 3.21Krm"), (SizeAndType{"3.2K", "rm"}));
    EXPECT_EQ(search::sizeAndTypeOf("abc 2.34Mrm"), (SizeAndType{"2.3M", "rm"}));
    // A short RealMedia line: the last 7 bytes are the whole line.
    EXPECT_EQ(search::sizeAndTypeOf("1Mrm"), (SizeAndType{"1Mr"
                                                          "M",
                                                          "rm"}));
}

TEST(SizeAndTypeRule, LineIsTrimmedOfSpacesAndControlBytesFirst)
{
    EXPECT_EQ(search::sizeAndTypeOf(" \t abc 2.34Mmp3 \t\r "), (SizeAndType{"2.3M", "mp3"}));
}

TEST(SizeAndTypeRule, KWinsWhenBothUnitsOccurInTheLastEightBytes)
{
    EXPECT_EQ(search::sizeAndTypeOf("xx M2.3Kmp3"), (SizeAndType{"M2.K", "mp3"}));
    EXPECT_EQ(search::sizeAndTypeOf("xx K2.3Mmp3"), (SizeAndType{"K2.K", "mp3"}));
}

TEST(SizeAndTypeRule, NoUnitInTheLastEightBytesGivesEmptySize)
{
    EXPECT_EQ(search::sizeAndTypeOf("M sizes unknown mp3"), (SizeAndType{"", "mp3"}));
    EXPECT_EQ(search::sizeAndTypeOf("2.34 mp3"), (SizeAndType{"", "mp3"}));
    EXPECT_EQ(search::sizeAndTypeOf(""), (SizeAndType{"", ""}));
    EXPECT_EQ(search::sizeAndTypeOf("   "), (SizeAndType{"", ""}));
    EXPECT_EQ(search::sizeAndTypeOf("wm"), (SizeAndType{"", "wm"}));
}

// ---- the total label -----------------------------------------------------------------------

TEST(TotalLabel, WrittenFromTheMarkerLineOnTheFirstParse)
{
    ResultPage page = typicalPage();
    const auto out = search::parseResultPage(page, realHosts);
    EXPECT_EQ(out.labelCaption, g(" 搜索结果  约1,234"));
}

TEST(TotalLabel, LeftAloneOnceItNoLongerShowsTheInitialCaption)
{
    ResultPage page = typicalPage();
    page.labelCaption = g(" 搜索结果  约99");
    page.lines[1] = g("百度为您找到相关结果约5篇");
    EXPECT_EQ(search::parseResultPage(page, realHosts).labelCaption, g(" 搜索结果  约99"));
}

TEST(TotalLabel, MissingMarkerOrEndMarkStillWritesTheLabel)
{
    ResultPage page = typicalPage();
    page.lines = {g("没有总数的一行"), g("1  abc - 第一首  2.34Mmp3")};
    EXPECT_EQ(search::parseResultPage(page, realHosts).labelCaption, g(" 搜索结果  "));

    page.lines = {g("百度为您找到相关结果约1,234"), g("1  abc - 第一首  2.34Mmp3")};
    EXPECT_EQ(search::parseResultPage(page, realHosts).labelCaption, g(" 搜索结果  "));

    page.lines = {};
    EXPECT_EQ(search::parseResultPage(page, realHosts).labelCaption, g(" 搜索结果  "));
}

TEST(TotalLabel, TotalStartsAtByteTwentyOneOfTheMarkerLine)
{
    // The marker in the middle of its line: the count still starts at byte 21 of the line.
    std::vector<std::string> lines = {"x", "0123456789" + search::totalMarker() + g("约7篇")};
    EXPECT_EQ(search::totalOf(lines), search::totalMarker().substr(10) + g("约7"));
    lines = {g("百度为您找到相关结果篇")};
    EXPECT_EQ(search::totalOf(lines), "");
}

// ---- client address and window caption -----------------------------------------------------

TEST(ClientAddress, LearntFromTheFirstPagingLinkThatCarriesIt)
{
    EXPECT_EQ(search::clientAddressOf(pagingLink("61.1.2.3"), realHosts), "61.1.2.3");
    // Not a paging link of the search host.
    EXPECT_EQ(search::clientAddressOf("http://other.host/m?lm=0&ip=1.1.1.1&cl=3", realHosts), "");
    // A paging link without "&cl=" gives nothing.
    EXPECT_EQ(search::clientAddressOf("http://mp3.baidu.com/m?lm=0&ip=1.1.1.1", realHosts), "");
    // "&cl=" before "&ip=" gives nothing either.
    EXPECT_EQ(search::clientAddressOf("http://mp3.baidu.com/m?lm=0&cl=3&ip=1.1.1.1", realHosts),
              "");

    ResultPage page = typicalPage();
    page.links.insert(page.links.begin(),
                      {"http://mp3.baidu.com/m?lm=0&ct=1&word=abc&pn=30&ip=9.9.9.9", "2"});
    page.links.push_back({pagingLink("62.0.0.1"), "3"});
    EXPECT_EQ(search::parseResultPage(page, realHosts).state.clientAddress, "61.1.2.3");
}

TEST(ClientAddress, OnceLearntItStaysForTheRun)
{
    ResultPage page = typicalPage();
    page.state.clientAddress = "10.0.0.7";
    EXPECT_EQ(search::parseResultPage(page, realHosts).state.clientAddress, "10.0.0.7");
}

TEST(WindowCaption, AddressAddedOnceWithItsExactSpacing)
{
    ResultPage page = typicalPage();
    auto out = search::parseResultPage(page, realHosts);
    EXPECT_EQ(out.windowCaption, "Corvale" + g("   本机ip为:  61.1.2.3"));

    page.windowCaption = out.windowCaption;
    page.state.clientAddress = "";
    page.links.back() = {pagingLink("62.9.9.9"), "2"};
    out = search::parseResultPage(page, realHosts);
    EXPECT_EQ(out.windowCaption, "Corvale" + g("   本机ip为:  61.1.2.3"));
    EXPECT_EQ(out.state.clientAddress, "62.9.9.9");
}

TEST(WindowCaption, UnchangedWhileNoAddressIsKnown)
{
    ResultPage page = typicalPage();
    page.links.pop_back();
    EXPECT_EQ(search::parseResultPage(page, realHosts).windowCaption, "Corvale");
}

// ---- rows ----------------------------------------------------------------------------------

TEST(ResultRows, OneRowPerRedirectLinkWithNameAddressSizeAndType)
{
    ResultPage page = typicalPage();
    page.rowImage = 2;
    const auto out = search::parseResultPage(page, realHosts);
    ASSERT_EQ(out.rows.size(), 3u);
    EXPECT_EQ(out.rows[0].caption, "1");
    EXPECT_EQ(out.rows[0].imageIndex, 2);
    EXPECT_EQ(
        out.rows[0].subItems,
        (std::vector<std::string>{g("abc - 第一首"), "http://a.example/1.mp3", "2.3M", "mp3"}));
    EXPECT_EQ(out.rows[1].subItems[2], "123K");
    EXPECT_EQ(out.rows[1].subItems[3], "wma");
    EXPECT_EQ(out.rows[2].caption, "3");
    EXPECT_EQ(out.rows[2].subItems[2], "3.2K");
    EXPECT_EQ(out.rows[2].subItems[3], "rm");
    EXPECT_EQ(out.state.resultRowCount, 3);
}

TEST(ResultRows, NumberingContinuesFromTheRowsOfEarlierPages)
{
    ResultPage page = typicalPage();
    page.state.resultRowCount = 30;
    page.listRowCount = 30;
    const auto out = search::parseResultPage(page, realHosts);
    ASSERT_EQ(out.rows.size(), 3u);
    EXPECT_EQ(out.rows[0].caption, "31");
    EXPECT_EQ(out.rows[2].caption, "33");
    EXPECT_EQ(out.state.resultRowCount, 33);
}

TEST(ResultRows, AddressIsTheTargetWithoutThePrefixLengthUnchangedAndNotDecoded)
{
    ServiceHosts mirror;
    mirror.pointAllAt("127.0.0.1:8080");
    const std::string target = "http://127.0.0.1:8080/media/a%20b.mp3?x=1&y=%E4";
    EXPECT_EQ(search::withoutRedirectPrefix(redirect(target, mirror), mirror), target);
    // The cut is by length: a target that merely contains the prefix loses its first characters.
    EXPECT_EQ(search::withoutRedirectPrefix("XX" + realHosts.redirectPrefix() + "abc", realHosts),
              "l=abc");
    // A target no longer than the prefix gives an empty address.
    EXPECT_EQ(search::withoutRedirectPrefix(realHosts.redirectPrefix(), realHosts), "");
    EXPECT_EQ(search::withoutRedirectPrefix("http://x", realHosts), "");
}

TEST(ResultRows, LinksThatAreNotRedirectsAreSkipped)
{
    ResultPage page = typicalPage();
    page.links = {{"http://mp3.baidu.com/m?tn=baidump3&ct=134217728&word=abc&f=al", "album"},
                  {"http://www.baidu.com/m?rn=&tn=baidump3&ct=1&word=x", "chart"},
                  {"http://mp3.baidu.com/R?URL=http://x/1.mp3", "upper case"}};
    const auto out = search::parseResultPage(page, realHosts);
    EXPECT_TRUE(out.rows.empty());
}

TEST(LineOfALinkText, SameTextTwiceTakesTheFirstLine)
{
    ResultPage page = typicalPage();
    page.lines = {g("百度为您找到相关结果约2篇"), g("1  abc - 同名  1.11Mmp3"),
                  g("2  abc - 同名  2.22Kwma")};
    page.links = {{redirect("http://a/1.mp3"), g("abc - 同名")},
                  {redirect("http://a/2.wma"), g("abc - 同名")}};
    const auto out = search::parseResultPage(page, realHosts);
    ASSERT_EQ(out.rows.size(), 2u);
    EXPECT_EQ(out.rows[1].subItems[2], "1.1M");
    EXPECT_EQ(out.rows[1].subItems[3], "mp3");
    EXPECT_EQ(out.rows[1].subItems[1], "http://a/2.wma");
}

TEST(LineOfALinkText, TextThatOccursEarlierTakesThatEarlierLine)
{
    ResultPage page = typicalPage();
    page.lines = {g("搜索 abc 的结果  0.50Kasf"), g("1  abc  2.34Mmp3")};
    page.links = {{redirect("http://a/1.mp3"), "abc"}};
    const auto out = search::parseResultPage(page, realHosts);
    ASSERT_EQ(out.rows.size(), 1u);
    EXPECT_EQ(out.rows[0].subItems[2], "0.5K");
    EXPECT_EQ(out.rows[0].subItems[3], "asf");
}

TEST(LineOfALinkText, EmptyOrAbsentTextTakesTheFirstLine)
{
    ResultPage page = typicalPage();
    page.lines = {"head 4.56Mram", g("1  abc - 第一首  2.34Mmp3")};
    page.links = {{redirect("http://a/1.mp3"), ""}, {redirect("http://a/2.mp3"), "not there"}};
    const auto out = search::parseResultPage(page, realHosts);
    ASSERT_EQ(out.rows.size(), 2u);
    for (const auto& row : out.rows) {
        EXPECT_EQ(row.subItems[2], "4.5M");
        EXPECT_EQ(row.subItems[3], "ram");
    }
    EXPECT_EQ(out.rows[0].subItems[0], "");
}

// ---- paging --------------------------------------------------------------------------------

TEST(Paging, FirstFollowUpAsksForOffsetSixtyWithTheClientAddress)
{
    ResultPage page = typicalPage();
    const auto out = search::parseResultPage(page, realHosts);
    EXPECT_TRUE(out.requestNext);
    EXPECT_EQ(out.state.resultPageNumber, 2);
    ASSERT_TRUE(out.nextAddress);
    EXPECT_EQ(*out.nextAddress, "http://mp3.baidu.com/m?lm=0&ct=134217728&tn=baidump3&word=abc"
                                "&pn=60&ip=61.1.2.3&cl=3&z=0");
}

TEST(Paging, FollowUpCarriesTypeCodeAndWordsAsTyped)
{
    const std::string words = g("刘德华 忘情水");
    EXPECT_EQ(*search::nextPageAddress(realHosts, 2, words, 3, ""),
              "http://mp3.baidu.com/m?lm=2&ct=134217728&tn=baidump3&word=" + words +
                  "&pn=90&ip=&cl=3&z=0");
    EXPECT_EQ(*search::nextPageAddress(realHosts, -1, "a", 2, "1.2.3.4"),
              "http://mp3.baidu.com/m?lm=-1&ct=134217728&tn=baidump3&word=a&pn=60&ip=1.2.3.4"
              "&cl=3&z=0");
    EXPECT_EQ(*search::nextPageAddress(realHosts, 7, "a", 2, ""),
              "http://mp3.baidu.com/m?lm=-1&ct=134217728&tn=baidump3&word=a&pn=60&ip=&cl=3&z=0");
}

TEST(Paging, SixteenPagesAtMostWithOffsetsSixtyToFourHundredEighty)
{
    SearchState state;
    state.resultPageNumber = 1;
    std::vector<std::string> offsets;
    int pages = 0;
    for (int guard = 0; guard < 40; ++guard) {
        ResultPage page = typicalPage();
        page.state = state;
        page.listRowCount = state.resultRowCount;
        page.labelCaption = "x";
        const auto out = search::parseResultPage(page, realHosts);
        ++pages;
        state = out.state;
        ASSERT_TRUE(out.requestNext);
        if (!out.nextAddress)
            break;
        const std::string& a = *out.nextAddress;
        const size_t pn = a.find("&pn=");
        offsets.push_back(a.substr(pn + 4, a.find('&', pn + 1) - pn - 4));
    }
    EXPECT_EQ(pages, 16);
    EXPECT_EQ(state.resultPageNumber, 17);
    EXPECT_EQ(state.resultRowCount, 48);
    ASSERT_EQ(offsets.size(), 15u);
    EXPECT_EQ(offsets.front(), "60");
    EXPECT_EQ(offsets[1], "90");
    EXPECT_EQ(offsets.back(), "480");
    EXPECT_FALSE(search::nextPageAddress(realHosts, 0, "a", 17, ""));
    EXPECT_TRUE(search::nextPageAddress(realHosts, 0, "a", 16, ""));
}

TEST(Paging, PageWithoutRowsEndsTheChainAndPutsThePageNumberBackToTwo)
{
    ResultPage page = typicalPage();
    page.state.resultPageNumber = 7;
    page.state.resultRowCount = 180;
    page.listRowCount = 180;
    page.links = {{pagingLink("1.1.1.1"), "next"}};
    const auto out = search::parseResultPage(page, realHosts);
    EXPECT_TRUE(out.rows.empty());
    EXPECT_FALSE(out.requestNext);
    EXPECT_FALSE(out.nextAddress);
    EXPECT_EQ(out.state.resultPageNumber, 2);
    EXPECT_EQ(out.state.resultRowCount, 180);
}

TEST(Paging, StopFlagKeepsThisPagesRowsAndRequestsNothingMore)
{
    ResultPage page = typicalPage();
    page.state.resultPageNumber = 4;
    page.state.searchStopped = -1;
    const auto out = search::parseResultPage(page, realHosts);
    EXPECT_EQ(out.rows.size(), 3u);
    EXPECT_FALSE(out.requestNext);
    EXPECT_FALSE(out.nextAddress);
    EXPECT_EQ(out.state.resultPageNumber, 4);
    EXPECT_EQ(out.state.searchStopped, -1);
}

TEST(Paging, AddedRowsAreMeasuredAgainstTheRowsTheListHeld)
{
    // The list holds more rows than this search counted (chart rows appended meanwhile): a page
    // whose rows do not lift the count above the list's size ends the chain.
    ResultPage page = typicalPage();
    page.state.resultRowCount = 0;
    page.listRowCount = 10;
    const auto out = search::parseResultPage(page, realHosts);
    EXPECT_EQ(out.rows.size(), 3u);
    EXPECT_FALSE(out.requestNext);
    EXPECT_EQ(out.state.resultPageNumber, 2);
}

// ---- random and truncated pages ------------------------------------------------------------

namespace {

std::string randomBytes(std::mt19937& rng, size_t maxLength)
{
    static const std::vector<std::string> pieces = {g("百度为您找到相关结果"),
                                                    g("篇"),
                                                    g("约"),
                                                    g("刘德华"),
                                                    "M",
                                                    "K",
                                                    "rm",
                                                    "mp3",
                                                    "Mrm",
                                                    "Krm",
                                                    "2.34",
                                                    "&ip=",
                                                    "&cl=",
                                                    "http://mp3.baidu.com/m?lm=",
                                                    " ",
                                                    "\t",
                                                    "http://mp3.baidu.com/r?url=",
                                                    "1.2.3.4",
                                                    "\xB0",
                                                    "\x81",
                                                    "\xFE"};
    std::string out;
    std::uniform_int_distribution<size_t> count(0, maxLength);
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    const size_t n = count(rng);
    for (size_t i = 0; i < n; ++i) {
        if (rng() % 3 == 0)
            out += static_cast<char>(byte(rng));
        else
            out += pieces[pick(rng)];
    }
    return out;
}

// Cuts a text at a random byte, possibly inside a double-byte character.
std::string truncated(std::mt19937& rng, const std::string& text)
{
    if (text.empty())
        return text;
    return text.substr(0, std::uniform_int_distribution<size_t>(0, text.size())(rng));
}

} // namespace

TEST(RandomPages, NeverCrashAndAlwaysGiveWellFormedRows)
{
    std::mt19937 rng(20240611);
    for (int round = 0; round < 3000; ++round) {
        ResultPage page;
        const size_t lineCount = rng() % 8;
        for (size_t i = 0; i < lineCount; ++i)
            page.lines.push_back(truncated(rng, randomBytes(rng, 12)));
        const size_t linkCount = rng() % 8;
        for (size_t i = 0; i < linkCount; ++i) {
            std::string href = rng() % 2 ? redirect(randomBytes(rng, 4)) : randomBytes(rng, 6);
            std::string text = page.lines.empty() || rng() % 3 == 0
                                   ? randomBytes(rng, 3)
                                   : truncated(rng, page.lines[rng() % page.lines.size()]);
            page.links.push_back({truncated(rng, href), text});
        }
        page.labelCaption = rng() % 2 ? search::initialLabel() : "done";
        page.windowCaption = truncated(rng, randomBytes(rng, 4));
        page.state.resultRowCount = static_cast<int>(rng() % 100);
        page.state.resultPageNumber = static_cast<int>(rng() % 20);
        page.state.searchStopped = rng() % 4 == 0 ? -1 : 0;
        page.listRowCount = page.state.resultRowCount;
        page.words = truncated(rng, randomBytes(rng, 3));
        page.mediaType = static_cast<int>(rng() % 7) - 1;
        page.rowImage = static_cast<int>(rng() % 6);

        const auto out = search::parseResultPage(page, realHosts);
        size_t redirects = 0;
        for (const auto& link : page.links)
            redirects += link.href.find(realHosts.redirectPrefix()) != std::string::npos;
        ASSERT_EQ(out.rows.size(), redirects);
        ASSERT_EQ(out.state.resultRowCount,
                  page.state.resultRowCount + static_cast<int>(out.rows.size()));
        for (size_t i = 0; i < out.rows.size(); ++i) {
            const auto& row = out.rows[i];
            ASSERT_EQ(row.caption, std::to_string(page.state.resultRowCount + 1 + int(i)));
            ASSERT_EQ(row.imageIndex, page.rowImage);
            ASSERT_EQ(row.subItems.size(), 4u);
            const std::string& size = row.subItems[2];
            ASSERT_TRUE(size.empty() ||
                        (size.size() <= 4 && (size.back() == 'M' || size.back() == 'K')))
                << size;
            ASSERT_LE(row.subItems[3].size(), 3u);
        }
        if (out.requestNext) {
            ASSERT_FALSE(out.rows.empty());
            ASSERT_EQ(out.state.resultPageNumber, page.state.resultPageNumber + 1);
            ASSERT_EQ(out.nextAddress.has_value(), out.state.resultPageNumber * 30 <= 500);
        } else if (out.rows.empty()) {
            ASSERT_EQ(out.state.resultPageNumber, 2);
        }
        if (page.labelCaption == search::initialLabel())
            ASSERT_EQ(out.labelCaption.rfind(g(" 搜索结果  "), 0), 0u);
        else
            ASSERT_EQ(out.labelCaption, page.labelCaption);
        // Whatever bytes came in, the texts convert for display without trouble.
        for (const auto& row : out.rows)
            for (const auto& cell : row.subItems)
                (void)core::gbkToUtf16(cell);
    }
}
