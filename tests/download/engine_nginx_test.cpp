// The transfer engine against a real nginx: whole files three at a time, and a file past
// 2 GiB fetched whole and right.
#include "engine_test_support.h"
#include "nginx_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

using namespace enginetest;

namespace {

bool sameFiles(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::FILE* fa = std::fopen(a.c_str(), "rb");
    std::FILE* fb = std::fopen(b.c_str(), "rb");
    bool same = fa && fb;
    std::string ba(1 << 20, '\0'), bb(1 << 20, '\0');
    while (same) {
        const std::size_t na = std::fread(ba.data(), 1, ba.size(), fa);
        const std::size_t nb = std::fread(bb.data(), 1, bb.size(), fb);
        if (na != nb || std::memcmp(ba.data(), bb.data(), na) != 0)
            same = false;
        if (na == 0)
            break;
    }
    if (fa)
        std::fclose(fa);
    if (fb)
        std::fclose(fb);
    return same;
}

} // namespace

TEST(EngineNginx, FourFilesThreeAtATimeArriveByteForByte)
{
    Nginx nginx;
    const std::int64_t sizes[] = {64 << 20, 1, 900, 1000003};
    EngineRun run;
    std::vector<std::string> saved;
    for (int i = 0; i < 4; ++i) {
        writePatternFile(nginx.root() / ("n" + std::to_string(i) + ".mp3"), sizes[i]);
        saved.push_back(
            run.addRow(nginx.url("/n" + std::to_string(i) + ".mp3"), "n" + std::to_string(i)));
    }
    ASSERT_TRUE(run.startAndWait());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(std::filesystem::file_size(saved[i]), static_cast<std::uintmax_t>(sizes[i]));
        EXPECT_TRUE(sameFiles(saved[i], nginx.root() / ("n" + std::to_string(i) + ".mp3"))) << i;
    }
    EXPECT_TRUE(run.countersAtRest());
    for (const auto& row : run.observer.activeRows())
        EXPECT_EQ(row.endNotifications, 5);
}

TEST(EngineNginx, AFilePastTwoGibibytesIsFetchedWholeAndRight)
{
    Nginx nginx;
    // A sparse file of 2.25 GiB with distinct marked blocks across it, the last at its end:
    // a range written at a wrong (say, 32-bit wrapped) offset moves a marker.
    const std::int64_t size = (9LL << 30) / 4 + 12345;
    const auto source = nginx.root() / "big.mp3";
    {
        std::FILE* f = std::fopen(source.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        for (std::int64_t at = 0; at < size; at += 97LL << 20) {
            const std::string mark = "block at " + std::to_string(at) + std::string(4000, '#');
            ::fseeko(f, at, SEEK_SET);
            std::fwrite(mark.data(), 1, std::min<std::int64_t>(mark.size(), size - at), f);
        }
        ::fseeko(f, size - 9, SEEK_SET);
        std::fwrite("last-byte", 1, 9, f);
        std::fclose(f);
    }
    ASSERT_EQ(std::filesystem::file_size(source), static_cast<std::uintmax_t>(size));
    // The fetched copy is not sparse: without room for it the test cannot say anything.
    const std::uintmax_t room = std::filesystem::space("/tmp").available;
    if (room < static_cast<std::uintmax_t>(size) + (1ULL << 30))
        GTEST_SKIP() << "needs " << (size >> 20) + 1024 << " MiB free in /tmp, has "
                     << (room >> 20);
    EngineRun run;
    const std::string saved = run.addRow(nginx.url("/big.mp3"), "big");
    ASSERT_TRUE(run.startAndWait(std::chrono::seconds(600)));
    EXPECT_EQ(run.engine.fileSize(), size);
    EXPECT_EQ(std::filesystem::file_size(saved), static_cast<std::uintmax_t>(size));
    EXPECT_TRUE(sameFiles(saved, source));
    EXPECT_TRUE(run.countersAtRest());
}
