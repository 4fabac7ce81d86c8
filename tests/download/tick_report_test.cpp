// The tick arithmetic, the completion report and the error classification.
#include "core/gbk.h"
#include "download/error_classification.h"
#include "download/tick_report.h"

#include "download/failure.h"
#include "http/http_client.h"

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
    in.slotConnected = {0, 5, 0};
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
    in.slotConnected = {0, 5, 5};
    const TickOutput out = computeTick(in);
    EXPECT_FALSE(out.barsChanged);
    EXPECT_EQ(out.barValues, in.barValues);
    EXPECT_EQ(out.overallSpeed, "2k/s");
}

// With more than three rows the bars froze at 0 % while bytes arrived: the start loop's one
// connection count was 0 while it waited for a slot. Each slot keeps its own.
TEST(Tick, TheBarsOfARunningSlotMoveWhileTheStartLoopWaitsForAnother)
{
    TickInput in;
    in.workerBytes[0] = {100, 200, 300, 400, 500};
    in.slotSize = {5000, 0, 0};
    in.slotWorkers = {5, 5, 5};
    in.slotConnected = {5, 5, 5};
    in.displayedSlot = 0;
    const TickOutput out = computeTick(in);
    ASSERT_TRUE(out.barsChanged);
    EXPECT_EQ(out.barMaximum, 1000);
    EXPECT_EQ(out.barValues, (std::array<std::int64_t, 5>{100, 200, 300, 400, 500}));
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

// The handler decides on the kind an exception carries. The words of a message decide nothing:
// a song may be named "Access All Areas" or "Top 40 Hits" (these sorted by their words once, and
// a missing folder closed the program).
TEST(ErrorClass, TheKindDecidesNeverTheWordsOfTheMessage)
{
    using download::FailureKind;
    using download::HandlerAction;
    const struct {
        FailureKind kind;
        HandlerAction action;
    } table[] = {
        {FailureKind::NameUnusable, HandlerAction::FailRow},
        {FailureKind::FolderMissing, HandlerAction::FailRow},
        {FailureKind::FolderNotWritable, HandlerAction::FailRow},
        {FailureKind::DiskFull, HandlerAction::FailRow},
        {FailureKind::Network, HandlerAction::FailRow},
        {FailureKind::Certificate, HandlerAction::FailRow},
        {FailureKind::Proxy, HandlerAction::FailRow},
        {FailureKind::ServerAnswer, HandlerAction::FailRow},
        {FailureKind::ServerFileChanged, HandlerAction::FailRow},
        {FailureKind::Checksum, HandlerAction::FailRow},
        {FailureKind::TooSlow, HandlerAction::FailRow},
        {FailureKind::TooLong, HandlerAction::FailRow},
        {FailureKind::BadAddress, HandlerAction::FailRow},
        {FailureKind::Stopped, HandlerAction::LogOnly},
        {FailureKind::ProgramFault, HandlerAction::Fatal},
    };
    for (const auto& row : table) {
        EXPECT_EQ(download::handlerActionFor(row.kind), row.action) << static_cast<int>(row.kind);
        // Whatever the message says, a failure of the kind is handled as the kind says.
        for (const char* words : {"/gone/Access All Areas.mp3", "Top 40 Hits", "socket"}) {
            const download::TransferFailure failure(row.kind, words);
            const ErrorClass c = classifyError(failure);
            EXPECT_EQ(c.fatal, row.action == HandlerAction::Fatal) << words;
            EXPECT_EQ(c.transfer, row.action == HandlerAction::FailRow) << words;
            EXPECT_EQ(std::string(failure.what()).rfind(download::kindLine(row.kind), 0), 0u);
        }
    }

    // Failures of the HTTP client carry their kind too.
    EXPECT_TRUE(
        classifyError(http::HttpError("404 Not Found", FailureKind::ServerAnswer)).transfer);
    EXPECT_TRUE(classifyError(http::HttpError("Socket Error # 111\r\nrefused")).transfer);
    // A fault of the program itself is fatal; a refused conversion or any other exception, whatever
    // it says, is only logged.
    EXPECT_TRUE(classifyError(std::bad_alloc()).fatal);
    EXPECT_TRUE(classifyError(std::logic_error("broken invariant")).fatal);
    const std::runtime_error access("Access violation at address 0040A1B2");
    const std::runtime_error notFound("404 Not Found");
    const std::invalid_argument conversion("stoi");
    for (const std::exception* e : {static_cast<const std::exception*>(&access),
                                    static_cast<const std::exception*>(&notFound),
                                    static_cast<const std::exception*>(&conversion)}) {
        const ErrorClass c = classifyError(*e);
        EXPECT_FALSE(c.fatal) << e->what();
        EXPECT_FALSE(c.transfer) << e->what();
    }
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
