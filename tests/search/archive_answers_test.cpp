// The archive's two JSON answers, from answers shaped as its documentation shows them and as
// its audio items are (concerts, 78 rpm sides, items without audio), and random, cut and
// mistyped answers that must neither crash nor give rows.
#include "core/gbk.h"
#include "search/archive_answers.h"
#include "search/archive_rows.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace search::archive;

namespace {

// An advanced-search answer as the service documents it (output=json): a response header
// echoing the parameters, then the response with the total, the start and the documents.
const char* const kSearchAnswer = R"j({
  "responseHeader": {
    "status": 0,
    "QTime": 14,
    "params": {
      "query": "(beethoven) AND mediatype:(audio)",
      "qin": "(beethoven) AND mediatype:(audio)",
      "fields": "identifier,title,creator",
      "wt": "json",
      "rows": "50",
      "start": 50
    }
  },
  "response": {
    "numFound": 1234,
    "start": 50,
    "docs": [
      {"identifier": "beethoven-sym5", "title": "Symphony No. 5", "creator": "Ludwig van Beethoven"},
      {"identifier": "78_moonlight", "title": "Moonlight Sonata",
       "creator": ["Beethoven", "Wilhelm Kempff"]},
      {"identifier": "no-creator-item", "title": "Untitled Session"},
      {"title": "a document without an identifier"},
      {"identifier": "bare-item"}
    ]
  }
})j";

// An item's metadata as the service documents it: files with every number as a string,
// metadata with repeated fields as lists, and the item's own top-level fields.
const char* const kItemAnswer = R"j({
  "created": 1616004182,
  "d1": "ia600308.us.archive.org",
  "dir": "/21/items/live-1999",
  "files": [
    {"name": "01 Opening & Intro.mp3", "source": "derivative", "format": "VBR MP3",
     "mtime": "1479169618", "size": "5301234", "md5": "EE68C235C2CFC1007A5AB998D21D643C",
     "crc32": "4db3022d", "sha1": "abceccfc74a577ed06a5aeb7bebe365e9ff8946d",
     "length": "331.24", "title": "Opening", "creator": "The Band", "album": "Live 1999",
     "track": "01"},
    {"name": "02 Song #2 100% + more.mp3", "format": "VBR MP3", "size": "48000",
     "md5": "0123456789abcdef0123456789abcdef"},
    {"name": "disc 2/03 新年好.MP3", "format": "VBR MP3", "size": 7,
     "md5": "fedcba9876543210fedcba9876543210", "title": "新年好"},
    {"name": "01 Opening & Intro.ogg", "format": "Ogg Vorbis", "size": "4100000",
     "md5": "11111111111111111111111111111111"},
    {"name": "live-1999_files.xml", "source": "original", "format": "Metadata",
     "md5": "d6ea3edc409f11ecfd69c061719e9368", "summation": "md5"},
    {"name": "tape.ra", "format": "Real Audio", "size": "not a number", "md5": "short"},
    {"format": "VBR MP3", "size": "1"}
  ],
  "files_count": 7,
  "item_size": 10682344,
  "metadata": {
    "identifier": "live-1999",
    "mediatype": "audio",
    "collection": ["etree", "community"],
    "title": "Live at the Hall, 1999",
    "creator": ["The Band", "Guests"]
  },
  "server": "ia800308.us.archive.org",
  "workable_servers": ["ia800308.us.archive.org", "ia600308.us.archive.org"]
})j";

} // namespace

TEST(ArchiveSearchAnswer, ReadsTotalStartAndItemsWhateverTheCreatorsShape)
{
    const SearchAnswer answer = parseSearchAnswer(kSearchAnswer);
    ASSERT_TRUE(answer.readable);
    EXPECT_EQ(answer.numFound, 1234);
    EXPECT_EQ(answer.start, 50);
    ASSERT_EQ(answer.items.size(), 4u); // the document without an identifier is left out
    EXPECT_EQ(answer.items[0].identifier, "beethoven-sym5");
    EXPECT_EQ(answer.items[0].creator, "Ludwig van Beethoven");
    EXPECT_EQ(answer.items[1].creator, "Beethoven, Wilhelm Kempff");
    EXPECT_EQ(answer.items[2].creator, "");
    EXPECT_EQ(answer.items[2].title, "Untitled Session");
    EXPECT_EQ(answer.items[3].identifier, "bare-item");
    EXPECT_EQ(answer.items[3].title, "");
}

