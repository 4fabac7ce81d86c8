// "开始下载", the tick, the completion reports, the active-list selection, the close path and
// the error handler, on the real window offscreen, against a real nginx.
#include "core/gbk.h"
#include "core/gbk_qt.h"
#include "download/engine_state_access.h"
#include "download/engine_thread.h"
#include "download/engine_window_adapter.h"
#include "download/failure.h"
#include "download/nginx_fixture.h"
#include "download/tick_report.h"
#include "download/transfer_engine.h"
#include "download_window_fixture.h"
#include "gui/dialogs.h"
#include "gui/download_panel.h"
#include "gui/form1.h"
#include "gui/form2.h"
#include "gui/song_list_view.h"
#include "gui/status_bar.h"
#include "http/http_client.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

namespace {

std::string gbk(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class TransfersWindowTest : public DownloadWindowTest {
protected:
    QStringList fatalBoxes;
    QStringList questions;
    bool answerYes = true;

    void SetUp() override
    {
        ui::dialogHooks().fatal = [this](const QString& text) { fatalBoxes << text; };
        ui::dialogHooks().question = [this](const QString& text) {
            questions << text;
            return answerYes;
        };
        ui::dialogHooks().message = [](const QString&) {};
        createWindow();
    }

    void addRow(const std::string& name, const std::string& url, const std::string& sizeText)
    {
        const int n = form->downloadPanel()->engine()->queue().size() + 1;
        form->downloadPanel()->appendDownloadRow(
            {std::to_string(n),
             0,
             {name, url, sizeText, "mp3", form->downloadPanel()->SaveFolder + name + ".mp3"}});
        list(); // the error handler reads the row from the list
    }
    // Processes window messages until done() holds; false when it never does.
    bool pumpUntil(const std::function<bool()>& done, int limitMs = 60000)
    {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > limitMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }
    std::vector<std::string> memoLines() const
    {
        std::vector<std::string> lines;
        for (const QString& l : form->downloadPanel()->downinimemo->toPlainText().split('\n'))
            if (!l.isEmpty())
                lines.push_back(core::toGbk(l));
        return lines;
    }
    int reportsFor(const std::string& name) const
    {
        int n = 0;
        for (const std::string& l : memoLines())
            n += l == name + gbk("下载完毕!");
        return n;
    }
    std::string status(int activeRow) const
    {
        return form->downloadPanel()->downloadnow->rowAt(activeRow).sub(0);
    }
    void throwInto(const std::string& message)
    {
        form->downloadPanel()->myexception(form.get(), std::runtime_error(message));
    }
    void throwInto(const std::exception& e) { form->downloadPanel()->myexception(form.get(), e); }
};

} // namespace

TEST_F(TransfersWindowTest, StartButtonFetchesFilesAndEachGetsOneReport)
{
    enginetest::Nginx nginx;
    const std::int64_t sizes[] = {1000003, 900, 1};
    for (int i = 0; i < 3; ++i)
        enginetest::writePatternFile(nginx.root() / ("w" + std::to_string(i) + ".mp3"), sizes[i]);
    for (int i = 0; i < 3; ++i)
        addRow("w" + std::to_string(i), nginx.url("/w" + std::to_string(i) + ".mp3"),
               std::to_string(sizes[i]));

    form->downloadPanel()->downbtn->click();
    ASSERT_TRUE(pumpUntil([&] { return !form->downloadPanel()->DownloadsRunning(); }));
    ASSERT_EQ(form->downloadPanel()->downloadnow->rowCount(), 3);
    // The last end arrives queued; then every file has its report and none is left "结束".
    ASSERT_TRUE(
        pumpUntil([&] { return reportsFor("w0") + reportsFor("w1") + reportsFor("w2") == 3; }));
    for (int i = 0; i < 3; ++i) {
        const std::string name = "w" + std::to_string(i);
        EXPECT_EQ(fileBytes(dir.path().toStdString() + "/music/" + name + ".mp3"),
                  fileBytes(nginx.root() / (name + ".mp3")));
        EXPECT_EQ(status(i), download::statusReported());
        EXPECT_EQ(form->downloadPanel()->downloadnow->rowAt(i).caption, name);
        EXPECT_EQ(form->downloadPanel()->downloadnow->rowAt(i).sub(2), std::to_string(i));
    }
    EXPECT_FALSE(form->downloadPanel()->Timer1->isActive());

    // Six lines per report, in order.
    const auto lines = memoLines();
    ASSERT_EQ(lines.size(), 18u);
    for (size_t at = 0; at < lines.size(); at += 6) {
        const std::string name = lines[at + 1].substr(0, 2);
        EXPECT_EQ(lines[at + 2],
                  gbk("保存地址：") + form->downloadPanel()->SaveFolder + name + ".mp3");
        EXPECT_EQ(lines[at + 3].rfind(gbk("用时："), 0), 0u);
        EXPECT_EQ(lines[at + 4], gbk("下载地址：") + nginx.url("/" + name + ".mp3"));
        EXPECT_EQ(lines[at + 5].rfind(gbk("文件大小："), 0), 0u);
    }

    // Later ticks report nothing again.
    form->downloadPanel()->Timer1Timer();
    form->downloadPanel()->Timer1Timer();
    EXPECT_EQ(memoLines().size(), 18u);
}

TEST_F(TransfersWindowTest, EachFileGetsOneReportWhateverOrderTheEndsArriveIn)
{
    enginetest::Nginx nginx;
    for (int i = 0; i < 3; ++i) {
        const std::string name = "o" + std::to_string(i);
        enginetest::writePatternFile(nginx.root() / (name + ".mp3"), 300000 + i);
        addRow(name, nginx.url("/" + name + ".mp3"), "300K");
    }
    // The changes the workers post are held back, then carried out newest first (after those
    // of the engine's own thread, which posts first and starts the rows, in their order).
    std::mutex mutex;
    std::optional<std::thread::id> engineThread;
    std::vector<std::function<void()>> fromEngine;
    std::vector<std::function<void()>> fromWorkers;
    form->downloadPanel()->engineAdapter()->setPost([&](std::function<void()> change) {
        std::lock_guard lock(mutex);
        if (!engineThread)
            engineThread = std::this_thread::get_id();
        (*engineThread == std::this_thread::get_id() ? fromEngine : fromWorkers)
            .push_back(std::move(change));
    });
    form->downloadPanel()->downbtn->click();
    ASSERT_TRUE(form->downloadPanel()->engineThread()->waitUntilIdle(std::chrono::seconds(60)));
    ASSERT_TRUE(form->downloadPanel()->engine()->waitIdle(std::chrono::seconds(60)));
    std::lock_guard lock(mutex);
    for (const auto& change : fromEngine)
        change();
    ASSERT_FALSE(fromWorkers.empty());
    for (auto it = fromWorkers.rbegin(); it != fromWorkers.rend(); ++it)
        (*it)();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reportsFor("o" + std::to_string(i)), 1) << i;
        EXPECT_EQ(status(i), download::statusReported()) << i;
    }
    EXPECT_EQ(memoLines().size(), 18u);
    EXPECT_FALSE(form->downloadPanel()->Timer1->isActive());
}

