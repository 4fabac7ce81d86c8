#include "download/download_list.h"

#include "core/gbk.h"

#include <gtest/gtest.h>

using core::SongEntry;
using download::ChooserOutcome;
using download::confirmChooser;
using download::downloadRowFor;
using download::downloadRowsFor;

namespace {

SongEntry resultRow(const std::string& number, const std::string& name, const std::string& type,
                    int image = 0)
{
    return SongEntry{number, image, {name, "http://media.example/" + name, "2.3M", type}};
}

SongEntry chartRow(const std::string& number, const std::string& name)
{
    return SongEntry{number, 0, {name, "list/" + name + ".html"}};
}

} // namespace

TEST(DownloadRows, ResultRowIsCopiedWithSavePathUnderTheFolder)
{
    const auto row = downloadRowFor(resultRow("7", "abc", "mp3", 2), "/d/mp3/");
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->caption, "7");
    EXPECT_EQ(row->imageIndex, 2);
    ASSERT_EQ(row->subItems.size(), 5u);
    EXPECT_EQ(row->sub(core::SubItem::Name), "abc");
    EXPECT_EQ(row->sub(core::SubItem::Address), "http://media.example/abc");
    EXPECT_EQ(row->sub(core::SubItem::SizeText), "2.3M");
    EXPECT_EQ(row->sub(core::SubItem::TypeText), "mp3");
    EXPECT_EQ(row->sub(core::SubItem::SavePath), "/d/mp3/abc.mp3");

    // GBK names pass through byte for byte; nothing in the name is replaced.
    const std::string name = core::utf8ToGbk("刘德华 - 忘情水?");
    const auto chinese = downloadRowFor(resultRow("1", name, "wma"), "/music/");
    ASSERT_TRUE(chinese.has_value());
    EXPECT_EQ(chinese->sub(core::SubItem::SavePath), "/music/" + name + ".wma");
}

TEST(DownloadRows, ChartRowsAreLeftOutAndTheRestKeepTheirOrder)
{
    EXPECT_FALSE(downloadRowFor(chartRow("1", "singer"), "/m/").has_value());
    EXPECT_FALSE(downloadRowFor(SongEntry{"2", 0, {}}, "/m/").has_value());

    const std::vector<SongEntry> selected = {chartRow("1", "singer"), resultRow("2", "b", "rm"),
                                             chartRow("3", "album"), resultRow("4", "a", "mp3")};
    const auto rows = downloadRowsFor(selected, "/m/");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].caption, "2");
    EXPECT_EQ(rows[0].sub(core::SubItem::SavePath), "/m/b.rm");
    EXPECT_EQ(rows[1].caption, "4");
    EXPECT_EQ(rows[1].sub(core::SubItem::SavePath), "/m/a.mp3");

    EXPECT_TRUE(downloadRowsFor({}, "/m/").empty());
}

TEST(DownloadRows, DuplicatesAndShortRowsStillGetTheSavePathInItsColumn)
{
    const SongEntry song = resultRow("5", "same", "mp3");
    const auto rows = downloadRowsFor({song, song}, "/m/");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], rows[1]);

    // A row without a type text keeps the save path as its fifth sub-item, where the transfer
    // engine reads it; its file name ends without a dot.
    const auto shortRow = downloadRowFor(SongEntry{"9", 1, {"x", "http://h/x", "1M"}}, "/m/");
    ASSERT_TRUE(shortRow.has_value());
    ASSERT_EQ(shortRow->subItems.size(), 5u);
    EXPECT_EQ(shortRow->sub(core::SubItem::TypeText), "");
    EXPECT_EQ(shortRow->sub(core::SubItem::SavePath), "/m/x");
}

TEST(FolderChooser, DefaultModeSetsTheFolderWithASeparatorAppended)
{
    const std::vector<std::pair<int, SongEntry>> selected = {{0, resultRow("1", "a", "mp3")}};

    ChooserOutcome outcome = confirmChooser(false, "/prog/music/", "/e/music", selected);
    EXPECT_EQ(outcome.saveFolder, "/e/music/");
    EXPECT_FALSE(outcome.rewriteMode);
    EXPECT_TRUE(outcome.newSavePaths.empty()); // selected rows are not touched in this mode

    EXPECT_EQ(confirmChooser(false, "/prog/music/", "/e/", {}).saveFolder, "/e//");
    EXPECT_EQ(confirmChooser(false, "/prog/music/", "/", {}).saveFolder, "//");
    EXPECT_EQ(confirmChooser(false, "/prog/music/", "", {}).saveFolder, "/prog/music/");

    const std::string gbkFolder = core::utf8ToGbk("/home/音乐");
    EXPECT_EQ(confirmChooser(false, "/prog/music/", gbkFolder, {}).saveFolder, gbkFolder + "/");
}

