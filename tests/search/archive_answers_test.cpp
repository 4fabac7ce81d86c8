// The archive's two JSON answers, from answers shaped as its documentation shows them, and
// random, cut and mistyped answers that must neither crash nor give rows.
#include "core/gbk.h"
#include "search/archive_answers.h"
#include "search/archive_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
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

TEST(ArchiveRows, OneRowPerFileOfTheChosenTypeNamedFromTheFileElseTheItem)
{
    const ItemAnswer item = parseItemAnswer(kItemAnswer);
    const FoundItem found{"live-1999", "Search title", "Search creator"};
    const auto rows = rowsForItem("https://archive.org", found, item, 0);
    ASSERT_EQ(rows.size(), 3u); // .mp3 and .MP3; not the .ogg, the .xml or the .ra
    EXPECT_EQ(rows[0].sub(core::SubItem::Name), "The Band - Opening");
    EXPECT_EQ(rows[0].sub(core::SubItem::Address),
              "https://archive.org/download/live-1999/01%20Opening%20%26%20Intro.mp3");
    EXPECT_EQ(rows[0].sub(core::SubItem::SizeText), "5.0M");
    EXPECT_EQ(rows[0].sub(core::SubItem::TypeText), "mp3");
    EXPECT_EQ(rows[0].md5, "ee68c235c2cfc1007a5ab998d21d643c");
    EXPECT_EQ(rows[0].sizeBytes, 5301234);
    EXPECT_EQ(rows[0].imageIndex, 0);
    // No title of its own: the item's title and creator.
    EXPECT_EQ(rows[1].sub(core::SubItem::Name), "The Band, Guests - Live at the Hall, 1999");
    EXPECT_EQ(rows[1].sub(core::SubItem::Address),
              "https://archive.org/download/live-1999/02%20Song%20%232%20100%25%20%2B%20more.mp3");
    EXPECT_EQ(rows[1].sub(core::SubItem::SizeText), "46K");
    // A Chinese title (GBK in the row) and a file in a folder: each segment encoded alone.
    EXPECT_EQ(rows[2].sub(core::SubItem::Name), core::utf8ToGbk("The Band, Guests - 新年好"));
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

TEST(ArchiveRows, NamesFallBackToTheSearchDocumentThenToTheFileName)
{
    ItemAnswer bare;
    bare.readable = true;
    bare.files = {{"take 1.mp3", "VBR MP3", "", "", "", 10}};
    EXPECT_EQ(rowsForItem("http://m", {"id", "Doc title", "Doc creator"}, bare, 0)[0].sub(0),
              "Doc creator - Doc title");
    EXPECT_EQ(rowsForItem("http://m", {"id", "", ""}, bare, 0)[0].sub(0), "take 1");
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
    EXPECT_EQ(itemAddress("https://archive.org", "78_a b"),
              "https://archive.org/metadata/78_a%20b");
    EXPECT_EQ(fileAddress("https://archive.org", "id", "a/b%c/"),
              "https://archive.org/download/id/a/b%25c/");
}

TEST(ArchiveRows, SizeTextKeepsThreeCharactersAndTheUnit)
{
    EXPECT_EQ(sizeText(-1), "");
    EXPECT_EQ(sizeText(0), "0.0K");
    EXPECT_EQ(sizeText(2 * 1024 + 400), "2.3K");
    EXPECT_EQ(sizeText(123 * 1024 + 1000), "123K");
    EXPECT_EQ(sizeText(2453667), "2.3M");
    EXPECT_EQ(sizeText(1234LL * 1024 * 1024), "123M");
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
                                                   "true",
                                                   "null",
                                                   "\"a\\u0000b\"",
                                                   "\"\\ud800\"",
                                                   "3.5",
                                                   "\"ee68c235c2cfc1007a5ab998d21d643c\""};
    static const std::vector<std::string> keys = {
        "response", "docs", "numFound", "start", "identifier", "title", "creator",
        "files",    "name", "size",     "md5",   "metadata",   "format"};
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
