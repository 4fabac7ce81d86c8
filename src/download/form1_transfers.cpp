// The window's side of the transfer engine: "开始下载", the active list, the worker bars, the
// status bar, the one-second tick with its completion reports, and the application-wide error
// handler. The engine runs below the window; every display change it asks for from a worker
// thread arrives here through the adapter as a queued call on the window's thread.
#include "app/form1.h"

#include "core/gbk.h"
#include "download/engine_window_adapter.h"
#include "download/error_classification.h"
#include "download/form2.h"
#include "download/tick_report.h"
#include "download/transfer_engine.h"
#include "download/transfer_plan.h"
#include "ui/dialogs.h"
#include "ui/gbk_qt.h"
#include "ui/song_list_view.h"
#include "ui/status_bar.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

// Active-list columns after the caption.
constexpr size_t StatusColumn = 0;
constexpr size_t TimeColumn = 1;
constexpr size_t SequenceColumn = 2;

class TransferWindow : public download::TransferObserver {
public:
    explicit TransferWindow(TForm1& form) : form_(form) {}

    int downloadRowCount() override { return form_.downloadlistview->rowCount(); }
    download::DownloadRow downloadRow(int index) override
    {
        const search::SongEntry e = form_.downloadlistview->rowAt(index);
        return {e.caption,
                e.sub(search::Name),
                e.sub(search::Address),
                e.sub(search::SizeText),
                e.sub(search::TypeText),
                e.sub(search::SavePath)};
    }
    std::string searchText() override { return ui::toGbk(form_.Edit1->text()); }
    std::string saveFolder() override { return form_.SaveFolder; }
    int connectionsPerFile() override
    {
        return download::connectionsFromText(form_.Edit2->text().toStdString());
    }
    bool quitConfirmed() override { return form_.QuitConfirmed; }
    void processMessages() override { QCoreApplication::processEvents(); }

    int addActiveRow(const download::ActiveFile& file) override
    {
        search::SongEntry row;
        row.caption = file.row.name;
        row.subItems = {download::statusRunning(), "0", std::to_string(file.listRow)};
        form_.downloadnow->appendRow(row);
        const int index = form_.downloadnow->rowCount() - 1;
        if (file.listRow < form_.downloadlistview->rowCount())
            form_.downloadlistview->setRowSelected(file.listRow, true);
        form_.downloadnow->clearSelection();
        form_.downloadnow->setRowSelected(index, true);
        return index;
    }
    void setBarsMaximum(std::int64_t maximum) override
    {
        for (int k = 0; k < 5; ++k)
            showBar(k, bars().values[static_cast<size_t>(k)], maximum);
    }
    void setTimerEnabled(bool enabled) override
    {
        if (enabled && !form_.Timer1->isActive())
            form_.Timer1->start();
        else if (!enabled)
            form_.Timer1->stop();
    }
    void progress(int tag, std::int64_t count) override
    {
        form_.SeSkinStatusBar1->setPanelText(0,
                                             ui::fromGbk(download::progressPanelText(tag, count)));
    }
    void workerEnded(int slot, int worker, int activeRow, bool slotFree, bool allEnded) override
    {
        if (slot >= 0) {
            if (slotFree && activeRow >= 0 && activeRow < form_.downloadnow->rowCount())
                form_.downloadnow->setSubItem(activeRow, StatusColumn, download::statusEnded());
            const int selected = form_.downloadnow->firstSelectedRow();
            if (selected >= 0) {
                const std::string seq = form_.downloadnow->rowAt(selected).sub(SequenceColumn);
                if (download::displayedSlot(&seq) == slot && worker >= 0 && worker < 5) {
                    bars().values[static_cast<size_t>(worker)] = bars().maximum;
                    showBar(worker, bars().maximum, bars().maximum);
                }
            }
        }
        if (allEnded) {
            form_.WriteFinalReport();
            form_.Timer1->stop();
        }
    }

    void showBar(int k, std::int64_t value, std::int64_t maximum)
    {
        QProgressBar* bar = form_.workerBar(k);
        const download::BarScale s = download::scaleBar(std::min(value, maximum), maximum);
        bar->setRange(0, std::max(s.maximum, 1));
        bar->setValue(s.value);
    }
    download::BarState& bars() { return adapter->bars; }

    download::EngineWindowAdapter* adapter = nullptr;

private:
    TForm1& form_;
};

std::string reportDateTime()
{
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    return ui::toGbk(locale.toString(now.date(), QLocale::ShortFormat) + " " +
                     locale.toString(now.time(), QLocale::LongFormat));
}

} // namespace

void TForm1::connectTransferHandlers()
{
    engine_ = std::make_unique<download::TransferEngine>();
    auto window = std::make_unique<TransferWindow>(*this);
    TransferWindow* side = window.get();
    engineAdapter_ = std::make_unique<download::EngineWindowAdapter>(
        *engine_, std::move(window), [this](std::function<void()> change) {
            QMetaObject::invokeMethod(this, std::move(change), Qt::QueuedConnection);
        });
    side->adapter = engineAdapter_.get();
    // Blocking HTTP calls on this thread keep the window alive.
    http::HttpClient::setMessagePump([] { QCoreApplication::processEvents(); });

    connect(downbtn, &QPushButton::clicked, this, &TForm1::downbtnClick);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(downloadnow, &ui::SongListView::rowSelectionChanged, this,
            &TForm1::downloadnowSelectItem);
}

void TForm1::downbtnClick()
{
    engine_->downbtnClick();
}