TEST(ArchiveSearchAnswer, NumbersAsStringsAndMissingTotals)
{
    const SearchAnswer asText = parseSearchAnswer(
        R"j({"response":{"numFound":"77","start":"0","docs":[{"identifier":"a"}]}})j");
    ASSERT_TRUE(asText.readable);
    EXPECT_EQ(asText.numFound, 77);
    // No usable total: the service is taken to have found what the page holds.
    const SearchAnswer noTotal = parseSearchAnswer(
        R"j({"response":{"numFound":"lots","start":100,"docs":[{"identifier":"a"},{"identifier":"b"}]}})j");
    ASSERT_TRUE(noTotal.readable);
    EXPECT_EQ(noTotal.numFound, 102);
    const SearchAnswer huge = parseSearchAnswer(
        R"j({"response":{"numFound":123456789012345678901234567890,"docs":[{"identifier":"a"}]}})j");
    ASSERT_TRUE(huge.readable);
    EXPECT_EQ(huge.numFound, 1);
    const SearchAnswer empty =
        parseSearchAnswer(R"j({"response":{"numFound":0,"start":0,"docs":[]}})j");
    ASSERT_TRUE(empty.readable);
    EXPECT_EQ(empty.numFound, 0);
    EXPECT_TRUE(empty.items.empty());
}

TEST(ArchiveSearchAnswer, AnythingButTheDocumentedShapeIsUnreadable)
{
    for (const char* body :
         {"", "<html><body>502 Bad Gateway</body></html>", "[]", "null", "{}",
          R"j({"response":{"numFound":3}})j", R"j({"response":{"docs":{"identifier":"a"}}})j",
          R"j({"response":[]})j", R"j({"response":{"docs":[{"identifier":"a"}]})j"}) {
        const SearchAnswer answer = parseSearchAnswer(body);
        EXPECT_FALSE(answer.readable) << body;
        EXPECT_TRUE(answer.items.empty()) << body;
    }
    // Identifiers of the wrong type make no item.
    const SearchAnswer wrong = parseSearchAnswer(
        R"j({"response":{"docs":[{"identifier":["a","b"]},{"identifier":{}},{"identifier":""},7,"x"]}})j");
    ASSERT_TRUE(wrong.readable);
    EXPECT_TRUE(wrong.items.empty());
}

TEST(ArchiveItemAnswer, ReadsFilesWithNumbersAsStringsAndTolerantFields)
{
    const ItemAnswer item = parseItemAnswer(kItemAnswer);
    ASSERT_TRUE(item.readable);
    EXPECT_FALSE(item.unknown);
    EXPECT_EQ(item.title, "Live at the Hall, 1999");
    EXPECT_EQ(item.creator, "The Band, Guests");
    ASSERT_EQ(item.files.size(), 6u); // the file without a name is left out
    const ItemFile& first = item.files[0];
    EXPECT_EQ(first.name, "01 Opening & Intro.mp3");
    EXPECT_EQ(first.format, "VBR MP3");
    EXPECT_EQ(first.size, 5301234);
    EXPECT_EQ(first.md5, "ee68c235c2cfc1007a5ab998d21d643c");
    EXPECT_EQ(first.title, "Opening");
    EXPECT_EQ(first.creator, "The Band");
    EXPECT_EQ(item.files[2].size, 7); // a number as a number
    EXPECT_EQ(item.files[4].size, -1);
    EXPECT_EQ(item.files[5].size, -1); // not a number
    EXPECT_EQ(item.files[5].md5, "");  // not an MD5
}

TEST(ArchiveItemAnswer, UnknownItemsAndBrokenAnswers)
{
    const ItemAnswer unknown = parseItemAnswer("{}");
    EXPECT_TRUE(unknown.readable);
    EXPECT_TRUE(unknown.unknown);
    EXPECT_TRUE(unknown.files.empty());
    for (const char* body : {"", "[]", "\"files\"", R"j({"files":{"name":"a.mp3"}})j",
                             R"j({"files":[{"name":"a.mp3"})j", "<html></html>"}) {
        const ItemAnswer item = parseItemAnswer(body);
        EXPECT_FALSE(item.readable) << body;
        EXPECT_TRUE(item.files.empty()) << body;
    }
}

