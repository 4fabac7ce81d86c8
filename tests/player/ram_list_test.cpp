// The .ram reader: lines, comments, address kinds, and nested lists that are opened in place
// without ever looping.
#include "player/ram_list.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using player::AddressKind;
using player::RamItem;

TEST(RamList, TextGivesOneAddressPerLineWithoutBlanksAndComments)
{
    const auto entries = player::parseRamText("# made by hand\r\nhttp://h/a.rm\r\n\r\n"
                                              "   \t\n  rtsp://h/b.rm  \n#http://h/skipped.rm\n"
                                              "pnm://h/c.ra\rlocal.rm\n/abs/d.rm",
                                              "http://h/lists/x.ram?user=1");
    EXPECT_EQ(entries, (std::vector<std::string>{"http://h/a.rm", "rtsp://h/b.rm", "pnm://h/c.ra",
                                                 "http://h/lists/local.rm", "/abs/d.rm"}));
    EXPECT_TRUE(player::parseRamText("").empty());
    EXPECT_TRUE(player::parseRamText("\r\n# only a comment\r\n\r\n").empty());
}

TEST(RamList, AddressKindsAndListNames)
{
    EXPECT_EQ(player::addressKind("http://h/a.rm"), AddressKind::Http);
    EXPECT_EQ(player::addressKind(" HTTPS://h/a.wma"), AddressKind::Http);
    EXPECT_EQ(player::addressKind("file:///m/a.mp3"), AddressKind::LocalFile);
    EXPECT_EQ(player::addressKind("/m/a.mp3"), AddressKind::LocalFile);
    for (const char* s : {"rtsp://h/a.rm", "pnm://h/a.ra", "mms://h/a.wma", "MMSH://h/x"})
        EXPECT_EQ(player::addressKind(s), AddressKind::Streaming) << s;
    for (const char* s : {"gopher://h/a.mp3", "a.mp3", "", "c:\\music\\a.mp3", "://x"})
        EXPECT_EQ(player::addressKind(s), AddressKind::Unknown) << s;

    EXPECT_TRUE(player::namesRamList("http://h/a.RAM"));
    EXPECT_TRUE(player::namesRamList("http://h/a.ram?x=1.mp3"));
    EXPECT_FALSE(player::namesRamList("http://h/a.rm"));
    EXPECT_FALSE(player::namesRamList("http://h/list?f=a.ram"));
    EXPECT_FALSE(player::namesRamList(".ram"));
}

// Lists served from a map; counts what was read.
struct Lists {
    std::map<std::string, std::string> texts;
    std::vector<std::string> read;
    player::RamFetch fetch()
    {
        return [this](const std::string& address) -> std::optional<std::string> {
            read.push_back(address);
            const auto it = texts.find(address);
            if (it == texts.end())
                throw player::RamFetchError{"HTTP 404", "404"};
            if (it->second == "<binary>")
                return std::nullopt;
            return it->second;
        };
    }
};

TEST(RamList, NestedListsOpenInPlaceAndFailuresStayAtTheirPlace)
{
    Lists lists;
    lists.texts["http://h/top.ram"] = "http://h/1.rm\nhttp://h/inner.ram\nhttp://h/gone.ram\n"
                                      "http://h/empty.ram\nhttp://h/song.ram\nrtsp://h/4.rm\n";
    lists.texts["http://h/inner.ram"] = "# inner\nhttp://h/2.rm\nhttp://h/3.wma\n";
    lists.texts["http://h/empty.ram"] = "# nothing here\n\n";
    lists.texts["http://h/song.ram"] = "<binary>"; // media under a list's name
    const auto items = player::expandRamList("http://h/top.ram", lists.fetch());
    ASSERT_EQ(items.size(), 7u);
    EXPECT_EQ(items[0], (RamItem{"http://h/1.rm", "", ""}));
    EXPECT_EQ(items[1].address, "http://h/2.rm");
    EXPECT_EQ(items[2].address, "http://h/3.wma");
    EXPECT_EQ(items[3].address, "http://h/gone.ram");
    EXPECT_EQ(items[3].failure, "HTTP 404");
    EXPECT_EQ(items[3].userFailure, "404");
    EXPECT_EQ(items[4].address, "http://h/empty.ram");
    EXPECT_FALSE(items[4].failure.empty());
    EXPECT_EQ(items[5], (RamItem{"http://h/song.ram", "", ""}));
    EXPECT_EQ(items[6].address, "rtsp://h/4.rm"); // the engine tells it cannot be played here
    EXPECT_TRUE(items[6].failure.empty());
}

TEST(RamList, SelfReferenceLoopsAndDeepNestingAreRefusedNotFollowed)
{
    Lists lists;
    lists.texts["http://h/self.ram"] = "http://h/a.rm\nhttp://h/self.ram\nhttp://h/b.rm\n";
    auto items = player::expandRamList("http://h/self.ram", lists.fetch());
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1].address, "http://h/self.ram");
    EXPECT_EQ(items[1].userFailure, "播放列表指向自身");
    EXPECT_EQ(items[2].address, "http://h/b.rm");
    EXPECT_EQ(lists.read.size(), 1u);

    // Two lists naming each other.
    lists.texts["http://h/x.ram"] = "http://h/y.ram\n";
    lists.texts["http://h/y.ram"] = "http://h/x.ram\n";
    items = player::expandRamList("http://h/x.ram", lists.fetch());
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].address, "http://h/x.ram");
    EXPECT_FALSE(items[0].failure.empty());

    // A chain of ten lists: the fifth level is refused, nothing beyond it is read.
    for (int i = 0; i < 10; ++i)
        lists.texts["http://h/l" + std::to_string(i) + ".ram"] =
            "http://h/l" + std::to_string(i + 1) + ".ram\nhttp://h/s" + std::to_string(i) + ".rm";
    lists.read.clear();
    items = player::expandRamList("http://h/l0.ram", lists.fetch());
    EXPECT_EQ(static_cast<int>(lists.read.size()), player::kMaxRamDepth);
    ASSERT_EQ(items.size(), 1u + player::kMaxRamDepth);
    EXPECT_EQ(items[0].address, "http://h/l4.ram");
    EXPECT_EQ(items[0].userFailure, "播放列表嵌套过深");
    EXPECT_EQ(items[1].address, "http://h/s3.rm");
    EXPECT_EQ(items.back().address, "http://h/s0.rm");
}

TEST(RamList, AListThatFansOutStopsAtItsLimits)
{
    // Every list names two more, four levels deep, and a thousand songs each: bounded reads
    // and bounded entries.
    Lists lists;
    for (int level = 0; level < 4; ++level) {
        std::string text;
        for (int i = 0; i < 2; ++i)
            text += "http://h/n" + std::to_string(level + 1) + ".ram\n";
        for (int i = 0; i < 1000; ++i)
            text += "http://h/" + std::to_string(level) + "-" + std::to_string(i) + ".rm\n";
        lists.texts["http://h/n" + std::to_string(level) + ".ram"] = text;
    }
    const auto items = player::expandRamList("http://h/n0.ram", lists.fetch());
    EXPECT_LE(static_cast<int>(items.size()), player::kMaxRamItems);
    EXPECT_LE(static_cast<int>(lists.read.size()), player::kMaxRamFetches);
    EXPECT_FALSE(items.empty());
}

} // namespace