TEST_F(TransfersWindowTest, TheLineForNothingToStartReachesTheMemoOnTheWindowsThread)
{
    // The start loop runs on the engine's thread; its line may only be written by a change
    // posted to the window (a memo written from another thread crashed the program).
    std::mutex mutex;
    std::vector<std::function<void()>> posted;
    form->downloadPanel()->engineAdapter()->setPost([&](std::function<void()> change) {
        std::lock_guard lock(mutex);
        posted.push_back(std::move(change));
    });
    form->downloadPanel()->downbtn->click();
    ASSERT_TRUE(form->downloadPanel()->engineThread()->waitUntilIdle(std::chrono::seconds(60)));
    EXPECT_TRUE(memoLines().empty());
    std::lock_guard lock(mutex);
    for (const auto& change : posted)
        change();
    EXPECT_EQ(memoLines(), std::vector<std::string>{gbk("没有要下载的文件")});
}

namespace {

// The download category's lines while a test runs; they are written on the window thread.
std::vector<std::string>& downloadLogLines()
{
    static std::vector<std::string> lines;
    return lines;
}

void keepDownloadLogLine(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (context.category && std::string(context.category) == "corvale.download")
        downloadLogLines().push_back(message.toStdString());
}

} // namespace

TEST_F(TransfersWindowTest, AFileThatCannotBeFetchedShowsItFailedWithTheReasonAndNoReport)
{
    downloadLogLines().clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepDownloadLogLine);
    QLoggingCategory::setFilterRules("corvale.download.debug=true");
    struct Restore {
        QtMessageHandler previous;
        ~Restore()
        {
            QLoggingCategory::setFilterRules(QString());
            qInstallMessageHandler(previous);
        }
    } restore{previous};
    enginetest::Nginx nginx;
    enginetest::writePatternFile(nginx.root() / "f.mp3", 5000);
    addRow("f", nginx.url("/f.mp3"), "5K");
    form->downloadPanel()->engine()->prepareWorkerClient = [](http::HttpClient& client, int) {
        client.port = 9; // nothing listens there
    };
    form->downloadPanel()->downbtn->click();
    ASSERT_TRUE(pumpUntil([&] {
        return form->downloadPanel()->downloadnow->rowCount() == 1 &&
               status(0) != download::statusRunning();
    }));
    EXPECT_EQ(status(0), download::statusFailed());
    const auto lines = memoLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], gbk("f不能下载"));
    EXPECT_EQ(lines[1].rfind("Socket Error # 111", 0), 0u);
    EXPECT_EQ(reportsFor("f"), 0);
    EXPECT_FALSE(form->downloadPanel()->Timer1->isActive());
    // The download log tells the same story.
    const auto& log = downloadLogLines();
    auto logged = [&](const std::string& start, const std::string& part) {
        return std::any_of(log.begin(), log.end(), [&](const std::string& line) {
            return line.rfind(start, 0) == 0 && line.find(part) != std::string::npos;
        });
    };
    EXPECT_TRUE(logged("file started: row 0, ", nginx.url("/f.mp3")));
    EXPECT_TRUE(logged("file failed: ", "Socket Error # 111"));
    EXPECT_TRUE(logged("all transfers ended", ""));
}

