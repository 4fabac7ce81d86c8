// The download list's table model over the queue: rows matched by id, changes from any thread
// applied on the window's thread together, state columns from the queue and the tick.
#include "core/gbk.h"
#include "download/download_queue.h"
#include "download/failure.h"
#include "gui/download_list_view.h"
#include "gui/download_table_model.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace {

using download::RowStatus;
using Column = gui::DownloadTableModel::Column;

class DownloadTableModelTest : public ::testing::Test {
protected:
    download::DownloadQueue queue;

    static core::SongEntry row(int n)
    {
        const std::string s = std::to_string(n);
        return {s, 0, {"song" + s, "http://h/" + s + ".mp3", "1M", "mp3", "/m/song" + s + ".mp3"}};
    }
    // Waits for the model to apply what was posted to it.
    static bool shown(const gui::DownloadTableModel& model)
    {
        return QTest::qWaitFor([&] { return !model.pending(); });
    }
    static std::vector<std::uint64_t> ids(const gui::DownloadTableModel& model)
    {
        std::vector<std::uint64_t> all;
        for (int i = 0; i < model.rowCount(); ++i)
            all.push_back(model.row(i).id);
        return all;
    }
    static QString cell(const gui::DownloadTableModel& model, int row, int column)
    {
        return model.index(row, column).data().toString();
    }
};

// Rows come, go and change where they stand, each kind of change in one signal, and the view
// keeps its selection on the same rows.
TEST_F(DownloadTableModelTest, RowsComeGoAndChangeByIdAndTheSelectionStaysOnTheSameRows)
{
    for (int n = 1; n <= 4; ++n)
        queue.append(row(n));
    gui::DownloadTableModel model(queue);
    gui::DownloadListView view;
    view.setDownloadModel(&model);
    ASSERT_EQ(ids(model), (std::vector<std::uint64_t>{1, 2, 3, 4}));
    EXPECT_EQ(cell(model, 0, Column::Name), "song1");
    EXPECT_EQ(cell(model, 0, Column::SavePath), "/m/song1.mp3");
    EXPECT_EQ(cell(model, 0, Column::State), "等待");
    EXPECT_EQ(model.index(0, Column::Name).data(Qt::ToolTipRole).toString(), "song1");
    view.setRowSelected(1, true);
    view.setRowSelected(3, true);

    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    queue.remove(0);
    queue.remove(1); // the row with id 3
    queue.append(row(5));
    queue.append(row(6));
    queue.setStatus(2, RowStatus::Failed, core::utf8ToGbk("网络错误：x"));
    queue.setStatus(4, RowStatus::Complete);
    EXPECT_EQ(model.rowCount(), 4) << "the model changes in its queued call only";
    ASSERT_TRUE(shown(model));

    EXPECT_EQ(ids(model), (std::vector<std::uint64_t>{2, 4, 5, 6}));
    ASSERT_EQ(removed.size(), 2); // two runs of rows gone, the later first
    EXPECT_EQ(removed[0].mid(1), (QVariantList{2, 2}));
    EXPECT_EQ(removed[1].mid(1), (QVariantList{0, 0}));
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0].mid(1), (QVariantList{2, 3}));
    ASSERT_EQ(changed.size(), 1) << "the two changed rows stand together";
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 0);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 1);
    EXPECT_EQ(reset.size(), 0);
    EXPECT_EQ(cell(model, 0, Column::State), "失败：网络错误：x");
    EXPECT_EQ(cell(model, 1, Column::State), "完成");
    EXPECT_EQ(view.selectedRows(), (std::vector<int>{0, 1}))
        << "the rows selected before (ids 2 and 4), where they stand now";

    // Nothing changed: nothing is signalled. A list read back replaces every row.
    changed.clear();
    queue.setStatus(2, RowStatus::Failed, core::utf8ToGbk("网络错误：x"));
    queue.replace(queue.rows());
    ASSERT_TRUE(shown(model));
    EXPECT_EQ(ids(model), (std::vector<std::uint64_t>{7, 8, 9, 10}));
    EXPECT_EQ(changed.size(), 0);
    EXPECT_EQ(reset.size(), 0);
    EXPECT_TRUE(view.selectedRows().empty());
}

