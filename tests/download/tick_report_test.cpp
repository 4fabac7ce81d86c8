// The tick arithmetic, the completion report and the error classification.
#include "core/gbk.h"
#include "download/error_classification.h"
#include "download/tick_report.h"

#include <gtest/gtest.h>

#include <climits>

using namespace download;

namespace {
std::string gbk(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}
} // namespace

TEST(TickTexts, SpeedsAreWholeKilobytesPerSecond)
{
    EXPECT_EQ(speedText(2560), "2k/s");
    EXPECT_EQ(speedText(1023), "0k/s");
    EXPECT_EQ(speedText(1024 * 1024), "1024k/s");
    EXPECT_EQ(speedText(-4096), "0k/s");
    EXPECT_EQ(totalTimeText(17), gbk("总耗时：17秒"));
}

TEST(TickTexts, TheDisplayedSlotFollowsTheSelectedRow)
{
    EXPECT_EQ(displayedSlot(nullptr), 0);
    const std::string four = "4", five = "5", bad = "x";
    EXPECT_EQ(displayedSlot(&four), 1);
    EXPECT_EQ(displayedSlot(&five), 2);
    EXPECT_EQ(displayedSlot(&bad), 0);
}

TEST(Tick, OverallSpeedBarsAndSlotSpeed)
{
    TickInput in;
    in.workerBytes[0] = {1000, 2000, 0, 0, 0};
    in.workerBytes[1] = {10240, 10240, 10240, 10240, 10240};
    in.slotWorkers = {0, 5, 0};
    in.slotSize = {3000, 500000, 0};
    in.connectedCount = 5;
    in.displayedSlot = 1;
    in.lastByteSum = 3000 + 20480;
    in.barValues = {5120, 5120, 5120, 5120, 5120};

    const TickOutput out = computeTick(in);
    EXPECT_EQ(out.byteSum, 3000 + 51200);
    EXPECT_EQ(out.overallSpeed, "30k/s"); // 30,720 more bytes
    EXPECT_TRUE(out.barsChanged);
    EXPECT_EQ(out.barMaximum, 100000);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(out.barValues[k], 10240);
    EXPECT_EQ(out.slotSpeed, "25k/s"); // 25,600 more in the bars
    EXPECT_EQ(out.slotRunning, (std::array<bool, 3>{false, true, false}));
}

TEST(Tick, NoConnectionsLeavesTheBarsAlone)
{
    TickInput in;
    in.workerBytes[0] = {2560, 0, 0, 0, 0};
    in.barValues = {7, 7, 7, 7, 7};
    in.connectedCount = 0;
    const TickOutput out = computeTick(in);
    EXPECT_FALSE(out.barsChanged);
    EXPECT_EQ(out.barValues, in.barValues);
    EXPECT_EQ(out.overallSpeed, "2k/s");
}

TEST(Tick, BarsOfFilesPastTheIntRangeKeepTheirRatio)
{
    const BarScale half = scaleBar(3'000'000'000LL, 6'000'000'000LL);
    EXPECT_LE(half.maximum, INT_MAX);
    EXPECT_NEAR(static_cast<double>(half.value) / half.maximum, 0.5, 1e-6);
    const BarScale small = scaleBar(30, 100);
    EXPECT_EQ(small.maximum, 100);
    EXPECT_EQ(small.value, 30);
}

TEST(CompletionReport, SixLinesFromTheFileAsItWasStarted)
{
    ActiveFile file;
    file.listRow = 4;
    file.row.name = gbk("歌");
    file.row.address = "http://h/a.mp3";
    file.row.sizeText = "3.2M";
    file.row.savePath = "/m/a.mp3";
    file.targetPath = "/m/fallback4.mp3";
    const auto lines = completionReport("2026/1/2 03:04:05", gbk("歌"), file, "12");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "2026/1/2 03:04:05");
    EXPECT_EQ(lines[1], gbk("歌下载完毕!"));
    EXPECT_EQ(lines[2], gbk("保存地址：/m/fallback4.mp3"));
    EXPECT_EQ(lines[3], gbk("用时：12秒"));
    EXPECT_EQ(lines[4], gbk("下载地址：http://h/a.mp3"));
    EXPECT_EQ(lines[5], gbk("文件大小：3.2M"));
}

TEST(ErrorClass, LoweredMessageDecidesTheClass)
{
    ErrorClass c = classifyError("Access violation at address 0040A1B2");
    EXPECT_TRUE(c.fatal);
    EXPECT_TRUE(c.transfer); // also "40"

    c = classifyError("Socket Error # 111\r\nConnection refused");
    EXPECT_FALSE(c.fatal);
    EXPECT_TRUE(c.transfer);

    EXPECT_TRUE(classifyError("404 Not Found").transfer);
    EXPECT_TRUE(classifyError("409 Conflict").transfer);
    EXPECT_FALSE(classifyError("416 Requested Range Not Satisfiable").transfer);
    c = classifyError("Division by zero");
    EXPECT_FALSE(c.fatal);
    EXPECT_FALSE(c.transfer);
    EXPECT_TRUE(classifyError("ACCESS DENIED").fatal);
}

TEST(ErrorClass, MemoLinesLeaveOutWhatNeedsAMissingRow)
{
    ResumeRowTexts row{true, "3", gbk("歌")};
    const ErrorClass transfer{false, true};
    EXPECT_EQ(errorMemoLines("Socket Error # 111", row, transfer),
              (std::vector<std::string>{"Socket Error # 111", "3", gbk("歌不能下载")}));
    EXPECT_EQ(errorMemoLines("Division by zero", row, ErrorClass{}),
              (std::vector<std::string>{"Division by zero", "3"}));
    EXPECT_EQ(errorMemoLines("404 Not Found", ResumeRowTexts{}, transfer),
              (std::vector<std::string>{"404 Not Found"}));
}
