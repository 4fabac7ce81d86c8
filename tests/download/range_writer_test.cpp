// The segment bookkeeping of a file, the checks of an answer's head, writing a span as it
// arrives, and the resume record.
#include "download/range_writer.h"
#include "download/resume_record.h"
#include "download/segment_map.h"
#include "download/target_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace download;

namespace {

struct TempFile {
    std::string path;
    TempFile()
    {
        char pattern[] = "/tmp/corvale-range-XXXXXX";
        const int fd = ::mkstemp(pattern);
        ::close(fd);
        path = pattern;
    }
    ~TempFile()
    {
        fs::remove(path);
        fs::remove(path + ".part");
    }
    std::string content() const
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

std::string pattern(std::int64_t from, std::size_t n)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('a' + (from + static_cast<std::int64_t>(i)) % 23);
    return s;
}

} // namespace

TEST(SegmentMap, FirstSplitReSplitAndWhatIsMissing)
{
    // The first split is the engine's: 1,000,003 bytes on five connections.
    SegmentMap map = SegmentMap::split(1000003, 5);
    auto c = map.claim(4, 100000);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->start, 800000);
    EXPECT_EQ(c->stop, 1000003);
    EXPECT_EQ(map.claim(0, 100000)->stop, 200000);

    // Worker 4 finishes; worker 0 has 50,000 bytes on disk and 50,000 handed to its writer.
    EXPECT_EQ(map.reserve(4, 800000, 300000), 200003) << "never past the span's end";
    map.written(4, 1000003);
    EXPECT_EQ(map.reserve(0, 0, 100000), 100000);
    map.written(0, 50000);
    EXPECT_EQ(map.missingBytes(), 1000003 - 200003 - 50000);
    // Worker 4 now takes the upper half of the largest running span (worker 0's or another's:
    // all have 200,000 bytes; worker 0's has 100,000 left after what it has taken).
    c = map.claim(4, 100000);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->stop - c->start, 100000);
    EXPECT_EQ(c->start % 200000, 100000);
    // Below the least worth splitting nothing is taken.
    SegmentMap small = SegmentMap::split(900, 3);
    small.claim(2, 1);
    small.written(2, 900);
    EXPECT_FALSE(small.claim(2, 1 << 20));

    // The worker that had the span stops at the new boundary.
    SegmentMap two = SegmentMap::split(4 << 20, 1);
    ASSERT_TRUE(two.claim(0, 1 << 20));
    two.reserve(0, 0, 1 << 20);
    two.written(0, 1 << 20);
    const auto upper = two.claim(1, 1 << 20);
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->start, (1 << 20) + (3 << 20) / 2);
    EXPECT_EQ(two.reserve(0, upper->start - 10, 100), 10);
    EXPECT_EQ(two.missing(),
              (std::vector<ByteSpan>{{1 << 20, upper->start}, {upper->start, 4 << 20}}));
    EXPECT_FALSE(two.complete());
    two.written(0, upper->start);
    two.reserve(1, upper->start, 4 << 20);
    two.written(1, 4 << 20);
    EXPECT_TRUE(two.complete());

    // A file of unknown length is complete once its one request ended cleanly.
    SegmentMap unknown(-1, {});
    EXPECT_TRUE(unknown.claim(0, 1));
    EXPECT_FALSE(unknown.claim(1, 1)) << "one connection only";
    EXPECT_FALSE(unknown.complete());
    unknown.finishUnknown(1234);
    EXPECT_TRUE(unknown.complete());
    EXPECT_EQ(unknown.size(), 1234);
}