TEST_F(TransfersWindowTest, TickShowsTimeSpeedsBarsAndReportsEndedRowsOnce)
{
    download::TransferEngine& e = *form->downloadPanel()->engine();
    using A = download::TransferEngineTestAccess;
    A::workerBytes(e)[0][0] = 2560;
    form->downloadPanel()->Timer1Timer();
    EXPECT_EQ(form->SeSkinStatusBar1->panelText(1), "总耗时：1秒");
    EXPECT_EQ(form->SeSkinStatusBar1->panelText(3), "2k/s");
    A::workerBytes(e)[0][0] = 2560 + 1023;
    form->downloadPanel()->Timer1Timer();
    EXPECT_EQ(form->SeSkinStatusBar1->panelText(1), "总耗时：2秒");
    EXPECT_EQ(form->SeSkinStatusBar1->panelText(3), "0k/s");

    // Two active rows; the second ("相应序列" 4) is selected, so the bars show slot 1.
    for (int i : {0, 4}) {
        download::ActiveFile f;
        f.listRow = i;
        f.row.name = "r" + std::to_string(i);
        f.row.address = "http://h/" + std::to_string(i);
        f.row.sizeText = "9K";
        f.targetPath = "/m/r" + std::to_string(i) + ".mp3";
        A::activeFiles(e).push_back(f);
        form->downloadPanel()->downloadnow->appendRow(
            {f.row.name, 0, {download::statusRunning(), "0", std::to_string(i)}});
    }
    form->downloadPanel()->downloadnow->setRowSelected(1, true);
    A::connectedCount(e) = 0; // the start loop waits for a slot: the bars still move
    A::setSlotConnected(e, {5, 5, 0});
    A::setSlotSize(e, {1000, 500000, 0});
    A::slotWorkers(e)[1] = 1;
    A::setSlotRow(e, {0, 1, 0});
    for (auto& b : A::workerBytes(e)[1])
        b = 50000;
    form->downloadPanel()->Timer1Timer();
    EXPECT_EQ(form->downloadPanel()->SeSkinProgressBar1->maximum(), 100000);
    EXPECT_EQ(form->downloadPanel()->SeSkinProgressBar3->value(), 50000);
    EXPECT_EQ(form->downloadPanel()->downloadnow->rowAt(1).sub(1), "1"); // its time counts
    EXPECT_EQ(form->downloadPanel()->downloadnow->rowAt(0).sub(1), "0"); // slot 0 runs nothing

    // A row that has ended gets its report at the next tick, once, from what it started as,
    // even when the download list has been cleared meanwhile.
    form->downloadPanel()->downloadnow->setSubItem(1, 0, download::statusEnded());
    form->downloadPanel()->delallbtnClick();
    form->downloadPanel()->Timer1Timer();
    EXPECT_EQ(status(1), download::statusReported());
    EXPECT_EQ(reportsFor("r4"), 1);
    const auto lines = memoLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], gbk("保存地址：/m/r4.mp3"));
    EXPECT_EQ(lines[3], gbk("用时：1秒"));
    EXPECT_EQ(lines[4], gbk("下载地址：http://h/4"));
    EXPECT_EQ(lines[5], gbk("文件大小：9K"));
    form->downloadPanel()->Timer1Timer();
    EXPECT_EQ(reportsFor("r4"), 1);
    A::slotWorkers(e)[1] = 0;
}

