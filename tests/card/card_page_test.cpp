#include "card/card_page.h"

#include "core/gbk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

std::string gbk(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

card::CardPageInput input(const std::string& type, Lines text)
{
    card::CardPageInput in;
    in.picture = "/opt/corvale/pic/0103.jpg";
    in.title = u"标题";
    in.address = "http://media.example/a.mp3";
    in.typeText = type;
    in.textLines = std::move(text);
    in.playerDownloadHost = "activex.microsoft.com";
    return in;
}

// The lines that browsers without the player object show in its place.
std::string audioLine(const std::string& address)
{
    return "<audio src=\"" + address + "\" controls autoplay loop></audio>";
}

std::string linkLine(const std::string& address)
{
    return "<a href=\"" + address + "\">" + gbk("点击收听") + "</a>";
}

Lines realPage(const std::string& picture, const std::string& title, const std::string& address,
               const Lines& textTail)
{
    Lines page{
        "<HTML>",
        "<body background=\"file:///" + picture + "\"> ",
        "",
        "<h2>" + title + "</h2>",
        "<OBJECT ID=RAOCX CLASSID=\"clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA\" HEIGHT=\"50\" "
        "WIDTH=\"300\">",
        "",
        "<param name=\"_ExtentX\" value=\"6350\">",
        "<param name=\"_ExtentY\" value=\"2646\">",
        "<param name=\"AUTOSTART\" value=\"-1\">",
        "<param name=\"SHUFFLE\" value=\"0\">",
        "<param name=\"PREFETCH\" value=\"0\">",
        "<param name=\"NOLABELS\" value=\"0\">",
        "<param name=\"SRC\" value=\"" + address + "\">",
        "<param name=\"CONTROLS\" value=\"ConrolPane\">",
        "<param name=\"CONSOLE\" value=\"one\">",
        "<param name=\"LOOP\" value=\"0\">",
        "<param name=\"NUMLOOP\" value=\"0\">",
        "<param name=\"CENTER\" value=\"1\">",
        "<param name=\"MAINTAINASPECT\" value=\"0\">",
        "<param name=\"BACKGROUNDCOLOR\" value=\"#000000\">",
        linkLine(address),
        "</OBJECT>",
        "<br>",
    };
    page.insert(page.end(), textTail.begin(), textTail.end());
    page.push_back("</body>");
    page.push_back("</html>");
    return page;
}

Lines mediaPage(const std::string& picture, const std::string& title, const std::string& address,
                const Lines& textTail, const std::string& fallback,
                const std::string& host = "activex.microsoft.com")
{
    Lines page{
        "<HTML>",
        "<body background=\"file:///" + picture + "\"> ",
        "",
        "<h2>" + title + "</h2>",
        "",
        "<OBJECT ID=\"WMPlay\" WIDTH=300 HEIGHT=50",
        "CLASSID=\"CLSID:22D6f312-B0F6-11D0-94AB-0080C74C7E95\"",
        "CODEBASE=\"http://" + host + "/activex/controls/mplayer/en/",
        "nsmp2inf.cab#Version=6,4,5,715\"",
        "STANDBY=\"Loading Microsoft? Windows Media? Player components...\"",
        "TYPE=\"application/x-oleobject\">",
        "<PARAM NAME=\"fileName\" VALUE=\"" + address + "\">",
        fallback,
        "</OBJECT>",
        "<br>",
    };
    page.insert(page.end(), textTail.begin(), textTail.end());
    page.push_back("</body>");
    page.push_back("</html>");
    return page;
}

const std::string kPic = "/opt/corvale/pic/0103.jpg";
const std::string kAddr = "http://media.example/a.mp3";

TEST(CardPageForm, RealPlayerTypesIgnoreCaseOfLetters)
{
    for (const char* t : {"rm", "Rm", "RM", "RAM", "ram", "rAm"})
        EXPECT_TRUE(card::usesRealPlayer(t)) << t;
    for (const char* t : {"mp3", "MP3", "wma", "asf", "", "RMVB", " RM", "R M"})
        EXPECT_FALSE(card::usesRealPlayer(t)) << t;
}

// Browsers without the player object show the line before </OBJECT> instead; it is the only
// line that differs from a card without it, and the page keeps its length.
TEST(CardPageFallback, OnlyTheLineBeforeTheObjectEndChanges)
{
    struct Case {
        const char* type;
        size_t line; // 0-based index of the line before </OBJECT>
        bool audio;
    };
    const Case cases[] = {{"mp3", 12, true},   {"MP3", 12, true},  {"Mp3", 12, true},
                          {"wma", 12, false},  {"ASF", 12, false}, {"", 12, false},
                          {"MP3 ", 12, false}, {"rm", 20, false},  {"RAM", 20, false}};
    const std::string address = "http://h/r?a=\"1\"&b=" + gbk("歌") + ".mp3";
    for (const Case& c : cases) {
        card::CardPageInput in = input(c.type, {gbk("内容"), "x"});
        in.address = address;
        const Lines page = card::cardPageLines(in);
        const Lines before =
            card::usesRealPlayer(c.type)
                ? realPage(kPic, gbk("标题"), address, {"<br>" + gbk("内容"), "<br>x"})
                : mediaPage(kPic, gbk("标题"), address, {gbk("内容"), "x"}, "");
        ASSERT_EQ(page.size(), before.size()) << c.type;
        EXPECT_EQ(page[c.line + 1], "</OBJECT>") << c.type;
        EXPECT_EQ(page[c.line], c.audio ? audioLine(address) : linkLine(address)) << c.type;
        for (size_t i = 0; i < page.size(); ++i)
            if (i != c.line) {
                EXPECT_EQ(page[i], before[i]) << c.type << " line " << i + 1;
            }
    }
}

TEST(CardPage, OneLineTextRealPlayerForm)
{
    const Lines page = card::cardPageLines(input("Rm", {gbk("内容")}));
    EXPECT_EQ(page, realPage(kPic, gbk("标题"), kAddr, {"<br>" + gbk("内容")}));
    ASSERT_EQ(page.size(), 26u);
    EXPECT_EQ(page[22], "<br>");
    EXPECT_EQ(page[23], "<br>" + gbk("内容"));
}

TEST(CardPage, OneLineTextWindowsMediaForm)
{
    const Lines page = card::cardPageLines(input("MP3", {gbk("内容")}));
    EXPECT_EQ(page, mediaPage(kPic, gbk("标题"), kAddr, {gbk("内容")}, audioLine(kAddr)));
    ASSERT_EQ(page.size(), 18u);
    EXPECT_EQ(page[14], "<br>");
    EXPECT_EQ(page[15], gbk("内容"));
}

TEST(CardPage, EmptyTextGivesNoTextLines)
{
    EXPECT_EQ(card::cardPageLines(input("RAM", {})).size(), 25u);
    EXPECT_EQ(card::cardPageLines(input("wma", {})).size(), 17u);
    // An empty box shows one empty line; it is not a line of the card.
    EXPECT_EQ(card::cardPageLines(input("rm", {""})), realPage(kPic, gbk("标题"), kAddr, {}));
    EXPECT_EQ(card::cardPageLines(input("", {""})),
              mediaPage(kPic, gbk("标题"), kAddr, {}, linkLine(kAddr)));
}

TEST(CardPage, OnlyTheLastEmptyLineIsDropped)
{
    const Lines text{"a", "", "b", ""};
    EXPECT_EQ(card::cardPageLines(input("ram", text)),
              realPage(kPic, gbk("标题"), kAddr, {"<br>a", "<br>", "<br>b"}));
    EXPECT_EQ(card::cardPageLines(input("asf", text)),
              mediaPage(kPic, gbk("标题"), kAddr, {"a", "", "b"}, linkLine(kAddr)));
    // Two empty lines at the end: the last is dropped, the one before it stays.
    EXPECT_EQ(card::cardPageLines(input("asf", {"a", "", ""})),
              mediaPage(kPic, gbk("标题"), kAddr, {"a", ""}, linkLine(kAddr)));
}

TEST(CardPage, PartsAreWrittenUnchangedAndUnescaped)
{
    card::CardPageInput in = input("RM", {"<h1>" + gbk("你好") + "</h1>", "x & y"});
    in.picture = gbk("/home/用户 甲/my pics/背景 1.jpg");
    in.address = "http://h/r?a=\"1\"&b=<2>";
    in.title = u"A&B <i>\"x\"</i>";
    EXPECT_EQ(card::cardPageLines(in), realPage(in.picture, "A&B <i>\"x\"</i>", in.address,
                                                {"<br><h1>" + gbk("你好") + "</h1>", "<br>x & y"}));
    // A Windows path keeps its backslashes after file:///.
    in.picture = "C:\\Program Files\\pic\\0103.jpg";
    in.typeText = "mp3";
    EXPECT_EQ(card::cardPageLines(in)[1],
              "<body background=\"file:///C:\\Program Files\\pic\\0103.jpg\"> ");
}

TEST(CardPage, TitleCharactersOutsideGbkBecomeQuestionMarks)
{
    card::CardPageInput in = input("mp3", {"t"});
    in.title = u"生日快乐\U0001F382 \u00e9\u0e01";
    // U+00E9 is in GBK; the cake and the Thai letter are not.
    EXPECT_EQ(card::cardPageLines(in)[3], "<h2>" + gbk("生日快乐? \u00e9?") + "</h2>");
}

TEST(CardPage, PlayerDownloadHostIsTheConfiguredOne)
{
    card::CardPageInput in = input("WMA", {"x"});
    in.playerDownloadHost = "127.0.0.1:8080";
    EXPECT_EQ(card::cardPageLines(in),
              mediaPage(kPic, gbk("标题"), kAddr, {"x"}, linkLine(kAddr), "127.0.0.1:8080"));
}

TEST(CardPage, WrappedTextLinesEachGetTheirOwnLine)
{
    // A long line that the box shows on three lines is three lines of the card.
    const Lines shown{gbk("第一行很长很长"), gbk("的续行"), gbk("末尾"), gbk("下一段")};
    const Lines page = card::cardPageLines(input("rm", shown));
    ASSERT_EQ(page.size(), 25u + 4u);
    EXPECT_EQ(page[23], "<br>" + gbk("第一行很长很长"));
    EXPECT_EQ(page[26], "<br>" + gbk("下一段"));
}

} // namespace
