// The download panel's side of the transfer engine: "开始下载", the active list, the worker bars,
// the status bar's texts, the one-second tick with its completion reports, and the
// application-wide error handler. The engine runs on a thread of its own (download::EngineThread);
// every display change it asks for arrives here through the adapter as a queued call on the
// window's thread.
#include "gui/download_panel.h"

#include "core/gbk.h"
#include "core/gbk_qt.h"
#include "core/line_file.h"
#include "desktop/notifier.h"
#include "download/engine_thread.h"
#include "download/engine_window_adapter.h"
#include "download/error_classification.h"
#include "download/failure.h"
#include "download/row_state.h"
#include "download/tick_report.h"
#include "download/transfer_engine.h"
#include "download/transfer_plan.h"
#include "gui/dialogs.h"
#include "gui/download_list_view.h"
#include "gui/download_log.h"
#include "gui/download_table_model.h"
#include "gui/form2.h"
#include "gui/song_list_view.h"
#include "gui/tray_notices.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <map>

namespace gui {
namespace {

// Bar k + 1 shows `value` of `maximum`.
void showBar(DownloadPanel& panel, int k, std::int64_t value, std::int64_t maximum)
{
    QProgressBar* bar = panel.workerBar(k);
    const download::BarScale s = download::scaleBar(std::min(value, maximum), maximum);
    bar->setRange(0, std::max(s.maximum, 1));
    bar->setValue(s.value);
}

// Every bar shows what `bars` holds.
void showBars(DownloadPanel& panel, const download::BarState& bars)
{
    for (int k = 0; k < download::kWorkersPerSlot; ++k)
        showBar(panel, k, bars.values[static_cast<size_t>(k)], bars.maximum);
}

void appendMemo(DownloadPanel& panel, const std::string& gbkLine)
{
    panel.downinimemo->appendPlainText(core::fromGbk(gbkLine));
}

// The download list's 状态, 速度 and 剩余 columns follow the running files' progress and speeds.
void showRowStates(DownloadPanel& panel, const std::map<std::uint64_t, std::int64_t>& speeds)
{
    download::TransferEngine* engine = panel.engine();
    DownloadTableModel* model = panel.downloadlistview->downloadModel();
    if (engine && model)
        model->showProgress(engine->runningProgress(), speeds);
}

} // namespace

class DownloadPanel::TransferWindow : public download::TransferObserver {
public:
    explicit TransferWindow(DownloadPanel& panel) : panel_(panel) {}

    std::string searchText() override
    {
        return core::toGbk(panel_.searchWords_ ? panel_.searchWords_() : QString());
    }
    std::string saveFolder() override { return panel_.SaveFolder; }
    int connectionsPerFile() override
    {
        return std::clamp(panel_.connectionsPerFile, 1, download::kWorkersPerSlot);
    }
    void addActiveRow(int, const download::ActiveFile& file) override
    {
        core::SongEntry row;
        row.caption = file.row.name;
        row.subItems = {download::statusRunning(), "0", std::to_string(file.listRow)};
        panel_.downloadnow->appendRow(row);
        const int index = panel_.downloadnow->rowCount() - 1;
        panel_.downloadlistview->setQueueRowSelected(file.listRow, true);
        panel_.downloadnow->clearSelection();
        panel_.downloadnow->setRowSelected(index, true);
        showRowStates(panel_, adapter->speeds);
        qCDebug(downloadLog, "file started: row %d, %s from %s", file.listRow,
                core::gbkToUtf8(file.targetPath).c_str(),
                core::gbkToUtf8(file.row.address).c_str());
    }
    void setBarsMaximum(std::int64_t maximum) override
    {
        for (int k = 0; k < download::kWorkersPerSlot; ++k)
            showBar(panel_, k, bars().values[static_cast<size_t>(k)], maximum);
    }
    void setTimerEnabled(bool enabled) override
    {
        if (enabled && !panel_.Timer1->isActive())
            panel_.Timer1->start();
        else if (!enabled)
            panel_.Timer1->stop();
    }
    void rowSkipped(const std::string& line) override
    {
        showRowStates(panel_, adapter->speeds);
        qCDebug(downloadLog, "row skipped: %s", core::gbkToUtf8(line).c_str());
        appendMemo(panel_, line);
    }
    void probeEnded() override {} // the window shows nothing when the probe ends
    void progress(int tag, std::int64_t count) override
    {
        emit panel_.statusText(0, core::fromGbk(download::progressPanelText(tag, count)));
    }
    void fileEnded(int activeRow, const download::FileOutcome& outcome) override
    {
        showRowStates(panel_, adapter->speeds);
        if (activeRow < 0 || activeRow >= panel_.downloadnow->rowCount())
            return;
        panel_.downloadnow->setSubItem(activeRow, download::ActiveColumn::Status,
                                       outcome.complete ? download::statusEnded()
                                                        : download::statusFailed());
        const download::ActiveFile file = panel_.engine()->activeFile(activeRow);
        const QString folder =
            QFileInfo(QString::fromStdString(core::gbkPath(file.targetPath).string()))
                .absolutePath();
        desktop::tellDownloadEnded(
            panel_.window()->windowHandle(), core::fromGbk(file.row.name), outcome.complete,
            core::fromGbk(outcome.reason),
            [panel = QPointer<DownloadPanel>(&panel_), folder] {
                if (panel && panel->openLocalPath)
                    panel->openLocalPath(folder);
            },
            trayFallback(panel_.tray_));
        if (outcome.complete) {
            qCDebug(downloadLog, "file complete: %s", core::gbkToUtf8(file.targetPath).c_str());
            return;
        }
        qCDebug(downloadLog, "file failed: %s: %s", core::gbkToUtf8(file.targetPath).c_str(),
                core::gbkToUtf8(outcome.reason).c_str());
        const std::string& name = file.row.name;
        for (const std::string& line : download::failedFileLines(name, outcome.reason))
            appendMemo(panel_, line);
    }
    void workerEnded(int slot, int worker, int) override
    {
        const int selected = panel_.downloadnow->firstSelectedRow();
        if (selected < 0 || worker < 0 || worker >= download::kWorkersPerSlot)
            return;
        const std::string seq =
            panel_.downloadnow->rowAt(selected).sub(download::ActiveColumn::Sequence);
        if (download::displayedSlot(&seq) != slot)
            return;
        bars().values[static_cast<size_t>(worker)] = bars().maximum;
        showBar(panel_, worker, bars().maximum, bars().maximum);
    }
    void allWorkersEnded() override
    {
        qCDebug(downloadLog, "all transfers ended");
        panel_.WriteFinalReport();
        panel_.Timer1->stop();
    }