TEST_F(TransfersWindowTest, SelectingAFinishedRowFillsTheBars)
{
    form->downloadPanel()->downloadnow->appendRow({"a", 0, {download::statusRunning(), "0", "0"}});
    form->downloadPanel()->downloadnow->appendRow({"b", 0, {download::statusEnded(), "3", "1"}});
    for (int k = 0; k < 5; ++k) {
        form->downloadPanel()->workerBar(k)->setRange(0, 100);
        form->downloadPanel()->workerBar(k)->setValue(10);
    }
    form->downloadPanel()->downloadnow->setRowSelected(0, true);
    EXPECT_EQ(form->downloadPanel()->SeSkinProgressBar2->value(), 10);
    form->downloadPanel()->downloadnow->clearSelection();
    form->downloadPanel()->downloadnow->setRowSelected(1, true);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(form->downloadPanel()->workerBar(k)->value(),
                  form->downloadPanel()->workerBar(k)->maximum());
}

TEST_F(TransfersWindowTest, ClosingWhileDownloadsRunAsksStopsAndWaitsForTheWorkers)
{
    enginetest::Nginx nginx("100k");
    enginetest::writePatternFile(nginx.root() / "slow" / "big.mp3", 20 << 20);
    addRow("big", nginx.url("/slow/big.mp3"), "20M");
    form->downloadPanel()->downbtn->click();
    ASSERT_TRUE(form->downloadPanel()->DownloadsRunning()) << "the start loop counts as running";
    ASSERT_TRUE(pumpUntil([&] { return form->downloadPanel()->engine()->activeWorkers() > 0; }));
    ASSERT_TRUE(pumpUntil([&] { return form->downloadPanel()->Timer1->isActive(); }));

    answerYes = false;
    form->close();
    EXPECT_EQ(questions, QStringList{"还存在下载进程，确定退出吗？"});
    EXPECT_TRUE(form->downloadPanel()->DownloadsRunning());
    EXPECT_EQ(endedWith, -1);

    answerYes = true;
    form->close();
    EXPECT_TRUE(form->QuitConfirmed);
    EXPECT_EQ(endedWith, 0);
    EXPECT_FALSE(form->downloadPanel()->DownloadsRunning());
    EXPECT_EQ(form->downloadPanel()->engine()->activeWorkers(), 0);
    EXPECT_FALSE(form->downloadPanel()->Timer1->isActive());
}