namespace {

// A live concert as the archive's etree items list it: FLAC originals, a VBR MP3 and a 64 kb
// MP3 made from each, titles with entities, a song played twice, a clip in a sub-folder, and
// the item's checksums, spectrograms and metadata files.
const char* const kConcert = R"j({
  "files": [
    {"name": "gd77-05-08d1t01.flac", "source": "original", "format": "Flac",
     "creator": "Grateful Dead", "title": "Scarlet Begonias -&gt;", "track": "01",
     "size": "61440000", "md5": "AA68C235C2CFC1007A5AB998D21D6430"},
    {"name": "gd77-05-08d1t01.mp3", "source": "derivative", "original": "gd77-05-08d1t01.flac",
     "format": "VBR MP3", "creator": "Grateful Dead", "title": "Scarlet Begonias -&gt;",
     "track": "01", "bitrate": "203", "size": "1042766",
     "md5": "bb68c235c2cfc1007a5ab998d21d6431"},
    {"name": "gd77-05-08d1t01_64kb.mp3", "source": "derivative",
     "original": "gd77-05-08d1t01.flac", "format": "64Kbps MP3", "bitrate": "64",
     "size": "331000", "md5": "cc68c235c2cfc1007a5ab998d21d6432"},
    {"name": "gd77-05-08d1t01.png", "source": "derivative", "original": "gd77-05-08d1t01.flac",
     "format": "PNG"},
    {"name": "gd77-05-08d1t02.flac", "source": "original", "format": "Flac",
     "title": "Fire On The Mountain", "track": "02", "size": "90000000"},
    {"name": "gd77-05-08d1t02_64kb.mp3", "source": "derivative",
     "original": "gd77-05-08d1t02.flac", "format": "64Kbps MP3", "bitrate": "64",
     "size": "160000"},
    {"name": "gd77-05-08d1t02_128kb.mp3", "source": "derivative",
     "original": "gd77-05-08d1t02.flac", "format": "128Kbps MP3", "bitrate": "128",
     "size": "320000"},
    {"name": "gd77-05-08d2t03.flac", "source": "original", "format": "Flac",
     "title": "Playing In The Band", "track": "03"},
    {"name": "gd77-05-08d2t03.mp3", "source": "derivative", "original": "gd77-05-08d2t03.flac",
     "format": "VBR MP3", "title": "Playing In The Band", "track": "03", "size": "15000000"},
    {"name": "gd77-05-08d2t03_64kb.mp3", "source": "derivative",
     "original": "gd77-05-08d2t03.mp3", "format": "64Kbps MP3", "size": "4000000"},
    {"name": "gd77-05-08d2t08.flac", "source": "original", "format": "Flac",
     "title": "Playing In The Band", "track": "08"},
    {"name": "gd77-05-08d2t08.mp3", "source": "derivative", "original": "gd77-05-08d2t08.flac",
     "format": "VBR MP3", "title": "Playing In The Band", "track": "08",
     "size": "1288490189"},
    {"name": "extras/booklet clip.mp3", "source": "original", "format": "VBR MP3",
     "size": "170000"},
    {"name": "extras/booklet clip_64kb.mp3", "source": "derivative",
     "original": "extras/booklet clip.mp3", "format": "64Kbps MP3", "size": "90000"},
    {"name": "gd77-05-08.ffp.txt", "source": "original", "format": "Text"},
    {"name": "gd77-05-08_files.xml", "source": "original", "format": "Metadata"}
  ],
  "metadata": {"identifier": "gd77-05-08", "mediatype": "etree",
               "title": "Grateful Dead Live at Barton Hall on 1977-05-08",
               "creator": "Grateful Dead"}
})j";

