// Address cutting, range split, tags and the target-file rules of the transfer engine.
#include "core/gbk.h"
#include "core/line_file.h"
#include "download/failure.h"
#include "download/target_file.h"
#include "download/transfer_plan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace download;

namespace {
std::string gbk(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

struct TempDir {
    fs::path path;
    TempDir()
    {
        char pattern[] = "/tmp/corvale-target-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string folder() const { return path.string() + "/"; }
};
} // namespace

TEST(DownloadAddress, HostPortAndPathAreCutFromTheAddress)
{
    AddressParts a = parseDownloadAddress("http://music.example.com/x/a.mp3");
    EXPECT_TRUE(a.ok);
    EXPECT_EQ(a.host, "music.example.com");
    EXPECT_EQ(a.port, 80);
    EXPECT_EQ(a.hostPath, "music.example.com/x/a.mp3");

    a = parseDownloadAddress("http://127.0.0.1:8080/a.mp3");
    EXPECT_TRUE(a.ok);
    EXPECT_EQ(a.host, "127.0.0.1");
    EXPECT_EQ(a.port, 8080);

    // No "/" after the host, an empty host, a port that is no number: nothing to connect to.
    EXPECT_FALSE(parseDownloadAddress("http://host.example").ok);
    EXPECT_FALSE(parseDownloadAddress("http:///a.mp3").ok);
    EXPECT_FALSE(parseDownloadAddress("http://host:80x/a.mp3").ok);
    EXPECT_FALSE(parseDownloadAddress("http://host:0/a.mp3").ok);
    EXPECT_FALSE(parseDownloadAddress("http://host:70000/a.mp3").ok);
    EXPECT_FALSE(parseDownloadAddress("").ok);
}

TEST(RangeSplit, FiveConnectionsShareOneByteBetweenNeighbours)
{
    const std::int64_t f = 1000003;
    const std::int64_t expected[5][2] = {
        {0, 200000}, {200000, 400000}, {400000, 600000}, {600000, 800000}, {800000, 1000003}};
    for (int i = 0; i < 5; ++i) {
        const ByteRange r = workerRange(f, 5, i);
        EXPECT_EQ(r.start, expected[i][0]) << i;
        EXPECT_EQ(r.end, expected[i][1]) << i;
    }
    // The last range keeps only up to the last byte.
    EXPECT_EQ(expectedRangeLength(workerRange(f, 5, 4), f), 200003);
    EXPECT_EQ(expectedRangeLength(workerRange(f, 5, 0), f), 200001);

    // Three connections for 900 bytes.
    EXPECT_EQ(workerRange(900, 3, 0).end, 300);
    EXPECT_EQ(workerRange(900, 3, 1).start, 300);
    EXPECT_EQ(workerRange(900, 3, 2).start, 600);
    EXPECT_EQ(workerRange(900, 3, 2).end, 900);
}

TEST(RangeSplit, SizesPastTwoGibibytesStayExact)
{
    const std::int64_t f = 5'000'000'123LL; // over 4 GiB
    const ByteRange last = workerRange(f, 5, 4);
    EXPECT_EQ(last.start, 4'000'000'096LL);
    EXPECT_EQ(last.end, f);
    EXPECT_EQ(expectedRangeLength(last, f), 1'000'000'027LL);
    EXPECT_EQ(workerRange(f, 5, 3).end, 4'000'000'096LL);
}

TEST(RangeSplit, FilesSmallerThanTheConnectionsStillCoverEveryByte)
{
    // L = 0: the first ranges ask for byte 0 only, the last for the whole file.
    EXPECT_EQ(expectedRangeLength(workerRange(3, 5, 0), 3), 1);
    EXPECT_EQ(expectedRangeLength(workerRange(3, 5, 4), 3), 3);
    EXPECT_EQ(expectedRangeLength(workerRange(1, 5, 4), 1), 1);
}

TEST(ClientTags, TagsNameSlotAndWorker)
{
    EXPECT_EQ(workerTag(0, 0), 100);
    EXPECT_EQ(workerTag(1, 2), 202);
    EXPECT_EQ(workerTag(2, 4), 304);
    EXPECT_EQ(tagSlot(149), 0);
    EXPECT_EQ(tagSlot(150), -1);
    EXPECT_EQ(tagSlot(6789), -1);
    EXPECT_EQ(tagWorker(203), 3);
    EXPECT_EQ(tagWorker(6789), -1);
    EXPECT_EQ(progressPanelText(202, 48000), gbk("文件2线程3：48000"));
    EXPECT_EQ(progressPanelText(100, 5), gbk("文件1线程1：5"));
    EXPECT_EQ(progressPanelText(6789, 1024), "1024");
}

TEST(ClientTags, ConnectionCountComesFromTheHiddenBox)
{
    EXPECT_EQ(connectionsFromText("5"), 5);
    EXPECT_EQ(connectionsFromText(" 3 "), 3);
    EXPECT_EQ(connectionsFromText("9"), 5);
    EXPECT_EQ(connectionsFromText("0"), 1);
    EXPECT_EQ(connectionsFromText("abc"), 5);
}

TEST(FallbackName, SearchTextRowAndTheAddressLastThreeCharacters)
{
    EXPECT_EQ(fallbackName("/m/", " abc ", 5, "http://h/x/song.mp3"), "/m/abc5.mp3");
    EXPECT_EQ(fallbackName("/m/", " abc ", 5, "http://h/x/song.rm"), "/m/abc5..rm");
    EXPECT_EQ(fallbackName("/m/", " abc ", 5, "http://h/x/songMrm"), "/m/abc5.rm");
    EXPECT_EQ(fallbackTypeText("  http://h/a.wma  "), "wma");
}

TEST(TargetSafety, NamesFromTheServiceCannotLeaveTheFolder)
{
    // Save paths kept from before names were made safe: the file is made directly in the folder.
    const struct {
        const char* savePath;
        const char* name;
        const char* type;
        const char* target;
    } table[] = {
        {"/m/abc.mp3", "abc", "mp3", "/m/abc.mp3"},
        {"/m/a..b.mp3", "a..b", "mp3", "/m/a..b.mp3"},
        {"/m/../../etc/x.mp3", "../../etc/x", "mp3", "/m/_.._etc_x.mp3"},
        {"/m/a.mp3/../../x", "a", "mp3/../../x", "/m/a.mp3_.._.._x"},
        {"/m/a\\b.mp3", "a\\b", "mp3", "/m/a_b.mp3"},
        {"/m/AC/DC.mp3", "AC/DC", "mp3", "/m/AC_DC.mp3"},
        {"/elsewhere/..", "x", "mp3", "/elsewhere/\xCE\xB4\xC3\xFC\xC3\xFB"}, // 未命名
    };
    for (const auto& row : table)
        EXPECT_EQ(safeTargetPath(row.savePath, row.name, row.type), row.target) << row.savePath;
    // A GBK character whose second byte is 0x5C is no backslash.
    const std::string name = gbk("数据");     // 0xCA 0xFD 0xBE 0xDD
    const std::string withTrail = "\x95\x5c"; // a GBK character with trail byte 0x5C
    EXPECT_TRUE(isPlainNamePart(name + withTrail));
    EXPECT_EQ(safeTargetPath("/m/" + name + withTrail + ".mp3", name + withTrail, "mp3"),
              "/m/" + name + withTrail + ".mp3");
    EXPECT_FALSE(isPlainNamePart(name + "/"));
}

TEST(TargetFile, AnExistingFileIsKeptUnlessItsRecordSaysItIsAPartOfThisOne)
{
    TempDir dir;
    const std::string path = dir.folder() + "abc.mp3";
    {
        std::ofstream(path) << "old content";
    }
    // Somebody's complete file: the next free name is used.
    TargetContext context;
    context.address = "http://h/a.mp3";
    context.size = 5000;
    TargetChoice t =
        createTargetFile(path, "abc", "mp3", dir.folder(), "x", 0, "http://h/a.mp3", context);
    EXPECT_EQ(t.path, dir.folder() + "abc(1).mp3");
    EXPECT_FALSE(t.fallback);
    EXPECT_EQ(fs::file_size(path), 11u);
    EXPECT_EQ(fs::file_size(t.path), 0u);

    // A name this run has written is passed over too.
    context.takenByRun = [&](const std::string& p) { return p == dir.folder() + "abc(1).mp3"; };
    t = createTargetFile(path, "abc", "mp3", dir.folder(), "x", 0, "http://h/a.mp3", context);
    EXPECT_EQ(t.path, dir.folder() + "abc(2).mp3");
    context.takenByRun = nullptr;

    // A part of this same file (address and length) is resumed as it is; a part of anything
    // else starts over in place.
    ASSERT_TRUE(writeResumeRecord(path, {5000, "http://h/a.mp3", {{100, 5000}}}));
    t = {}; // its lock held the earlier choice
    t = createTargetFile(path, "abc", "mp3", dir.folder(), "x", 0, "http://h/a.mp3", context);
    EXPECT_EQ(t.path, path);
    ASSERT_TRUE(t.resume);
    EXPECT_EQ(t.resume->missing.front().start, 100);
    EXPECT_EQ(fs::file_size(path), 11u);
    context.size = 6000;
    t = {};
    t = createTargetFile(path, "abc", "mp3", dir.folder(), "x", 0, "http://h/a.mp3", context);
    EXPECT_EQ(t.path, path);
    EXPECT_FALSE(t.resume);
    EXPECT_EQ(fs::file_size(path), 0u);
}

// A name with a slash once made the start loop raise, and a missing folder raised a message
// holding the song's name ("Access All Areas" closed the program). Each is a failure of its kind.
TEST(TargetFile, UnsafeNamesAreMadeSafeAndAMissingFolderFailsWithItsKind)
{
    TempDir dir;
    // A name too long for the file system is cut, not refused.
    const std::string longName(300, 'n');
    TargetChoice t = createTargetFile(dir.folder() + longName + ".mp3", longName, "mp3",
                                      dir.folder(), " abc ", 7, "http://h/a.mp3");
    EXPECT_FALSE(t.fallback);
    EXPECT_EQ(t.path, dir.folder() + std::string(242, 'n') + ".mp3");
    EXPECT_TRUE(fs::exists(t.path));

    // A name that climbs out of the folder stays in it, under a name a person recognises.
    fs::create_directories(dir.path / "music");
    const std::string music = dir.folder() + "music/";
    t = createTargetFile(music + "../escaped.mp3", "../escaped", "mp3", music, "abc", 2,
                         "http://h/a.mp3");
    EXPECT_EQ(t.path, music + "_escaped.mp3");
    EXPECT_FALSE(fs::exists(dir.path / "escaped.mp3"));
    t = createTargetFile(music + "AC/DC.mp3", "AC/DC", "mp3", music, "abc", 2, "http://h/a.mp3");
    EXPECT_EQ(t.path, music + "AC_DC.mp3");
    EXPECT_FALSE(fs::exists(dir.path / "music" / "AC"));

    // A folder that has gone is not made again; the failure names it and says what it is.
    const std::string gone = dir.folder() + "stick/";
    for (const char* name : {"Access All Areas", "Top 40 Hits"}) {
        try {
            createTargetFile(gone + name + ".mp3", name, "mp3", gone, "abc", 1, "http://h/a.mp3");
            FAIL() << "no error";
        } catch (const TransferFailure& e) {
            EXPECT_EQ(e.kind(), FailureKind::FolderMissing);
            EXPECT_EQ(std::string(e.what()), gbk("保存目录不存在：") + dir.folder() + "stick");
        }
        EXPECT_FALSE(fs::exists(gone));
    }

    // A folder that cannot be written (not for root, who writes anywhere).
    if (::geteuid() != 0) {
        const std::string locked = dir.folder() + "locked/";
        fs::create_directories(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        try {
            createTargetFile(locked + "a.mp3", "a", "mp3", locked, "abc", 1, "http://h/a.mp3");
            FAIL() << "no error";
        } catch (const TransferFailure& e) {
            EXPECT_EQ(e.kind(), FailureKind::FolderNotWritable);
        }
        fs::permissions(locked, fs::perms::owner_all);
    }
}