// The handler decides on the kind a failure carries (it once sorted by the words of the message).
TEST_F(TransfersWindowTest, ErrorHandlerLogsAndMovesPastAFailingProbe)
{
    using http::FailureKind;
    // With an empty list only the message.
    throwInto(http::HttpError("Socket Error # 111\r\nConnection refused"));
    EXPECT_EQ(memoLines().size(), 2u); // the message holds a line break
    form->downloadPanel()->downinimemo->clear();

    for (int i = 0; i < 5; ++i)
        addRow("s" + std::to_string(i), "http://h/" + std::to_string(i) + ".mp3", "1M");
    download::TransferEngine& e = *form->downloadPanel()->engine();
    using A = download::TransferEngineTestAccess;
    form->Button3Click();
    A::probing(e) = true;
    A::setResumeRow(e, 2);
    throwInto(http::HttpError("404 Not Found", FailureKind::ServerAnswer));
    EXPECT_EQ(memoLines(), (std::vector<std::string>{"404 Not Found", "3", gbk("s2不能下载")}));
    EXPECT_EQ(e.resumeRow(), 3);
    EXPECT_FALSE(form->downloadPanel()->isHidden());
    EXPECT_TRUE(fatalBoxes.isEmpty());

    form->downloadPanel()->downinimemo->clear();
    A::probing(e) = true;
    A::setResumeRow(e, 4);
    throwInto(http::HttpError("404 Not Found", FailureKind::ServerAnswer));
    EXPECT_EQ(memoLines().size(), 3u);
    EXPECT_EQ(e.resumeRow(), 4);

    // Other errors: the message and the row number only; nothing moves, whatever the words.
    for (const char* words : {"Division by zero", "Top 40 Hits", "Access denied"}) {
        form->downloadPanel()->downinimemo->clear();
        A::probing(e) = true;
        A::setResumeRow(e, 1);
        throwInto(words);
        EXPECT_EQ(memoLines(), (std::vector<std::string>{words, "2"}));
        EXPECT_EQ(e.resumeRow(), 1);
        EXPECT_TRUE(fatalBoxes.isEmpty()) << words;
    }

    // A failure of a row with no probe under way stops nothing.
    form->downloadPanel()->downinimemo->clear();
    A::probing(e) = false;
    throwInto(http::HttpError("409 Conflict", FailureKind::ServerAnswer));
    EXPECT_EQ(e.resumeRow(), 1);
    EXPECT_EQ(memoLines().size(), 3u);
    EXPECT_EQ(endedWith, -1);
}

// A song named "Access All Areas" whose folder had gone closed the program. Only a fault of the
// program itself is fatal.
TEST_F(TransfersWindowTest, OnlyAFaultOfTheProgramIsFatal)
{
    addRow("Access All Areas", "http://h/x.mp3", "1M");
    chooser->show();
    throwInto(download::TransferFailure(download::FailureKind::FolderMissing,
                                        "/media/stick/Access All Areas.mp3"));
    EXPECT_TRUE(fatalBoxes.isEmpty());
    EXPECT_TRUE(chooser->isVisible());
    EXPECT_EQ(endedWith, -1);
    EXPECT_EQ(memoLines(),
              (std::vector<std::string>{gbk("保存目录不存在：/media/stick/Access All Areas.mp3"),
                                        "1", gbk("Access All Areas不能下载")}));

    form->downloadPanel()->downinimemo->clear();
    throwInto(std::logic_error("broken invariant"));
    EXPECT_EQ(fatalBoxes, QStringList{"出现致命错误，应用程序将关闭！！！"});
    EXPECT_FALSE(chooser->isVisible());
    EXPECT_EQ(endedWith, 0);
    EXPECT_EQ(memoLines(), (std::vector<std::string>{"broken invariant", "1"}));
}

TEST_F(TransfersWindowTest, ExceptionsFromAnyHandlerReachTheHandler)
{
    QTimer::singleShot(0, form.get(), [] { throw std::runtime_error("Invalid conversion"); });
    ASSERT_TRUE(pumpUntil([&] { return !memoLines().empty(); }, 5000));
    EXPECT_EQ(memoLines().front(), "Invalid conversion");
}