TEST(FolderChooser, RewriteModeRepointsTheSelectedRowsAndEnds)
{
    const std::vector<std::pair<int, SongEntry>> selected = {{1, resultRow("2", "b", "wma")},
                                                             {4, resultRow("5", "e", "mp3")}};
    ChooserOutcome outcome = confirmChooser(true, "/prog/music/", "/e/music", selected);
    EXPECT_FALSE(outcome.rewriteMode);
    EXPECT_EQ(outcome.saveFolder, "/prog/music/");
    const std::vector<std::pair<int, std::string>> expected = {{1, "/e/music/b.wma"},
                                                               {4, "/e/music/e.mp3"}};
    EXPECT_EQ(outcome.newSavePaths, expected);

    // An empty path is not rejected: the rows then start at the separator.
    outcome = confirmChooser(true, "/prog/music/", "", selected);
    ASSERT_EQ(outcome.newSavePaths.size(), 2u);
    EXPECT_EQ(outcome.newSavePaths[0].second, "/b.wma");
    EXPECT_EQ(outcome.saveFolder, "/prog/music/");

    // No selected row: nothing is rewritten, and the chooser still leaves rewrite mode.
    outcome = confirmChooser(true, "/prog/music/", "/e/music", {});
    EXPECT_TRUE(outcome.newSavePaths.empty());
    EXPECT_FALSE(outcome.rewriteMode);
    EXPECT_EQ(outcome.saveFolder, "/prog/music/");
}

// Every source of a row's name (the default engine's rows, archive rows, a folder the user
// types) goes through the save path rule, so a name never makes a folder or leaves its own.
TEST(SafeFileNames, SeparatorsControlsAndDotsNeverReachTheFileSystem)
{
    const std::string untitled = core::utf8ToGbk("未命名");
    const struct {
        std::string name;
        std::string type;
        std::string file;
    } table[] = {
        {"AC/DC", "mp3", "AC_DC.mp3"},
        {"a\\b", "mp3", "a_b.mp3"},
        {"line\r\nbreak\ttab", "mp3", "line__break_tab.mp3"},
        {std::string("nul\0x", 5), "mp3", "nul_x.mp3"},
        {"..hidden", "mp3", "hidden.mp3"},
        {".", "mp3", untitled + ".mp3"},
        {"..", "mp3", untitled + ".mp3"},
        {"", "mp3", untitled + ".mp3"},
        {"song", "mp3/../x", "song.mp3_.._x"},
        {"Access All Areas", "mp3", "Access All Areas.mp3"},
        {core::utf8ToGbk("演唱会"), "wma", core::utf8ToGbk("演唱会.wma")},
    };
    for (const auto& row : table) {
        EXPECT_EQ(download::safeFileName(row.name, row.type), row.file) << row.name;
        EXPECT_EQ(download::savePath("/m/", row.name, row.type), "/m/" + row.file) << row.name;
    }
}

TEST(SafeFileNames, LongNamesAreCutAtACharacterWithRoomForANumberAndTheRecord)
{
    // Chinese characters take 3 bytes in UTF-8 and 2 in GBK: the cut counts the file system's.
    std::string longChinese;
    for (int i = 0; i < 200; ++i)
        longChinese += core::utf8ToGbk("歌");
    const struct {
        std::string name;
        std::size_t keptCharacters;
    } table[] = {
        {std::string(300, 'a'), 255 - 9 - 4},
        {std::string(242, 'a'), 242},
        {longChinese, (255 - 9 - 4) / 3},
    };
    for (const auto& row : table) {
        const std::string file = download::safeFileName(row.name, "mp3");
        const std::string utf8 = core::gbkToUtf8(file);
        EXPECT_LE(utf8.size() + download::kFileNameRoom, download::kMaxFileNameBytes);
        EXPECT_EQ(core::gbkToUtf16(file).size(), row.keptCharacters + 4) << utf8;
        EXPECT_EQ(core::utf8ToGbk(utf8), file) << "no character was split";
    }
}
