// Writing one range into the target file as it arrives.
#include "download/range_writer.h"

#include <gtest/gtest.h>

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
    ~TempFile() { fs::remove(path); }
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

// Feeds data in pieces of `piece` bytes.
void feed(RangeWriter& w, const std::string& data, std::size_t piece)
{
    for (std::size_t at = 0; at < data.size(); at += piece)
        w.write(std::string_view(data).substr(at, piece));
}

} // namespace

TEST(RangeWriter, RangeLandsAtItsOffsetThroughASmallBuffer)
{
    TempFile f;
    const std::int64_t size = 100000;
    const ByteRange r{40000, 60000};
    {
        RangeWriter w(f.path, r, size, 4096);
        w.begin(20001);
        feed(w, pattern(40000, 20001), 1000);
        EXPECT_TRUE(w.finish());
        EXPECT_EQ(w.bytesWritten(), 20001);
    }
    const std::string c = f.content();
    ASSERT_EQ(c.size(), 60001u);
    EXPECT_EQ(c.substr(40000), pattern(40000, 20001));
}

TEST(RangeWriter, AWholeFileAnswerIsCutToTheRange)
{
    TempFile f;
    const std::int64_t size = 50000;
    const ByteRange r{20000, 30000};
    RangeWriter w(f.path, r, size, 4096);
    w.begin(size); // the server ignored the Range header
    feed(w, pattern(0, size), 777);
    EXPECT_TRUE(w.finish());
    const std::string c = f.content();
    ASSERT_EQ(c.size(), 30001u);
    EXPECT_EQ(c.substr(20000), pattern(20000, 10001));
    EXPECT_EQ(c.substr(0, 20000), std::string(20000, '\0'));
}

TEST(RangeWriter, ABodyOfAnotherLengthIsNotTheRange)
{
    TempFile f;
    RangeWriter w(f.path, ByteRange{0, 100}, 1000, 4096);
    w.begin(57);
    w.write(std::string(57, 'x'));
    EXPECT_TRUE(w.rejected());
    w.finish();
    EXPECT_EQ(fs::file_size(f.path), 0u);
}

TEST(RangeWriter, AnUnannouncedBodyNeverRunsPastTheRangeEnd)
{
    TempFile f;
    RangeWriter w(f.path, ByteRange{0, 9}, 100, 4096);
    w.begin(0);
    w.write(std::string(50, 'y'));
    w.finish();
    EXPECT_EQ(f.content(), std::string(10, 'y'));
}

TEST(RangeWriter, WhatArrivedBeforeAFailureIsOnDisk)
{
    TempFile f;
    {
        RangeWriter w(f.path, ByteRange{1000, 2000000}, 4000000, 64 * 1024);
        w.begin(1999001);
        feed(w, pattern(1000, 5000), 1500); // then the connection breaks
        // the destructor writes out the buffer
    }
    const std::string c = f.content();
    ASSERT_EQ(c.size(), 6000u);
    EXPECT_EQ(c.substr(1000), pattern(1000, 5000));
}

TEST(RangeWriter, OffsetsPastFourGibibytes)
{
    TempFile f;
    const std::int64_t size = 5'000'000'123LL;
    const ByteRange r{4'000'000'096LL, size};
    {
        RangeWriter w(f.path, r, size, 4096);
        w.begin(1'000'000'027LL);
        w.write("tail-bytes");
        w.finish();
    }
    EXPECT_EQ(fs::file_size(f.path), static_cast<std::uintmax_t>(4'000'000'096LL + 10));
    std::ifstream in(f.path, std::ios::binary);
    in.seekg(4'000'000'096LL);
    std::string back(10, '\0');
    in.read(back.data(), 10);
    EXPECT_EQ(back, "tail-bytes");
}