bool TForm1::DownloadsRunning() const
{
    return engine_ && engine_->DownloadsRunning();
}

void TForm1::StopAllTransfers()
{
    if (engine_)
        engine_->StopAllTransfers(); // also waits for every worker thread
    Timer1->stop();
}

namespace {

// Reports every active row that has ended and is not reported yet, and marks it reported.
void reportEndedRows(TForm1& form, download::TransferEngine& engine)
{
    for (int i = 0; i < form.downloadnow->rowCount(); ++i) {
        const search::SongEntry row = form.downloadnow->rowAt(i);
        if (row.sub(StatusColumn) != download::statusEnded())
            continue;
        form.downloadnow->setSubItem(i, StatusColumn, download::statusReported());
        download::ActiveFile file;
        if (static_cast<size_t>(i) < engine.activeFiles.size())
            file = engine.activeFiles[static_cast<size_t>(i)];
        for (const std::string& line :
             download::completionReport(reportDateTime(), row.caption, file, row.sub(TimeColumn)))
            form.downinimemo->appendPlainText(ui::fromGbk(line));
    }
}

} // namespace

void TForm1::Timer1Timer()
{
    download::TransferEngine& e = *engine_;
    download::BarState& bars = engineAdapter_->bars;
    e.ElapsedSeconds += 1;
    SeSkinStatusBar1->setPanelText(1, ui::fromGbk(download::totalTimeText(e.ElapsedSeconds)));

    download::TickInput in;
    for (int s = 0; s < 3; ++s) {
        for (int k = 0; k < 5; ++k)
            in.workerBytes[s][k] = e.WorkerBytes[s][k].load();
        in.slotWorkers[s] = e.SlotWorkers[s].load();
        in.slotSize[s] = e.SlotSize[s];
    }
    in.connectedCount = e.ConnectedCount;
    const int selected = downloadnow->firstSelectedRow();
    const std::string seq = selected >= 0 ? downloadnow->rowAt(selected).sub(SequenceColumn) : "";
    in.displayedSlot = download::displayedSlot(selected >= 0 ? &seq : nullptr);
    in.lastByteSum = e.LastByteSum;
    in.barValues = bars.values;
    const download::TickOutput out = download::computeTick(in);

    SeSkinStatusBar1->setPanelText(3, QString::fromStdString(out.overallSpeed));
    e.LastByteSum = out.byteSum;
    reportEndedRows(*this, e);
    for (int s = 0; s < 3; ++s) {
        const int row = e.SlotRow[s];
        if (!out.slotRunning[s] || row < 0 || row >= downloadnow->rowCount())
            continue;
        const int seconds = std::atoi(downloadnow->rowAt(row).sub(TimeColumn).c_str()) + 1;
        downloadnow->setSubItem(row, TimeColumn, std::to_string(seconds));
    }
    if (out.barsChanged) {
        bars.maximum = out.barMaximum;
        bars.values = out.barValues;
        for (int k = 0; k < 5; ++k) {
            const download::BarScale s =
                download::scaleBar(std::min(bars.values[k], bars.maximum), bars.maximum);
            workerBar(k)->setRange(0, std::max(s.maximum, 1));
            workerBar(k)->setValue(s.value);
        }
        SeSkinStatusBar1->setPanelText(2, QString::fromStdString(out.slotSpeed));
    }
}

void TForm1::WriteFinalReport()
{
    // When the last worker has ended, every file that has ended and has no report yet gets its
    // report now (the timer stops and would not write it); each file is reported once.
    reportEndedRows(*this, *engine_);
}

void TForm1::downloadnowSelectItem(int row, bool selected)
{
    if (!selected || row < 0 || row >= downloadnow->rowCount())
        return;
    const std::string status = downloadnow->rowAt(row).sub(StatusColumn);
    if (status != download::statusEnded() && status != download::statusReported())
        return;
    download::BarState& bars = engineAdapter_->bars;
    for (int k = 0; k < 5; ++k) {
        bars.values[k] = bars.maximum;
        const download::BarScale s = download::scaleBar(bars.maximum, bars.maximum);
        workerBar(k)->setRange(0, std::max(s.maximum, 1));
        workerBar(k)->setValue(s.value);
    }
}

void TForm1::myexception(QObject*, const std::exception& e)
{
    download::TransferEngine& engine = *engine_;
    const std::string message = e.what();
    const int n = downloadlistview->rowCount();
    const int r = engine.ResumeRow;
    const bool rowExists = r >= 0 && r < n;
    const search::SongEntry row = rowExists ? downloadlistview->rowAt(r) : search::SongEntry{};
    auto memo = [this](const std::string& gbk) { downinimemo->appendPlainText(ui::fromGbk(gbk)); };

    memo(core::utf8ToGbk(message));
    if (rowExists)
        memo(row.caption);
    const download::ErrorClass kind = download::classifyError(message);
    if (kind.fatal) {
        ui::showFatal(this, "出现致命错误，应用程序将关闭！！！");
        if (Form2)
            Form2->close();
        if (close())
            return; // the program ends
    }
    if (kind.transfer) {
        if (rowExists)
            memo(download::cannotDownloadLine(row.sub(search::Name)));
        if (engine.Probing && r < n - 1) {
            // The row being probed failed: the engine goes on with the next one.
            engine.IdHTTP1.Disconnect();
            engine.ResumeRow = r + 1;
            Button4Click();
        }
        // With no probe under way a failure cannot come from the engine (its workers never
        // raise here and its own calls catch their network errors): running files go on.
    }
    if (!engine.startRunning())
        engine.Probing = false;
}