TEST(SegmentMap, SlowSpansAreSplitWhenTheirConnectionWouldHoldTheFileSoThatBothEndTogether)
{
    // Four spans of 1,000,000 bytes, less than the 1 MiB that is always worth splitting.
    const download::SplitRule rule{1 << 20, 256 * 1024, std::chrono::milliseconds(250)};
    const auto t0 = SegmentMap::Clock::time_point{} + std::chrono::hours(1);
    const auto at = [&](int ms) { return t0 + std::chrono::milliseconds(ms); };
    SegmentMap map = SegmentMap::split(4000000, 4);
    for (int w = 0; w < 4; ++w)
        ASSERT_TRUE(map.claim(w, rule, t0));
    map.reserve(0, 0, 1000000); // worker 0 is done
    map.written(0, 1000000);
    map.reserve(1, 1000000, 700000); // fast: 300,000 left, 0.13 s at its speed
    map.reserve(2, 2000000, 100000); // slow: 900,000 left, 2.7 s at its speed
    map.reserve(3, 3000000, 900000); // 100,000 left: too little to split at any speed

    EXPECT_FALSE(map.claim(0, rule, at(200))) << "watched for less than the tail time";
    EXPECT_FALSE(map.claim(0, 1 << 20)) << "sizes alone: nothing worth splitting";
    const auto c = map.claim(0, rule, at(300));
    ASSERT_TRUE(c);
    // Worker 0 fetched 1,000,000 bytes in the 200 ms before it first asked, the slow
    // connection 100,000 in 300 ms: the slow one keeps 1/16 of its 900,000 left, what it
    // fetches while worker 0 fetches the rest.
    EXPECT_EQ(c->start, 2100000 + 56250);
    EXPECT_EQ(c->stop, 3000000);
    // Worker 1 finishes. The slow span's rest is what its connection fetches in time, and
    // worker 0's new span, as large, has been watched for 100 ms only: nothing to split.
    map.reserve(1, 1700000, 300000);
    map.written(1, 2000000);
    EXPECT_FALSE(map.claim(1, rule, at(400)));

    // A connection faster than the one that claims keeps half, no more.
    SegmentMap uneven(5000000, {{0, 4000000}, {4000000, 5000000}});
    ASSERT_TRUE(uneven.claim(0, rule, t0));
    ASSERT_TRUE(uneven.claim(1, rule, t0));
    uneven.reserve(0, 0, 2000000); // 2 MB/s
    uneven.reserve(1, 4000000, 1000000);
    uneven.written(1, 5000000); // 1 MB/s
    const auto half = uneven.claim(1, rule, at(1000));
    ASSERT_TRUE(half);
    EXPECT_EQ(half->start, 3000000);
    EXPECT_EQ(half->stop, 4000000);
}

TEST(AnswerCheck, OnlyTheAskedBytesOfTheProbedFileAreTaken)
{
    EXPECT_TRUE(checkAnswer(206, 101, "bytes 100-200/1000", 100, 1000).ok);
    // An end past the file, as some servers echo it, means the file's last byte.
    EXPECT_TRUE(checkAnswer(206, 100, "bytes 900-1000/1000", 900, 1000).ok);
    EXPECT_FALSE(checkAnswer(206, 1101, "bytes 0-1100/5000", 1000, 5000).ok) << "wrong start";
    EXPECT_FALSE(checkAnswer(206, 101, "bytes 100-200/999", 100, 1000).ok) << "wrong total";
    EXPECT_FALSE(checkAnswer(206, 50, "bytes 100-200/1000", 100, 1000).ok) << "wrong length";
    EXPECT_FALSE(checkAnswer(206, -1, "", 100, 1000).ok) << "no Content-Range";
    EXPECT_FALSE(checkAnswer(206, -1, "bytes */1000", 100, 1000).ok);
    // A 200 is the whole file: the asked part is cut out of it.
    const AnswerCheck whole = checkAnswer(200, 1000, "", 300, 1000);
    EXPECT_TRUE(whole.ok);
    EXPECT_EQ(whole.skip, 300);
    EXPECT_TRUE(checkAnswer(200, -1, "", 300, 1000).ok);
    EXPECT_FALSE(checkAnswer(200, 57, "", 0, 1000).ok);
    // Unknown length: any 2xx; a new try keeps what is new.
    EXPECT_EQ(checkAnswer(200, -1, "", 4096, -1).skip, 4096);
    EXPECT_FALSE(checkAnswer(503, -1, "", 0, 1000).ok);
}

