// The download panel and its list: rows arrive from the result list with a save path under the
// save folder, can be deleted, cleared and re-pointed through the folder chooser.
#include "app/form1.h"

#include "download/download_list.h"
#include "download/download_log.h"
#include "download/form2.h"
#include "download/queue_file.h"
#include "download/transfer_engine.h"
#include "ui/song_list_view.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

namespace {

// A one-line caption, 18 pixels high, above a list or beside a bar.
QLabel* caption(QWidget* parent, const QString& text, int left, int top, int width)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(left, top, width, 18);
    return label;
}

} // namespace

void TForm1::buildDownloadPanel()
{
    Iesetpanel = new QGroupBox("下载", centralWidget());
    Iesetpanel->setObjectName("Iesetpanel");
    Iesetpanel->setGeometry(121, 73, 575, 509);
    Iesetpanel->hide();

    // The queue of files to fetch.
    downloadlistview = new ui::SongListView(Iesetpanel);
    downloadlistview->setObjectName("downloadlistview");
    downloadlistview->setColumnCaptions({"", "歌曲名", "下载地址", "大小", "类型", "保存地址"});
    downloadlistview->setGridLines(true);
    // The save path is the last column: size it to its text rather than to the room left.
    downloadlistview->header()->setStretchLastSection(false);
    downloadlistview->setMultiSelect(true);
    downloadlistview->setToolTip("按住Ctrl或Shift键可选择多项");
    downloadlistview->setGeometry(8, 24, 559, 196);

    downbtn = new QPushButton("开始下载", Iesetpanel);
    downbtn->setGeometry(8, 228, 96, 26);
    delbtn = new QPushButton("删除所选项", Iesetpanel);
    delbtn->setGeometry(112, 228, 96, 26);
    delallbtn = new QPushButton("清空列表", Iesetpanel);
    delallbtn->setGeometry(216, 228, 96, 26);
    SeSkinButton3 = new QPushButton("修改保存地址", Iesetpanel);
    SeSkinButton3->setGeometry(455, 228, 112, 26);
    downloadbtn = new QPushButton("至下载列表", Iesetpanel);
    downloadbtn->setGeometry(320, 228, 96, 26);
    downloadbtn->hide();

    // The files being fetched, and the workers of the slot chosen in that list.
    caption(Iesetpanel, "正在下载", 8, 262, 120);
    downloadnow = new ui::SongListView(Iesetpanel);
    downloadnow->setObjectName("downloadnow");
    downloadnow->setColumnCaptions({"歌曲名称", "进度", "时间", "相应序列"});
    downloadnow->setMultiSelect(false);
    downloadnow->setGeometry(8, 282, 355, 132);

    caption(Iesetpanel, "线程进度", 375, 262, 120);
    QProgressBar** bars[] = {&SeSkinProgressBar1, &SeSkinProgressBar2, &SeSkinProgressBar3,
                             &SeSkinProgressBar4, &SeSkinProgressBar5};
    for (int k = 0; k < 5; ++k) {
        const int top = 282 + k * 27;
        caption(Iesetpanel, QString("线程%1").arg(k + 1), 375, top + 3, 40);
        auto* bar = new QProgressBar(Iesetpanel);
        bar->setObjectName(QString("SeSkinProgressBar%1").arg(k + 1));
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setGeometry(417, top + 2, 150, 20);
        *bars[k] = bar;
    }

    // Completion reports and error lines.
    caption(Iesetpanel, "下载统计", 8, 420, 120);
    downinimemo = new QPlainTextEdit(Iesetpanel);
    downinimemo->setObjectName("downinimemo");
    downinimemo->setReadOnly(true);
    downinimemo->setStyleSheet("QPlainTextEdit { color: red; }");
    downinimemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    downinimemo->setGeometry(8, 440, 559, 61);
}

void TForm1::connectDownloadHandlers()
{
    // The "下" button belongs to the play panel's toolbar, which is built before this.
    if (dragdownbtn)
        connect(dragdownbtn, &QToolButton::clicked, this, &TForm1::dragdownbtnClick);
    connect(downloadbtn, &QPushButton::clicked, this, &TForm1::downloadbtnClick);
    connect(delbtn, &QPushButton::clicked, this, &TForm1::delbtnClick);
    connect(delallbtn, &QPushButton::clicked, this, &TForm1::delallbtnClick);
    connect(SeSkinButton3, &QPushButton::clicked, this, &TForm1::SeSkinButton3Click);
    connect(SeSkinButton1, &QPushButton::clicked, this, &TForm1::SeSkinButton1Click);
    connectTransferHandlers();
}

void TForm1::dragdownbtnClick()
{
    std::vector<core::SongEntry> selected;
    for (int row : ListView1->selectedRows())
        selected.push_back(ListView1->rowAt(row));
    for (const core::SongEntry& row : download::downloadRowsFor(selected, SaveFolder))
        appendDownloadRow(row);
    Button4Click();
}

void TForm1::appendDownloadRow(const core::SongEntry& row)
{
    engine_->queue().append(row);
    downloadlistview->appendRow(row);
}

void TForm1::keepDownloadListIn(const std::string& nativePath)
{
    download::DownloadQueue& queue = engine_->queue();
    queue.onChanged = nullptr;
    queueFile_ = std::make_unique<download::QueueFile>(nativePath);
    queue.replace(queueFile_->load());
    downloadlistview->clearRows();
    for (const download::QueueRow& row : queue.rows())
        downloadlistview->appendRow(row.entry);
    download::QueueFile* file = queueFile_.get();
    queue.onChanged = [file](const std::vector<download::QueueRow>& rows, std::uint64_t version) {
        if (!file->save(rows, version))
            qCWarning(downloadLog, "the download list cannot be written to %s",
                      file->path().c_str());
    };
}

void TForm1::downloadbtnClick()
{
    // The hidden "至下载列表" button does nothing: "下" copies rows to the download list.
}

namespace {
// Rows are refused to change while any segment worker of the engine has not ended.
bool workersRunning(const download::TransferEngine* engine)
{
    return engine && engine->activeWorkers() > 0;
}
} // namespace

void TForm1::delbtnClick()
{
    if (workersRunning(engine())) {
        delbtn->setEnabled(false);
        return;
    }
    for (int row = downloadlistview->firstSelectedRow(); row >= 0;
         row = downloadlistview->firstSelectedRow()) {
        engine_->queue().remove(row);
        downloadlistview->removeRowAt(row);
    }
}

void TForm1::delallbtnClick()
{
    if (workersRunning(engine())) {
        delallbtn->setEnabled(false);
        return;
    }
    engine_->queue().clear();
    downloadlistview->clearRows();
}

namespace {
void showChooser(TForm2* chooser)
{
    if (!chooser)
        return;
    chooser->show();
    chooser->raise();
    chooser->activateWindow();
}
} // namespace

void TForm1::SeSkinButton3Click()
{
    if (downloadlistview->firstSelectedRow() < 0)
        return;
    ChooserRewrite = true;
    showChooser(Form2);
}

void TForm1::SeSkinButton1Click()
{
    showChooser(Form2);
}
