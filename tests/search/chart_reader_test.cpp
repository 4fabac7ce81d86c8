// Chart and album pages read into short rows, and the addresses they are loaded from.
#include "core/gbk.h"
#include "search/chart_reader.h"

#include <gtest/gtest.h>

using search::PageLink;
using search::ServiceHosts;

namespace {

std::string g(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

const ServiceHosts realHosts{};
const std::string chartEntry = "http://www.baidu.com/m?rn=&tn=baidump3&ct=134217728&word=";
const std::string album = "http://mp3.baidu.com/m?tn=baidump3&ct=134217728&word=";

} // namespace

TEST(ChartAddresses, ChartsComeFromTheChartHostAndAlbumsFromTheFirstSearchRequest)
{
    EXPECT_EQ(search::chartAddress(realHosts, search::Chart::MaleSingers),
              "http://list.mp3.baidu.com/ngeshou.html");
    EXPECT_EQ(search::chartAddress(realHosts, search::Chart::FemaleSingers),
              "http://list.mp3.baidu.com/ygeshou.html");
    EXPECT_EQ(search::chartAddress(realHosts, search::Chart::Songs),
              "http://list.mp3.baidu.com/mp3.html");
    EXPECT_EQ(search::albumAddress(realHosts, "abc", 0),
              "http://mp3.baidu.com/m?tn=baidump3&ct=134217728&rn=&word=abc&lm=0");
    EXPECT_EQ(search::albumAddress(realHosts, "abc", -1),
              "http://mp3.baidu.com/m?tn=baidump3&ct=134217728&rn=&word=abc&lm=-1");
}

TEST(ChartRows, OneRowPerChartEntryNumberedFromOneWithTwoSubItemsAndImageZero)
{
    const std::vector<PageLink> links = {{"http://list.mp3.baidu.com/index.html", g("首页")},
                                         {chartEntry + "%C1%F5%B5%C2%BB%AA", g("刘德华")},
                                         {"http://www.baidu.com/s?wd=x", "x"},
                                         {chartEntry + "%D5%C5%D1%A7%D3%D1", g("张学友")},
                                         {chartEntry + "Beyond", "Beyond"}};
    const auto rows = search::readChartPage(links, 0, realHosts);
    ASSERT_EQ(rows.size(), 3u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].caption, std::to_string(i + 1));
        EXPECT_EQ(rows[i].imageIndex, 0);
        EXPECT_EQ(rows[i].subItems.size(), 2u);
    }
    EXPECT_EQ(rows[0].subItems[0], g("刘德华"));
    // The cut is the redirect prefix's length (27), not the chart prefix's.
    EXPECT_EQ(rows[0].subItems[1], chartEntry.substr(27) + "%C1%F5%B5%C2%BB%AA");
    EXPECT_EQ(rows[2].subItems[0], "Beyond");
}

TEST(ChartRows, NumberedOnFromTheRowsTheListStillHolds)
{
    const auto rows =
        search::readChartPage({{chartEntry + "a", "a"}, {chartEntry + "b", "b"}}, 7, realHosts);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].caption, "8");
    EXPECT_EQ(rows[1].caption, "9");
}

TEST(AlbumRows, OnlyAlbumLinksWithTheAlbumMarkCount)
{
    const std::vector<PageLink> links = {
        {"http://mp3.baidu.com/r?url=http://a/1.mp3", g("abc - 歌")},
        {album + "abc&f=al", g("abc 专辑一")},
        {album + "abc&lm=0", g("不是专辑")},
        {"http://mp3.baidu.com/m?lm=0&ct=134217728&tn=baidump3&word=abc&pn=30&ip=1&cl=3", "2"},
        {"http://other.host/m?tn=baidump3&ct=134217728&word=abc&f=al", g("别处")},
        {album + "abc%20x&f=al&x=1", g("abc 专辑二")}};
    const auto rows = search::readChartPage(links, 0, realHosts);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].subItems,
              (std::vector<std::string>{g("abc 专辑一"), album.substr(27) + "abc&f=al"}));
    EXPECT_EQ(rows[1].caption, "2");
    EXPECT_EQ(rows[1].subItems[0], g("abc 专辑二"));
}

TEST(MixedPages, ALinkOfBothKindsGivesTwoRowsAndKindsStayInLinkOrder)
{
    ServiceHosts mirror;
    mirror.pointAllAt("127.0.0.1:9");
    const std::string both =
        "http://127.0.0.1:9/m?rn=&tn=baidump3&ct=1&x=http://127.0.0.1:9/m?tn=baidump3&ct=134217728"
        "&word=z&f=al";
    const std::vector<PageLink> links = {
        {"http://127.0.0.1:9/m?tn=baidump3&ct=134217728&word=y&f=al", "album y"},
        {"http://127.0.0.1:9/m?rn=&tn=baidump3&ct=134217728&word=x", "entry x"},
        {both, "both"}};
    const auto rows = search::readChartPage(links, 0, mirror);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].subItems[0], "album y");
    EXPECT_EQ(rows[1].subItems[0], "entry x");
    EXPECT_EQ(rows[2].subItems[0], "both");
    EXPECT_EQ(rows[3].subItems[0], "both");
    EXPECT_EQ(rows[3].caption, "4");
    // With a mirror host the cut follows that host's redirect prefix length.
    EXPECT_EQ(rows[1].subItems[1], links[1].href.substr(mirror.redirectPrefix().size()));
}

TEST(ChartRows, PageWithoutMatchingLinksAddsNothing)
{
    EXPECT_TRUE(search::readChartPage({}, 3, realHosts).empty());
    EXPECT_TRUE(
        search::readChartPage({{"http://www.baidu.com/m?tn=baidump3", "x"}, {"", ""}}, 0, realHosts)
            .empty());
}