// A 78 rpm side as the archive's Great 78 Project lists it: the side's titled VBR MP3 made from
// its FLAC, and untitled transfers with other styli, creators joined by ';'.
const char* const k78 = R"j({
  "files": [
    {"name": "Delta Serenade - Duke Ellington and his Famous Orchestra.flac",
     "source": "original", "format": "Flac",
     "creator": "Duke Ellington and his Famous Orchestra;Duke Ellington;O. Hardwicke",
     "title": "Delta Serenade", "track": "01"},
    {"name": "Delta Serenade - Duke Ellington and his Famous Orchestra.mp3",
     "source": "derivative", "format": "VBR MP3", "bitrate": "236", "size": "6173696",
     "original": "Delta Serenade - Duke Ellington and his Famous Orchestra.flac",
     "creator": "Duke Ellington and his Famous Orchestra;Duke Ellington;O. Hardwicke",
     "title": "Delta Serenade", "track": "01", "md5": "3a0160848a9cc49783ffe4a8d515cc22"},
    {"name": "_78_delta-serenade_gbia0003362a_01_3.3_CT_flat.flac", "source": "original",
     "format": "Flac"},
    {"name": "_78_delta-serenade_gbia0003362a_01_3.3_CT_flat.mp3", "source": "derivative",
     "format": "VBR MP3", "bitrate": "281", "size": "7521280",
     "original": "_78_delta-serenade_gbia0003362a_01_3.3_CT_flat.flac",
     "creator": "Duke Ellington and his Famous Orchestra; Duke Ellington ;B. Webster"},
    {"name": "_78_delta-serenade_gbia0003362a_02_2.8_CT_EQ.flac", "source": "original",
     "format": "Flac"},
    {"name": "_78_delta-serenade_gbia0003362a_02_2.8_CT_EQ.mp3", "source": "derivative",
     "format": "VBR MP3", "size": "7521000",
     "original": "_78_delta-serenade_gbia0003362a_02_2.8_CT_EQ.flac"},
    {"name": "_78_delta-serenade_gbia0003362a_03_3.8_ET_flat.mp3", "source": "derivative",
     "format": "VBR MP3", "track": "01", "size": "7520000",
     "original": "_78_delta-serenade_gbia0003362a_03_3.8_ET_flat.flac"},
    {"name": "_78_delta-serenade_gbia0003362a_04_3.3_ET_EQ.mp3", "source": "derivative",
     "format": "VBR MP3", "track": "01", "size": "7519000",
     "original": "_78_delta-serenade_gbia0003362a_04_3.3_ET_EQ.flac"},
    {"name": "gbia0003362a.jpg", "source": "original", "format": "JPEG"}
  ],
  "metadata": {"identifier": "78_delta-serenade_gbia0003362a", "mediatype": "audio",
               "title": "Delta Serenade",
               "creator": ["Duke Ellington and his Famous Orchestra", "Duke Ellington"]}
})j";

// A scanned book: an item of the search without any audio file.
const char* const kNoAudio = R"j({
  "files": [
    {"name": "songbook_jp2.zip", "source": "derivative", "format": "Single Page Processed JP2 ZIP",
     "original": "songbook.pdf"},
    {"name": "songbook.pdf", "source": "original", "format": "Text PDF"},
    {"name": "songbook_meta.xml", "source": "original", "format": "Metadata"}
  ],
  "metadata": {"identifier": "songbook", "mediatype": "texts", "title": "Songs &amp; Airs"}
})j";

// What a test reads of a row: its name (UTF-8), the end of its address, its size text, MD5.
struct Seen {
    std::string name;
    std::string file;
    std::string size;
    std::string md5 = {};
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& s)
{
    return out << "{" << s.name << " | " << s.file << " | " << s.size << " | " << s.md5 << "}";
}

std::vector<Seen> seen(const std::vector<core::SongEntry>& rows, const std::string& identifier)
{
    std::vector<Seen> out;
    const std::string prefix = "http://m/download/" + identifier + "/";
    for (const core::SongEntry& row : rows) {
        std::string address = row.sub(core::SubItem::Address);
        EXPECT_EQ(address.rfind(prefix, 0), 0u) << address;
        out.push_back({core::gbkToUtf8(row.sub(core::SubItem::Name)),
                       address.substr(std::min(prefix.size(), address.size())),
                       row.sub(core::SubItem::SizeText), row.md5});
    }
    return out;
}

} // namespace

