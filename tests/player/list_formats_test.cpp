// The list formats other players open (M3U8, XSPF) beside the Real and Windows Media lists:
// which format a name chooses, round trips with Chinese titles, relative entries, damaged files.
#include "core/gbk.h"
#include "core/line_file.h"
#include "player/list_files.h"
#include "player/list_formats.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

using core::SongEntry;
using player::ListFormat;

std::string gbk(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

SongEntry row(const std::string& name, const std::string& address, const std::string& type)
{
    return SongEntry{"1", 0, {name, address, "4.1M", type}};
}

// What a row is after a save and a load: the name and address, the size gone, the type from
// the address.
struct Kept {
    std::string name, address, type;
};

void expectRows(const std::vector<SongEntry>& rows, const std::vector<Kept>& want)
{
    ASSERT_EQ(rows.size(), want.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].caption, std::to_string(i + 1));
        EXPECT_EQ(rows[i].sub(core::SubItem::Name), want[i].name);
        EXPECT_EQ(rows[i].sub(core::SubItem::Address), want[i].address);
        EXPECT_EQ(rows[i].sub(core::SubItem::SizeText), "");
        EXPECT_EQ(rows[i].sub(core::SubItem::TypeText), want[i].type);
    }
}

TEST(ListFormatChoice, TheTypedExtensionDecidesThenTheChosenFilter)
{
    struct Case {
        const char* name;
        int filter;
        ListFormat save;
        ListFormat load;
    };
    const Case cases[] = {
        {"/m/mine.asx", 1, ListFormat::WindowsMedia, ListFormat::WindowsMedia},
        {"/m/mine.ASX", 4, ListFormat::WindowsMedia, ListFormat::WindowsMedia},
        {"/m/mine.rpm", 2, ListFormat::Real, ListFormat::Real},
        {"/m/mine.m3u8", 1, ListFormat::M3u, ListFormat::M3u},
        {"/m/mine.M3U", 2, ListFormat::M3u, ListFormat::M3u},
        {"/m/mine.xspf", 1, ListFormat::Xspf, ListFormat::Xspf},
        {"/m/mine", 1, ListFormat::Real, ListFormat::WindowsMedia},
        {"/m/mine", 2, ListFormat::WindowsMedia, ListFormat::WindowsMedia},
        {"/m/mine", 3, ListFormat::M3u, ListFormat::WindowsMedia},
        {"/m/mine", 4, ListFormat::Xspf, ListFormat::WindowsMedia},
        {"/m/mine.txt", 3, ListFormat::M3u, ListFormat::WindowsMedia},
        {"/m.x/mine", 4, ListFormat::Xspf, ListFormat::WindowsMedia},
        {"/m/listrpm", 2, ListFormat::WindowsMedia, ListFormat::Real},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(player::saveFormat(c.name, c.filter), c.save);
        EXPECT_EQ(player::loadFormat(c.name), c.load);
    }
}