// Changes made on another thread reach the model on its own thread, all of them in one call.
TEST_F(DownloadTableModelTest, ChangesFromAnotherThreadArriveTogetherOnTheModelsThread)
{
    gui::DownloadTableModel model(queue);
    std::vector<QThread*> insertedOn;
    std::set<QThread*> signalledOn;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                     [&] { insertedOn.push_back(QThread::currentThread()); });
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        QObject::connect(&model, signal, [&] { signalledOn.insert(QThread::currentThread()); });
    QObject::connect(&model, &QAbstractItemModel::dataChanged,
                     [&] { signalledOn.insert(QThread::currentThread()); });
    std::thread burst([this] {
        for (int n = 1; n <= 200; ++n) {
            const std::uint64_t id = queue.append(row(n));
            if (n % 2 == 0)
                queue.setStatus(id, RowStatus::Complete);
        }
    });
    burst.join();
    EXPECT_EQ(model.rowCount(), 0);
    ASSERT_TRUE(shown(model));
    ASSERT_EQ(model.rowCount(), 200);
    EXPECT_EQ(insertedOn, std::vector<QThread*>{QThread::currentThread()}) << "one update";
    EXPECT_EQ(cell(model, 199, Column::State), "完成");
    EXPECT_EQ(cell(model, 198, Column::State), "等待");

    // While the window's thread applies them: the model ends as the queue is.
    std::atomic<bool> done = false;
    std::thread writer([&] {
        for (int n = 0; n < 300; ++n) {
            queue.setStatus(queue.at(n % queue.size()).id,
                            n % 3 ? RowStatus::Running : RowStatus::Paused);
            if (n % 50 == 0)
                queue.remove(0);
        }
        done = true;
    });
    const bool settled = QTest::qWaitFor([&] { return done && !model.pending(); }, 20000);
    writer.join();
    ASSERT_TRUE(settled);
    const std::vector<download::QueueRow> now = queue.rows();
    ASSERT_EQ(model.rowCount(), static_cast<int>(now.size()));
    for (int i = 0; i < model.rowCount(); ++i) {
        EXPECT_EQ(model.row(i).id, now[static_cast<size_t>(i)].id);
        EXPECT_EQ(model.row(i).status, now[static_cast<size_t>(i)].status);
    }
    EXPECT_EQ(signalledOn, std::set<QThread*>{QThread::currentThread()});
}

// A model that has gone leaves a listener behind that reaches nothing (its posted call is
// dropped); a model made later follows the queue beside it.
TEST_F(DownloadTableModelTest, AModelThatHasGoneIsNotReachedAndALaterOneFollowsTheQueue)
{
    queue.append(row(1));
    {
        gui::DownloadTableModel gone(queue);
        queue.append(row(2));
    }
    gui::DownloadTableModel model(queue);
    std::thread([this] { queue.append(row(3)); }).join();
    ASSERT_TRUE(shown(model));
    EXPECT_EQ(ids(model), (std::vector<std::uint64_t>{1, 2, 3}));
}

// The state columns: the row's status, with its progress, speed and time left while it runs.
TEST_F(DownloadTableModelTest, RunningRowsShowProgressSpeedAndTimeLeftFromTheTick)
{
    for (int n = 1; n <= 3; ++n)
        queue.append(row(n), n == 3 ? RowStatus::Waiting : RowStatus::Running);
    gui::DownloadTableModel model(queue);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    // Row 1 has run a second, row 2 has just started (no speed yet) and its size is unknown.
    model.showProgress({{1, 512000, 1024000}, {2, 3000, -1}}, {{1, 102400}});
    EXPECT_EQ(changed.size(), 2) << "the running rows only";
    const QStringList first = {cell(model, 0, Column::State), cell(model, 0, Column::Speed),
                               cell(model, 0, Column::Left)};
    EXPECT_EQ(first, (QStringList{"下载中 50%", "100k/s", "5秒"}));
    const QStringList second = {cell(model, 1, Column::State), cell(model, 1, Column::Speed),
                                cell(model, 1, Column::Left)};
    EXPECT_EQ(second, (QStringList{"下载中", "", ""}));
    EXPECT_EQ(cell(model, 2, Column::Speed), "");

    // Row 1 ends: its speed and time left go with the next tick, and its state with the queue.
    queue.setStatus(1, RowStatus::Complete);
    changed.clear();
    model.showProgress({{2, 6000, -1}}, {{2, 3000}});
    EXPECT_EQ(changed.size(), 2) << "the row that ran and the row that runs";
    EXPECT_EQ(cell(model, 0, Column::Speed), "");
    EXPECT_EQ(cell(model, 1, Column::Speed), "2k/s");
    EXPECT_EQ(cell(model, 1, Column::Left), "") << "no size, no time left";
    ASSERT_TRUE(shown(model));
    EXPECT_EQ(cell(model, 0, Column::State), "完成");
}

} // namespace