TEST(ArchiveRows, OneRowPerFileOfTheChosenTypeNamedFromTheFileElseTheItem)
{
    const ItemAnswer item = parseItemAnswer(kItemAnswer);
    const FoundItem found{"live-1999", "Search title", "Search creator"};
    const auto rows = rowsForItem("https://archive.org", found, item, 0);
    ASSERT_EQ(rows.size(), 3u); // .mp3 and .MP3; not the .ogg, the .xml or the .ra
    EXPECT_EQ(rows[0].sub(core::SubItem::Name), "The Band - Opening");
    EXPECT_EQ(rows[0].sub(core::SubItem::Address),
              "https://archive.org/download/live-1999/01%20Opening%20%26%20Intro.mp3");
    EXPECT_EQ(rows[0].sub(core::SubItem::SizeText), "5.1M");
    EXPECT_EQ(rows[0].sub(core::SubItem::TypeText), "mp3");
    EXPECT_EQ(rows[0].md5, "ee68c235c2cfc1007a5ab998d21d643c");
    EXPECT_EQ(rows[0].sizeBytes, 5301234);
    EXPECT_EQ(rows[0].imageIndex, 0);
    // No title or track of its own: the item's creators and title, and the file's stem.
    EXPECT_EQ(rows[1].sub(core::SubItem::Name),
              "The Band, Guests - Live at the Hall, 1999 [02 Song #2 100% + more]");
    EXPECT_EQ(rows[1].sub(core::SubItem::Address),
              "https://archive.org/download/live-1999/02%20Song%20%232%20100%25%20%2B%20more.mp3");
    EXPECT_EQ(rows[1].sub(core::SubItem::SizeText), "47K");
    // A Chinese title (GB18030 in the row) and a file in a folder: each segment encoded alone.
    EXPECT_EQ(rows[2].sub(core::SubItem::Name),
              core::utf8ToGbk("The Band, Guests - 新年好 [disc 2]"));
    EXPECT_EQ(
        rows[2].sub(core::SubItem::Address),
        "https://archive.org/download/live-1999/disc%202/03%20%E6%96%B0%E5%B9%B4%E5%A5%BD.MP3");
    EXPECT_EQ(rows[2].sub(core::SubItem::TypeText), "mp3");

    const auto realMedia = rowsForItem("https://archive.org", found, item, 1);
    ASSERT_EQ(realMedia.size(), 1u);
    EXPECT_EQ(realMedia[0].sub(core::SubItem::TypeText), "ra");
    EXPECT_EQ(realMedia[0].sub(core::SubItem::SizeText), "");
    EXPECT_EQ(realMedia[0].imageIndex, 1);
    EXPECT_TRUE(rowsForItem("https://archive.org", found, item, 2).empty());
    EXPECT_TRUE(rowsForItem("https://archive.org", found, item, -1).empty());
}