TEST(ListFormatAddress, NameTypeAndResolutionComeFromTheAddress)
{
    struct Case {
        std::string address, name, type;
    };
    const Case cases[] = {
        {"http://h/music/liudehua_1.mp3", "liudehua_1", "mp3"},
        {"http://h/a%20b.WMA?x=1.rm#f", "a b", "wma"},
        {"http://h/%E5%88%98%E5%BE%B7%E5%8D%8E.rm", gbk("刘德华"), "rm"},
        {"/home/u/" + gbk("歌") + ".ram", gbk("歌"), "ram"},
        {"http://h/dir/", "dir", ""},
        {"http://h/noext", "noext", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(player::nameFromAddress(c.address), c.name);
        EXPECT_EQ(player::typeFromAddress(c.address), c.type);
    }
    EXPECT_EQ(player::resolveEntry("http://h/a.mp3", "/l/"), "http://h/a.mp3");
    EXPECT_EQ(player::resolveEntry("/abs/a.mp3", "/l/"), "/abs/a.mp3");
    EXPECT_EQ(player::resolveEntry("a.mp3", "/l/"), "/l/a.mp3");
    EXPECT_EQ(player::resolveEntry("./sub/a.mp3", "/l"), "/l/sub/a.mp3");
    EXPECT_EQ(player::resolveEntry("sub\\a.mp3", "/l/"), "/l/sub/a.mp3");
}

class ListFormatFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("corvale-formats-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        folder = dir.string() + "/";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    // Writes the rows in a format and reads the file back.
    std::vector<SongEntry> roundTrip(ListFormat format, const std::vector<SongEntry>& rows,
                                     const std::string& name)
    {
        core::writeLines(dir / name, player::listFileLines(format, rows));
        return player::readListFile(format, core::readFileBytes(dir / name), folder);
    }
    std::string bytes(const std::string& name) { return core::readFileBytes(dir / name); }
    std::filesystem::path dir;
    std::string folder;
};

TEST_F(ListFormatFileTest, EveryFormatRoundTripsChineseNamesAndAddresses)
{
    const std::vector<SongEntry> rows = {
        row(gbk("刘德华 - 忘情水"), "http://h/liudehua_1.mp3", "mp3"),
        row(gbk("周杰伦 & 蔡依林 <合唱>"), "http://h/a.wma?x=1&y=\"2\"", "wma"),
        row("", "http://h/%E7%A8%BB%E9%A6%99.rm", "rm"),
    };
    const std::string noName = gbk("稻香");
    // Titles come back from M3U8 and XSPF; the Real and Windows Media texts keep none, and the
    // name is the file name then.
    const std::vector<Kept> titled = {
        {gbk("刘德华 - 忘情水"), "http://h/liudehua_1.mp3", "mp3"},
        {gbk("周杰伦 & 蔡依林 <合唱>"), "http://h/a.wma?x=1&y=\"2\"", "wma"},
        {noName, "http://h/%E7%A8%BB%E9%A6%99.rm", "rm"}};
    const std::vector<Kept> untitled = {
        {"liudehua_1", titled[0].address, "mp3"}, {"a", titled[1].address, "wma"}, titled[2]};
    expectRows(roundTrip(ListFormat::M3u, rows, "x.m3u8"), titled);
    expectRows(roundTrip(ListFormat::Xspf, rows, "x.xspf"), titled);
    expectRows(roundTrip(ListFormat::WindowsMedia, rows, "x.asx"), untitled);
    expectRows(roundTrip(ListFormat::Real, rows, "x.rpm"), untitled);

    // The M3U8 text, in UTF-8.
    EXPECT_EQ(bytes("x.m3u8"), "#EXTM3U\r\n"
                               "#EXTINF:-1,刘德华 - 忘情水\r\nhttp://h/liudehua_1.mp3\r\n"
                               "#EXTINF:-1,周杰伦 & 蔡依林 <合唱>\r\nhttp://h/a.wma?x=1&y=\"2\"\r\n"
                               "#EXTINF:-1,\r\nhttp://h/%E7%A8%BB%E9%A6%99.rm\r\n");
    // Another program reads the XSPF and the .asx as XML.
    for (const char* name : {"x.xspf", "x.asx"}) {
        const std::string check = "xmllint --noout '" + (dir / name).string() + "' 2>&1";
        EXPECT_EQ(std::system(check.c_str()), 0) << name;
    }
    const std::string xspf = bytes("x.xspf");
    EXPECT_NE(xspf.find("<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"),
              std::string::npos);
    EXPECT_NE(xspf.find("<title>周杰伦 &amp; 蔡依林 &lt;合唱&gt;</title>"), std::string::npos);
    // The .asx and .rpm texts are those the player pages use.
    EXPECT_EQ(player::listFileLines(ListFormat::WindowsMedia, rows),
              player::mediaListLines(rows, "playlist"));
    EXPECT_EQ(player::listFileLines(ListFormat::Real, rows), player::realListLines(rows));
}

TEST_F(ListFormatFileTest, NamesInEveryScriptRoundTripThroughM3u8AndXspf)
{
    // Letters GBK lacks (Latin with diacritics, Hangul, a four-byte Han character) survive.
    const std::vector<SongEntry> rows = {
        row(gbk("Motörhead - Niño"), "http://h/a.mp3", "mp3"),
        row(gbk("방탄소년단 - 봄날"), "http://h/b.mp3", "mp3"),
        row(gbk("𠀋 - € 5"), "http://h/c.mp3", "mp3"),
    };
    const std::vector<Kept> kept = {{gbk("Motörhead - Niño"), "http://h/a.mp3", "mp3"},
                                    {gbk("방탄소년단 - 봄날"), "http://h/b.mp3", "mp3"},
                                    {gbk("𠀋 - € 5"), "http://h/c.mp3", "mp3"}};
    expectRows(roundTrip(ListFormat::M3u, rows, "w.m3u8"), kept);
    expectRows(roundTrip(ListFormat::Xspf, rows, "w.xspf"), kept);
    EXPECT_NE(bytes("w.m3u8").find("#EXTINF:-1,Motörhead - Niño\r\n"), std::string::npos);
    EXPECT_NE(bytes("w.xspf").find("<title>방탄소년단 - 봄날</title>"), std::string::npos);
}

TEST_F(ListFormatFileTest, LengthsAListGivesAreKeptAndWrittenBack)
{
    // What the lists say of a length, and the seconds a row keeps of it (-1: unknown).
    struct Case {
        ListFormat format;
        std::string text;
        std::vector<int> seconds;
    };
    const Case cases[] = {
        {ListFormat::M3u,
         "#EXTM3U\n#EXTINF:215,A\nhttp://h/a.mp3\n#EXTINF:-1,B\nhttp://h/b.mp3\n"
         "#EXTINF:12.7 "
         "tvg-id=\"x\",C\nhttp://h/c.mp3\nhttp://h/d.mp3\n#EXTINF:abc,E\nhttp://h/e.mp3\n",
         {215, -1, 12, -1, -1}},
        {ListFormat::M3u, "#EXTINF:99.5,A\nhttp://h/a.mp3\n#EXTINF:7\nhttp://h/b.mp3\n", {99, 7}},
        {ListFormat::Xspf,
         "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList>"
         "<track><location>http://h/a.mp3</location><duration>215999</duration></track>"
         "<track><location>http://h/b.mp3</location><duration>-5</duration></track>"
         "<track><location>http://h/c.mp3</location></track></trackList></playlist>",
         {215, -1, -1}},
        {ListFormat::WindowsMedia,
         "<asx><entry><ref href=\"http://h/a.mp3\"/></entry></asx>",
         {-1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::vector<SongEntry> rows = player::readListFile(c.format, c.text, folder);
        std::vector<int> seconds;
        for (const SongEntry& r : rows)
            seconds.push_back(r.seconds);
        EXPECT_EQ(seconds, c.seconds);
        // Saved again, a known length comes back as it was and an unknown one stays unknown.
        for (const auto& [format, name] : {std::pair{ListFormat::M3u, "again.m3u8"},
                                           std::pair{ListFormat::Xspf, "again.xspf"}}) {
            std::vector<int> again;
            for (const SongEntry& r : roundTrip(format, rows, name))
                again.push_back(r.seconds);
            EXPECT_EQ(again, c.seconds) << name;
        }
    }
    std::vector<SongEntry> known = {row("A", "http://h/a.mp3", "mp3")};
    known[0].seconds = 215;
    core::writeLines(dir / "k.m3u8", player::listFileLines(ListFormat::M3u, known));
    EXPECT_EQ(bytes("k.m3u8"), "#EXTM3U\r\n#EXTINF:215,A\r\nhttp://h/a.mp3\r\n");
    core::writeLines(dir / "k.xspf", player::listFileLines(ListFormat::Xspf, known));
    EXPECT_NE(bytes("k.xspf").find("<duration>215000</duration>"), std::string::npos);
}

TEST_F(ListFormatFileTest, RelativeAndAbsoluteEntriesAndLocalFiles)
{
    struct Case {
        ListFormat format;
        std::string text;
    };
    const Case cases[] = {
        {ListFormat::M3u, "#EXTM3U\r\n#EXTINF:12,One\nsub/one.mp3\n# comment\n\n"
                          "/abs/two.rm\r\nhttp://h/three.wma\n"},
        {ListFormat::Xspf,
         "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
         "<trackList><track><title>One</title><location>sub/one.mp3</location></track>"
         "<track><location>file:///abs/two.rm</location></track>"
         "<track><location>http://h/three.wma</location></track></trackList></playlist>"},
        {ListFormat::WindowsMedia,
         "<ASX version=\"3.0\"><Entry><Title>One</Title><Ref HREF=\"sub/one.mp3\"/></Entry>"
         "<entry><ref href='/abs/two.rm'/></entry><entry><ref href=\"http://h/three.wma\"/>"
         "</entry></ASX>"},
        {ListFormat::Real, "# list\r\nsub/one.mp3\r\n\r\n/abs/two.rm\r\nhttp://h/three.wma\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto rows = player::readListFile(c.format, c.text, folder);
        expectRows(rows,
                   {{c.format == ListFormat::Real ? "one" : "One", folder + "sub/one.mp3", "mp3"},
                    {"two", "/abs/two.rm", "rm"},
                    {"three", "http://h/three.wma", "wma"}});
    }
    // A local file written to XSPF is a file URI with its bytes escaped, and comes back whole.
    const std::vector<SongEntry> local = {row("", "/m/" + gbk("我的 歌") + ".mp3", "mp3")};
    core::writeLines(dir / "l.xspf", player::listFileLines(ListFormat::Xspf, local));
    EXPECT_NE(bytes("l.xspf").find("<location>file:///m/%E6%88%91%E7%9A%84%20%E6%AD%8C.mp3"),
              std::string::npos);
    expectRows(player::readListFile(ListFormat::Xspf, bytes("l.xspf"), folder),
               {{gbk("我的 歌"), "/m/" + gbk("我的 歌") + ".mp3", "mp3"}});
}

TEST_F(ListFormatFileTest, DamagedFilesGiveTheRowsTheyCan)
{
    struct Case {
        ListFormat format;
        std::string text;
        size_t rows;
    };
    const Case cases[] = {
        // Cut off in the middle of the second track.
        {ListFormat::Xspf,
         "<playlist><trackList><track><location>http://h/a.mp3</location></track>"
         "<track><location>http://h/b.mp",
         1},
        {ListFormat::Xspf, "not xml at all", 0},
        {ListFormat::Xspf, "", 0},
        {ListFormat::Xspf, "<playlist><trackList><track><title>t</title></track></trackList>", 0},
        // An entry without a ref, a ref without an address, an unclosed list.
        {ListFormat::WindowsMedia,
         "<asx><entry><title>x</title></entry><entry><ref/></entry>"
         "<entry><ref href=\"http://h/a.wma\"/></entry><entry><ref href=\"http://h/b",
         1},
        {ListFormat::WindowsMedia, "a\r\nb\r\nc\r\nd\r\n", 0},
        // An #EXTINF without a comma or an entry, text that is not UTF-8.
        {ListFormat::M3u, "#EXTINF:x\nhttp://h/a.mp3\n#EXTINF:-1,lost\n", 1},
        {ListFormat::M3u, gbk("#EXTINF:-1,刘德华\nhttp://h/a.mp3\n"), 1},
        {ListFormat::M3u, "\xEF\xBB\xBF#EXTM3U\nhttp://h/a.mp3", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(player::readListFile(c.format, c.text, folder).size(), c.rows);
    }
    // The old .m3u in the system code page keeps its title; the #EXTINF without a comma gives
    // no title, so the file name stands.
    EXPECT_EQ(
        player::readListFile(ListFormat::M3u, cases[7].text, folder)[0].sub(core::SubItem::Name),
        gbk("刘德华"));
    EXPECT_EQ(
        player::readListFile(ListFormat::M3u, cases[6].text, folder)[0].sub(core::SubItem::Name),
        "a");
}

} // namespace
