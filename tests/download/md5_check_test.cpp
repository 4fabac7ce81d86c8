// The MD5 check of a finished download: a good file, one bad copy then a good one, two bad
// copies, a second fetch that fails; and the whole-file fetch over the loopback server.
#include "core/gbk.h"
#include "download/file_transfer.h"
#include "download/md5_check.h"
#include "http/http_client.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace download;

namespace {

// MD5 of "The quick brown fox jumps over the lazy dog" (RFC 1321 test suite neighbour, widely
// published) and of the empty text.
const char* const kFox = "The quick brown fox jumps over the lazy dog";
const char* const kFoxMd5 = "9e107d9d372bb6826bd81d3542a419d6";
const char* const kEmptyMd5 = "d41d8cd98f00b204e9800998ecf8427e";

class Md5CheckTest : public ::testing::Test {
protected:
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("md5-check-" + std::to_string(::getpid()) + "-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::string path = (dir / "song.mp3").string();
    int fetches = 0;

    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void write(const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string read()
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // A second fetch that writes `bytes`.
    std::function<std::string()> refetchWriting(std::string bytes)
    {
        return [this, bytes] {
            ++fetches;
            write(bytes);
            return std::string();
        };
    }
};

} // namespace

TEST_F(Md5CheckTest, SumsOfKnownTextsAndOfAFilesFirstBytes)
{
    write(kFox);
    EXPECT_EQ(fileMd5(path), kFoxMd5);
    write(std::string(kFox) + "trailing bytes past the size");
    EXPECT_EQ(fileMd5(path, 43), kFoxMd5);
    EXPECT_EQ(fileMd5(path, 0), kEmptyMd5);
    EXPECT_EQ(fileMd5(path, 1000), ""); // shorter than asked
    EXPECT_EQ(fileMd5((dir / "missing").string()), "");
}

TEST_F(Md5CheckTest, AGoodFileIsKeptWithoutASecondFetch)
{
    write(kFox);
    EXPECT_EQ(checkMd5(path, 43, kFoxMd5, refetchWriting("x")), "");
    EXPECT_EQ(fetches, 0);
    EXPECT_EQ(read(), kFox);
    // Nothing published, nothing to check.
    write("anything");
    EXPECT_EQ(checkMd5(path, 8, "", refetchWriting("x")), "");
    EXPECT_EQ(fetches, 0);
}

TEST_F(Md5CheckTest, OneBadCopyIsFetchedAgainAndTheGoodOneKept)
{
    write("The quick brown fox jumps over the lazy cat");
    EXPECT_EQ(checkMd5(path, 43, kFoxMd5, refetchWriting(kFox)), "");
    EXPECT_EQ(fetches, 1);
    EXPECT_EQ(read(), kFox);
}

TEST_F(Md5CheckTest, TwoBadCopiesFailAndLeaveNoFileBehind)
{
    write("The quick brown fox jumps over the lazy cat");
    EXPECT_EQ(
        checkMd5(path, 43, kFoxMd5, refetchWriting("The quick brown fox jumps over the lazy hog")),
        core::utf8ToGbk("校验失败：MD5 不符"));
    EXPECT_EQ(fetches, 1);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(Md5CheckTest, ASecondFetchThatFailsSaysWhyAndLeavesNoFileBehind)
{
    write("bad");
    EXPECT_EQ(checkMd5(path, 3, kFoxMd5, [] { return std::string("Socket Error # 111"); }),
              "Socket Error # 111");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(Md5CheckTest, AFinishedTransferIsFetchedWholeAgainOverItsClient)
{
    testsupport::LoopbackServer server;
    server.addFixedFile("/fox.mp3", kFox);
    http::HttpClient client;
    client.rangeStart = 10; // left over from the worker's range
    client.rangeEnd = 20;

    // A copy damaged on disk: the second fetch brings the whole file, without a range.
    write("The quick brown fox jumps over the lazy cat");
    FileTransfer file(0, 0, path, server.url("/fox.mp3"), server.url("/fox.mp3"),
                      SegmentMap(43, {}));
    file.expectedMd5 = kFoxMd5;
    EXPECT_FALSE(checkFileSum(file, client));
    EXPECT_FALSE(file.failed());
    EXPECT_EQ(read(), kFox);
    EXPECT_FALSE(server.lastRequestFor("/fox.mp3").hasHeader("Range"));

    // The service keeps sending bytes that do not match: the file fails and is gone.
    FileTransfer wrong(0, 0, path, server.url("/fox.mp3"), server.url("/fox.mp3"),
                       SegmentMap(43, {}));
    wrong.expectedMd5 = kEmptyMd5;
    EXPECT_TRUE(checkFileSum(wrong, client));
    EXPECT_TRUE(wrong.failed());
    EXPECT_EQ(wrong.failureReason(), core::utf8ToGbk("校验失败：MD5 不符"));
    EXPECT_FALSE(std::filesystem::exists(path));

    // A file that already failed, or one without a published sum, is left alone.
    write("x");
    FileTransfer failed(0, 0, path, server.url("/fox.mp3"), server.url("/fox.mp3"),
                        SegmentMap(1, {}));
    failed.expectedMd5 = kFoxMd5;
    failed.fail("earlier");
    EXPECT_FALSE(checkFileSum(failed, client));
    EXPECT_EQ(read(), "x");
    EXPECT_EQ(server.requestCount(), 2u);
}

// A server whose answer is far longer than the listed file once filled the disk through the
// second fetch (1.4 GB for a file listed at 200,000 bytes). The second fetch stops at the size.
TEST_F(Md5CheckTest, TheSecondFetchStopsAtTheListedSize)
{
    constexpr std::int64_t kListed = 200000;
    testsupport::LoopbackServer server;
    server.addGeneratedFile("/long.mp3", 8 << 20);
    http::HttpClient client;

    EXPECT_EQ(fetchWhole(client, server.url("/long.mp3"), path, kListed), "");
    EXPECT_EQ(std::filesystem::file_size(path), static_cast<std::uintmax_t>(kListed));
    EXPECT_EQ(testsupport::firstGeneratedMismatch(0, read()), -1);

    // Through the check of a finished file: the copy on disk is damaged, the second fetch
    // brings the listed bytes and no more, and the file passes.
    write(testsupport::generatedBytes(0, kListed));
    const std::string good = fileMd5(path);
    write(std::string(kListed, 'x'));
    FileTransfer file(0, 0, path, server.url("/long.mp3"), server.url("/long.mp3"),
                      SegmentMap(kListed, {}));
    file.expectedMd5 = good;
    EXPECT_FALSE(checkFileSum(file, client));
    EXPECT_EQ(std::filesystem::file_size(path), static_cast<std::uintmax_t>(kListed));

    // A sum that never matches: the file fails with the checksum's reason, nothing stays.
    FileTransfer wrong(0, 0, path, server.url("/long.mp3"), server.url("/long.mp3"),
                       SegmentMap(kListed, {}));
    wrong.expectedMd5 = kFoxMd5;
    write(std::string(kListed, 'x'));
    EXPECT_TRUE(checkFileSum(wrong, client));
    EXPECT_EQ(wrong.failureReason(), core::utf8ToGbk("校验失败：MD5 不符"));
    EXPECT_FALSE(std::filesystem::exists(path));
}