    download::BarState& bars() { return adapter->bars; }

    download::EngineWindowAdapter* adapter = nullptr;

private:
    DownloadPanel& panel_;
};

namespace {

std::string reportDateTime()
{
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    return core::toGbk(locale.toString(now.date(), QLocale::ShortFormat) + " " +
                       locale.toString(now.time(), QLocale::LongFormat));
}

} // namespace

void DownloadPanel::startEngine()
{
    engine_ = std::make_unique<download::TransferEngine>();
    auto window = std::make_unique<TransferWindow>(*this);
    TransferWindow* side = window.get();
    engineAdapter_ = std::make_unique<download::EngineWindowAdapter>(
        *engine_, std::move(window), [this](std::function<void()> change) {
            QMetaObject::invokeMethod(this, std::move(change), Qt::QueuedConnection);
        });
    side->adapter = engineAdapter_.get();
    engineThread_ = std::make_unique<download::EngineThread>(*engine_);
    // A fault of the program inside the engine reaches the window's error handler.
    engineThread_->onFailure = [this](const std::exception_ptr& failure) {
        QMetaObject::invokeMethod(
            this,
            [this, failure] {
                try {
                    std::rethrow_exception(failure);
                } catch (const std::exception& e) {
                    myexception(this, e);
                }
            },
            Qt::QueuedConnection);
    };
}

void DownloadPanel::downbtnClick()
{
    engineThread_->start();
    showRowStates(*this, engineAdapter_->speeds);
}

void DownloadPanel::showDownloadStates()
{
    if (engineAdapter_)
        showRowStates(*this, engineAdapter_->speeds);
}

bool DownloadPanel::DownloadsRunning() const
{
    return engine_ && (engine_->DownloadsRunning() || engineThread_->busy());
}

void DownloadPanel::StopAllTransfers()
{
    if (engineThread_)
        engineThread_->stopAll(); // also waits for the start loop and every worker thread
    Timer1->stop();
}

namespace {

// Reports every active row that has ended and is not reported yet, and marks it reported.
void reportEndedRows(DownloadPanel& panel, const download::TransferEngine& engine)
{
    for (int i = 0; i < panel.downloadnow->rowCount(); ++i) {
        const core::SongEntry row = panel.downloadnow->rowAt(i);
        if (row.sub(download::ActiveColumn::Status) != download::statusEnded())
            continue;
        panel.downloadnow->setSubItem(i, download::ActiveColumn::Status,
                                      download::statusReported());
        for (const std::string& line :
             download::completionReport(reportDateTime(), row.caption, engine.activeFile(i),
                                        row.sub(download::ActiveColumn::Time)))
            appendMemo(panel, line);
    }
}

} // namespace

void DownloadPanel::Timer1Timer()
{
    download::TransferEngine& e = *engine_;
    download::BarState& bars = engineAdapter_->bars;
    emit statusText(1, core::fromGbk(download::totalTimeText(e.countSecond())));

    download::TickInput in = e.tickInput();
    const int selected = downloadnow->firstSelectedRow();
    const std::string seq =
        selected >= 0 ? downloadnow->rowAt(selected).sub(download::ActiveColumn::Sequence) : "";
    in.displayedSlot = download::displayedSlot(selected >= 0 ? &seq : nullptr);
    in.barValues = bars.values;
    const download::TickOutput out = download::computeTick(in);

    emit statusText(3, QString::fromStdString(out.overallSpeed));
    engineAdapter_->speeds = engineAdapter_->rowSpeeds.sample(e.runningProgress());
    showRowStates(*this, engineAdapter_->speeds);
    e.tickShown(out.byteSum);
    reportEndedRows(*this, e);
    for (int s = 0; s < download::kSlotCount; ++s) {
        const int row = e.slotRow(s);
        if (!out.slotRunning[s] || row < 0 || row >= downloadnow->rowCount())
            continue;
        const int seconds =
            std::atoi(downloadnow->rowAt(row).sub(download::ActiveColumn::Time).c_str()) + 1;
        downloadnow->setSubItem(row, download::ActiveColumn::Time, std::to_string(seconds));
    }
    if (out.barsChanged) {
        bars.maximum = out.barMaximum;
        bars.values = out.barValues;
        showBars(*this, bars);
        emit statusText(2, QString::fromStdString(out.slotSpeed));
    }
}

void DownloadPanel::WriteFinalReport()
{
    // When no worker runs any more, every file that has ended and has no report yet gets its
    // report now (the timer stops and would not write it); each file is reported once.
    reportEndedRows(*this, *engine_);
}

void DownloadPanel::downloadnowSelectItem(int row, bool selected)
{
    if (!selected || row < 0 || row >= downloadnow->rowCount())
        return;
    const std::string status = downloadnow->rowAt(row).sub(download::ActiveColumn::Status);
    if (status != download::statusEnded() && status != download::statusReported())
        return;
    download::BarState& bars = engineAdapter_->bars;
    bars.values.fill(bars.maximum);
    showBars(*this, bars);
}

void DownloadPanel::myexception(QObject*, const std::exception& e)
{
    download::TransferEngine& engine = *engine_;
    const std::string message = e.what();
    // The queue, not the view, which may not show its latest change yet.
    const std::vector<download::QueueRow> rows = engine.queue().rows();
    const int n = static_cast<int>(rows.size());
    const int r = engine.resumeRow();
    download::ResumeRowTexts row;
    row.exists = r >= 0 && r < n;
    if (row.exists) {
        const core::SongEntry& entry = rows[static_cast<std::size_t>(r)].entry;
        row.caption = entry.caption;
        row.name = entry.sub(core::SubItem::Name);
    }
    const download::ErrorClass kind = download::classifyError(e);
    // The program's own failures are worded in GBK already; anything else comes in UTF-8.
    const std::string memoMessage = download::kindOf(e).known ? message : core::utf8ToGbk(message);
    const std::vector<std::string> lines = download::errorMemoLines(memoMessage, row, kind);
    // The message and the row's number come first; the fatal box, if any, comes before the
    // transfer line.
    const std::size_t beforeTransferLine = std::min<std::size_t>(lines.size(), row.exists ? 2 : 1);
    for (std::size_t i = 0; i < beforeTransferLine; ++i)
        appendMemo(*this, lines[i]);
    if (kind.fatal) {
        ui::showFatal(this, "出现致命错误，应用程序将关闭！！！");
        if (Form2)
            Form2->close();
        if (window()->close())
            return; // the program ends
    }
    if (kind.transfer) {
        for (std::size_t i = beforeTransferLine; i < lines.size(); ++i)
            appendMemo(*this, lines[i]);
        // The row being probed failed and its start has ended: the next press of "开始下载"
        // begins with the row after it. With no probe under way a failure cannot come from
        // the engine (its workers never raise here, its own calls catch their network errors,
        // and a failed file ends on its own): running files go on.
        if (engine.moveOnFromFailedProbe(n))
            emit showRequested();
    }
    engine.settleAfterError();
}

} // namespace gui