TEST(ArchiveRows, ARecordingIsOneRowTakingItsBestCopyAndReadableDistinctNames)
{
    struct Case {
        const char* answer;
        FoundItem found;
        std::vector<Seen> rows;
    };
    const std::string gd = "Grateful Dead - ";
    const std::string duke = "Duke Ellington and his Famous Orchestra, Duke Ellington";
    const std::vector<Case> cases = {
        {kConcert,
         {"gd77-05-08", "", ""},
         {
             // The VBR copy of the FLAC original, not the 64 kb one; the entity decoded.
             {gd + "Scarlet Begonias ->", "gd77-05-08d1t01.mp3", "1.0M",
              "bb68c235c2cfc1007a5ab998d21d6431"},
             // No VBR copy: the highest bitrate, whichever is listed first; the root's title.
             {gd + "Fire On The Mountain", "gd77-05-08d1t02_128kb.mp3", "313K"},
             // The 64 kb copy was made from the VBR one: still the same recording.
             {gd + "Playing In The Band", "gd77-05-08d2t03.mp3", "14M"},
             // The song played again later in the show.
             {gd + "Playing In The Band (2)", "gd77-05-08d2t08.mp3", "1.2G"},
             // An MP3 original is its own row; the clip is told apart by its stem and folder.
             {gd + "Grateful Dead Live at Barton Hall on 1977-05-08 [booklet clip] [extras]",
              "extras/booklet%20clip.mp3", "166K"},
         }},
        {k78,
         {"78_delta-serenade_gbia0003362a", "", ""},
         {
             {"Duke Ellington and his Famous Orchestra, Duke Ellington, O. Hardwicke - "
              "Delta Serenade",
              "Delta%20Serenade%20-%20Duke%20Ellington%20and%20his%20Famous%20Orchestra.mp3",
              "5.9M", "3a0160848a9cc49783ffe4a8d515cc22"},
             // Untitled transfers: the side's title and the file's stem, else its track.
             {"Duke Ellington and his Famous Orchestra, Duke Ellington, B. Webster - "
              "Delta Serenade [_78_delta-serenade_gbia0003362a_01_3.3_CT_flat]",
              "_78_delta-serenade_gbia0003362a_01_3.3_CT_flat.mp3", "7.2M"},
             {duke + " - Delta Serenade [_78_delta-serenade_gbia0003362a_02_2.8_CT_EQ]",
              "_78_delta-serenade_gbia0003362a_02_2.8_CT_EQ.mp3", "7.2M"},
             {duke + " - Delta Serenade (01)", "_78_delta-serenade_gbia0003362a_03_3.8_ET_flat.mp3",
              "7.2M"},
             {duke + " - Delta Serenade (01) (2)",
              "_78_delta-serenade_gbia0003362a_04_3.3_ET_EQ.mp3", "7.2M"},
         }},
        {kNoAudio, {"songbook", "Songs &amp; Airs", ""}, {}},
    };
    for (const Case& c : cases) {
        const ItemAnswer item = parseItemAnswer(c.answer);
        ASSERT_TRUE(item.readable) << c.found.identifier;
        EXPECT_EQ(seen(rowsForItem("http://m", c.found, item, 0), c.found.identifier), c.rows)
            << c.found.identifier;
    }
}

TEST(ArchiveRows, NamesFallBackToTheSearchDocumentThenToTheFileName)
{
    ItemAnswer bare;
    bare.readable = true;
    ItemFile take;
    take.name = "take 1.mp3";
    take.size = 10;
    bare.files = {take};
    EXPECT_EQ(rowsForItem("http://m", {"id", "Doc title", "Doc creator"}, bare, 0)[0].sub(0),
              "Doc creator - Doc title [take 1]");
    EXPECT_EQ(rowsForItem("http://m", {"id", "Doc &quot;title&quot;", "A;B"}, bare, 0)[0].sub(0),
              "A, B - Doc \"title\" [take 1]");
    EXPECT_EQ(rowsForItem("http://m", {"id", "", ""}, bare, 0)[0].sub(0), "take 1");
    // Files whose originals go round in a loop still make one row each recording, never hang.
    ItemFile a = take;
    a.name = "a.mp3";
    a.original = "b.mp3";
    ItemFile b = take;
    b.name = "b.mp3";
    b.original = "a.mp3";
    bare.files = {a, b};
    EXPECT_EQ(rowsForItem("http://m", {"id", "T", ""}, bare, 0).size(), 1u);
}

TEST(ArchiveRows, EntitiesAndCreatorsAreReadOneWay)
{
    const std::vector<std::pair<std::string, std::string>> entities = {
        {"Simon &amp; Garfunkel", "Simon & Garfunkel"},
        {"&lt;live&gt; &quot;set&quot; &#39;77&#39;", "<live> \"set\" '77'"},
        {"Caf&#233; &#x4E2D;&#X6587; &#128512;", "Café 中文 😀"},
        {"&amp;amp; stays once decoded", "&amp; stays once decoded"},
        {"&nbsp; &#0; &#xD800; &#1114112; &#x; &#12a; & ; &amp", // unknown or malformed
         "&nbsp; &#0; &#xD800; &#1114112; &#x; &#12a; & ; &amp"},
    };
    for (const auto& [typed, read] : entities)
        EXPECT_EQ(decodeEntities(typed), read) << typed;
    const std::vector<std::pair<std::string, std::string>> creators = {
        {"Vicki Dale;The Peter Pan Orchestra", "Vicki Dale, The Peter Pan Orchestra"},
        {" A ;; B; ", "A, B"},
        {"A, B", "A, B"},
        {"", ""},
    };
    for (const auto& [field, joined] : creators)
        EXPECT_EQ(joinedCreators(field), joined) << field;
}