TEST(RangeWriter, KeepsItsSpanAtItsOffsetThroughASmallBufferAndStopsAtTheEnd)
{
    TempFile f;
    const std::int64_t size = 100000;
    SegmentMap map = SegmentMap::split(size, 5);
    ASSERT_TRUE(map.claim(2, 1 << 20));
    const int fd = ::open(f.path.c_str(), O_WRONLY);
    std::string buffer(4096, '\0');
    // A whole-file answer: the first 40,000 bytes are dropped, then the span is kept.
    RangeWriter w(fd, map, 2, 40000, 40000, buffer);
    const std::string body = pattern(0, static_cast<std::size_t>(size));
    bool ended = false;
    try {
        for (std::size_t at = 0; at < body.size(); at += 999)
            w.write(std::string_view(body).substr(at, 999));
    } catch (const SpanEnded&) {
        ended = true;
    }
    ::close(fd);
    EXPECT_TRUE(ended);
    EXPECT_EQ(map.remaining(2), 0);
    const std::string data = f.content();
    ASSERT_EQ(data.size(), 60000u);
    EXPECT_EQ(data.substr(40000), pattern(40000, 20000));
    EXPECT_EQ(map.missingBytes(), size - 20000);
}

TEST(RangeWriter, AWriteThatFailsSaysWhy)
{
    SegmentMap map = SegmentMap::split(100, 1);
    map.claim(0, 1);
    std::string buffer(4096, '\0');
    const int fd = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(fd, 0);
    RangeWriter w(fd, map, 0, 0, 0, buffer);
    w.write(pattern(0, 100));
    try {
        w.flush();
        FAIL() << "no error";
    } catch (const WriteFailed& e) {
        EXPECT_STREQ(e.what(), "No space left on device");
    }
    ::close(fd);
    EXPECT_EQ(map.missingBytes(), 100);
}

TEST(ResumeRecord, RoundTripsAndADamagedOneIsIgnored)
{
    TempFile f;
    EXPECT_FALSE(readResumeRecord(f.path));
    const ResumeRecord record{
        1000, "http://h/a.mp3", {{0, 10}, {500, 1000}}, "\"e1\"", "Mon, 07 Dec 2026 10:00:00 GMT"};
    ASSERT_TRUE(writeResumeRecord(f.path, record));
    const auto back = readResumeRecord(f.path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size, 1000);
    EXPECT_EQ(back->address, "http://h/a.mp3");
    EXPECT_EQ(back->missing, record.missing);
    EXPECT_EQ(back->etag, record.etag);
    EXPECT_EQ(back->lastModified, record.lastModified);

    // The same file only when address, length and both validators agree; If-Range names it
    // by a strong ETag, else by its date.
    EXPECT_TRUE(sameFile(*back, "http://h/a.mp3", 1000, "\"e1\"", record.lastModified));
    EXPECT_FALSE(sameFile(*back, "http://h/a.mp3", 1000, "\"e2\"", record.lastModified));
    EXPECT_FALSE(sameFile(*back, "http://h/a.mp3", 1000, "\"e1\"", ""));
    EXPECT_FALSE(sameFile(*back, "http://h/a.mp3", 999, "\"e1\"", record.lastModified));
    EXPECT_EQ(ifRangeValue(*back), "\"e1\"");
    ResumeRecord weak = *back;
    weak.etag = "W/\"e1\"";
    EXPECT_EQ(ifRangeValue(weak), record.lastModified);

    const char* damaged[] = {
        "",
        "corvale-part 1\nsize 1000\naddress http://h/a.mp3\nmissing 0 10\n", // cut short
        "corvale-part 1\nsize x\naddress a\nend\n",
        "corvale-part 1\nsize 1000\naddress a\nmissing 500 400\nend\n",
        "corvale-part 1\nsize 1000\naddress a\nmissing 0 1001\nend\n",
        "corvale-part 1\nsize 1000\naddress a\nmissing 500 600\nmissing 0 10\nend\n",
        "corvale-part 1\nsize 1000\naddress a\nmissing 1 2 3\nend\n",
        "\xff\xfe garbage",
    };
    for (const char* text : damaged) {
        std::ofstream(f.path + ".part", std::ios::binary | std::ios::trunc) << text;
        EXPECT_FALSE(readResumeRecord(f.path)) << text;
    }
}

TEST(TargetNames, NumberedVariantsGoBeforeTheExtension)
{
    EXPECT_EQ(numberedPath("/m/song.mp3", 1), "/m/song(1).mp3");
    EXPECT_EQ(numberedPath("/m/a.b/song", 2), "/m/a.b/song(2)");
    EXPECT_EQ(numberedPath("/m/.hidden", 3), "/m/.hidden(3)");
}
