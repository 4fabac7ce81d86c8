// What the download list shows of each row: its state, its speed and the time left.
#include "download/row_state.h"

#include "core/gbk.h"
#include "download/failure.h"

#include <gtest/gtest.h>

using download::QueueRow;
using download::RowProgress;
using download::RowStatus;

namespace {
std::string gbk(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}
QueueRow queued(RowStatus status, const std::string& failure = {})
{
    QueueRow row;
    row.id = 7;
    row.status = status;
    row.failure = failure;
    return row;
}
} // namespace

TEST(RowState, EachStateHasItsText)
{
    const RowProgress half{7, 500, 1000};
    const RowProgress unknownSize{7, 500, -1};
    const std::string stopped = download::failureLine(download::FailureKind::Stopped, "");
    const std::string gone = gbk("保存目录不存在：/media/stick");
    const struct {
        QueueRow row;
        const RowProgress* progress;
        std::string text;
    } table[] = {
        {queued(RowStatus::Waiting), nullptr, gbk("等待")},
        {queued(RowStatus::Running), &half, gbk("下载中 50%")},
        {queued(RowStatus::Running), &unknownSize, gbk("下载中")},
        {queued(RowStatus::Running), nullptr, gbk("下载中")},
        {queued(RowStatus::Complete), nullptr, gbk("完成")},
        {queued(RowStatus::Failed, gone), nullptr, gbk("失败：") + gone},
        {queued(RowStatus::Failed, stopped), nullptr, gbk("已停止")},
    };
    for (const auto& c : table)
        EXPECT_EQ(download::stateText(c.row, c.progress), c.text) << core::gbkToUtf8(c.text);
}

TEST(RowState, SpeedAndTimeLeft)
{
    const struct {
        std::int64_t left;
        std::int64_t speed;
        std::string text;
    } table[] = {
        {1000, 100, gbk("10秒")},
        {1001, 100, gbk("11秒")},
        {6000, 100, gbk("1分00秒")},
        {36500, 100, gbk("6分05秒")},
        {0, 100, gbk("0秒")},
        {1000, 0, ""},
        {-1, 100, ""},
    };
    for (const auto& c : table)
        EXPECT_EQ(download::remainingText(c.left, c.speed), c.text) << c.left << " " << c.speed;
}

TEST(RowState, SpeedsComeFromTwoSamplesOfTheSameRow)
{
    download::RowSpeeds speeds;
    EXPECT_TRUE(speeds.sample({{1, 100, 1000}, {2, 0, 1000}}).empty()) << "no speed yet";
    auto now = speeds.sample({{1, 600, 1000}, {2, 50, 1000}});
    EXPECT_EQ(now[1], 500);
    EXPECT_EQ(now[2], 50);
    now = speeds.sample({{2, 70, 1000}, {3, 10, 1000}});
    EXPECT_EQ(now.count(1), 0u) << "a row that ended is forgotten";
    EXPECT_EQ(now[2], 20);
    EXPECT_EQ(now.count(3), 0u);
    // A file that started over (its bytes went back) shows no negative speed.
    EXPECT_EQ(speeds.sample({{2, 0, 1000}})[2], 0);
}

// The actions of a row's context menu, state by state, and whether "开始下载" takes the row.
TEST(RowState, TheActionsThatApplyToEachState)
{
    using A = download::RowAction;
    const std::string stopped = download::failureLine(download::FailureKind::Stopped, "");
    const struct {
        QueueRow row;
        bool pause, resume, remove, redownload, openFile, openFolder, start;
    } table[] = {
        // state                                  暂停   继续   删除  重新   文件   文件夹 开始
        {queued(RowStatus::Waiting), true, false, true, false, false, true, true},
        {queued(RowStatus::Running), true, false, true, false, false, true, false},
        {queued(RowStatus::Paused), false, true, true, false, false, true, false},
        {queued(RowStatus::Failed, gbk("网络错误：x")), false, false, true, true, false, true,
         true},
        {queued(RowStatus::Failed, stopped), true, false, true, true, false, true, true},
        {queued(RowStatus::Complete), false, false, true, true, true, true, false},
    };
    for (const auto& c : table) {
        const std::string state = core::gbkToUtf8(download::stateText(c.row, nullptr));
        EXPECT_EQ(download::actionApplies(A::Pause, c.row), c.pause) << state;
        EXPECT_EQ(download::actionApplies(A::Continue, c.row), c.resume) << state;
        EXPECT_EQ(download::actionApplies(A::Remove, c.row), c.remove) << state;
        EXPECT_EQ(download::actionApplies(A::Redownload, c.row), c.redownload) << state;
        EXPECT_EQ(download::actionApplies(A::OpenFile, c.row), c.openFile) << state;
        EXPECT_EQ(download::actionApplies(A::OpenFolder, c.row), c.openFolder) << state;
        EXPECT_EQ(download::startTakes(c.row), c.start) << state;
    }
}