TEST(ArchiveAddresses, QueryAndPathsAreEncodedForTheWire)
{
    EXPECT_EQ(searchAddress("https://archive.org", "a&b c+d#", 3),
              "https://archive.org/"
              "advancedsearch.php?q=%28a%26b%20c%2Bd%23%29%20AND%20mediatype%3A%28audio%29"
              "&fl%5B%5D=identifier&fl%5B%5D=title&fl%5B%5D=creator&rows=50&page=3&output=json");
    EXPECT_EQ(searchAddress("http://127.0.0.1:8080", "刘德华", 1, 10),
              "http://127.0.0.1:8080/advancedsearch.php?q=%28%E5%88%98%E5%BE%B7%E5%8D%8E%29"
              "%20AND%20mediatype%3A%28audio%29&fl%5B%5D=identifier&fl%5B%5D=title"
              "&fl%5B%5D=creator&rows=10&page=1&output=json");
    const std::vector<std::pair<std::string, std::string>> items = {
        {"78_a b", "https://archive.org/metadata/78_a%20b"},
        {"..", "https://archive.org/metadata/%2E%2E"},
        {".", "https://archive.org/metadata/%2E"},
        {"...", "https://archive.org/metadata/..."},
        {"a.b", "https://archive.org/metadata/a.b"},
    };
    for (const auto& [identifier, address] : items)
        EXPECT_EQ(itemAddress("https://archive.org", identifier), address) << identifier;
    const std::vector<std::tuple<std::string, std::string, std::string>> files = {
        {"id", "a/b%c/", "https://archive.org/download/id/a/b%25c/"},
        {"..", "../x.mp3", "https://archive.org/download/%2E%2E/%2E%2E/x.mp3"},
        {"id", "./a/../b.mp3", "https://archive.org/download/id/%2E/a/%2E%2E/b.mp3"},
        {"id", "..mp3/.x.mp3", "https://archive.org/download/id/..mp3/.x.mp3"},
    };
    for (const auto& [identifier, name, address] : files)
        EXPECT_EQ(fileAddress("https://archive.org", identifier, name), address) << name;
}

TEST(ArchiveRows, SizesAreRoundedInOneUnitOf1024)
{
    const std::int64_t K = 1024;
    const std::vector<std::pair<std::int64_t, std::string>> table = {
        {-1, ""},
        {0, "0.0K"},
        {7, "0.0K"},
        {2 * K + 400, "2.4K"},      // 2.39 rounds up
        {166 * K, "166K"},          //
        {10199, "10K"},             // 9.96 KiB
        {999 * K + 409, "999K"},    // 999.4 KiB
        {999 * K + 614, "1.0M"},    // 999.6 KiB
        {1042766, "1.0M"},          // 1018.3 KiB
        {10 * K * K - 1, "10M"},    //
        {16043212, "15M"},          // 15.3 MiB
        {1288490189, "1.2G"},       // 1.2 GiB
        {1023 * K * K * K, "1.0T"}, //
        {1LL << 62, "4.0E"},        //
        {INT64_MAX, "8.0E"},        //
    };
    for (const auto& [bytes, text] : table)
        EXPECT_EQ(sizeText(bytes), text) << bytes;
}

TEST(ArchivePaging, AsksMoreUntilTwoHundredRowsThenOnlyAtTheListsEnd)
{
    EXPECT_TRUE(wantNextPage(50, 1000, 0, false));
    EXPECT_TRUE(wantNextPage(150, 1000, 199, false));
    EXPECT_FALSE(wantNextPage(200, 1000, 200, false));
    EXPECT_TRUE(wantNextPage(200, 1000, 200, true));
    EXPECT_FALSE(wantNextPage(1000, 1000, 10, true)); // the service has no more
    EXPECT_FALSE(wantNextPage(100, 60, 10, false));
}

namespace {

std::string randomJson(std::mt19937& rng, int depth)
{
    static const std::vector<std::string> atoms = {"0",
                                                   "-1",
                                                   "1e400",
                                                   "123456789012345678901234567890",
                                                   "\"12\"",
                                                   "\"\"",
                                                   "\"x.mp3\"",
                                                   "\"y.mp3\"",
                                                   "true",
                                                   "null",
                                                   "\"a\\u0000b\"",
                                                   "\"\\ud800\"",
                                                   "3.5",
                                                   "\"ee68c235c2cfc1007a5ab998d21d643c\""};
    static const std::vector<std::string> keys = {
        "response", "docs",     "numFound", "start",   "identifier", "title",
        "creator",  "files",    "name",     "size",    "md5",        "metadata",
        "format",   "original", "source",   "bitrate", "track"};
    const unsigned pick = depth > 5 ? 0 : rng() % 4;
    if (pick == 0)
        return atoms[rng() % atoms.size()];
    std::string out;
    const unsigned n = rng() % 4;
    if (pick == 1) {
        out = "[";
        for (unsigned i = 0; i < n; ++i)
            out += (i ? "," : "") + randomJson(rng, depth + 1);
        return out + "]";
    }
    out = "{";
    for (unsigned i = 0; i < n; ++i)
        out += std::string(i ? "," : "") + "\"" + keys[rng() % keys.size()] +
               "\":" + randomJson(rng, depth + 1);
    return out + "}";
}

// Every row a parse can give holds a name, an address under the base and a known type.
void expectWellFormed(const std::vector<core::SongEntry>& rows)
{
    for (const core::SongEntry& row : rows) {
        ASSERT_EQ(row.subItems.size(), 4u);
        EXPECT_FALSE(row.sub(core::SubItem::Name).empty());
        EXPECT_EQ(row.sub(core::SubItem::Address).rfind("http://m/download/", 0), 0u);
        EXPECT_EQ(row.sub(core::SubItem::TypeText), "mp3");
    }
}

} // namespace

TEST(ArchiveAnswersFuzz, RandomCutAndDeepAnswersNeverCrashAndBrokenOnesGiveNoRow)
{
    std::mt19937 rng(20261209);
    std::string valid = kItemAnswer;
    for (int round = 0; round < 4000; ++round) {
        std::string body;
        switch (round % 4) {
        case 0:
            body = randomJson(rng, 0);
            break;
        case 1: // a documented answer cut anywhere: not JSON any more, so nothing
            body = valid.substr(0, rng() % valid.size());
            break;
        case 2: // a documented answer with one byte changed
            body = round % 8 == 2 ? std::string(kSearchAnswer) : valid;
            body[rng() % body.size()] = static_cast<char>(rng() % 256);
            break;
        default: // random bytes
            for (unsigned i = rng() % 64; i > 0; --i)
                body += static_cast<char>(rng() % 256);
        }
        const SearchAnswer found = parseSearchAnswer(body);
        const ItemAnswer item = parseItemAnswer(body);
        if (round % 4 == 1) {
            EXPECT_FALSE(item.readable);
            EXPECT_TRUE(item.files.empty());
        }
        if (!found.readable) {
            EXPECT_TRUE(found.items.empty());
        }
        if (!item.readable) {
            EXPECT_TRUE(item.files.empty());
        }
        for (const FoundItem& f : found.items)
            EXPECT_FALSE(f.identifier.empty());
        EXPECT_GE(found.numFound, 0);
        expectWellFormed(rowsForItem("http://m", {"id", "", ""}, item, 0));
    }
    // Nesting far deeper than any answer: read or refused, never a crash.
    const std::string deep = std::string(200000, '[') + std::string(200000, ']');
    EXPECT_FALSE(parseSearchAnswer(deep).readable);
    EXPECT_FALSE(parseItemAnswer(deep).readable);
    const std::string deepObject = R"j({"files":[{"name":"a.mp3","title":)j" +
                                   std::string(100000, '[') + std::string(100000, ']') + "}]}";
    const ItemAnswer nested = parseItemAnswer(deepObject);
    ASSERT_TRUE(nested.readable);
    ASSERT_EQ(nested.files.size(), 1u);
    EXPECT_EQ(nested.files[0].title, "");
}
