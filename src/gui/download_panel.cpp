// The download panel and its list: rows arrive from the result list with a save path under the
// save folder, can be deleted, cleared and re-pointed through the folder chooser, and each row
// can be paused, continued, fetched again or opened from its menu.
#include "gui/download_panel.h"

#include "gui/anchor_layout.h"

#include "core/line_file.h"
#include "download/download_list.h"
#include "download/engine_thread.h"
#include "download/engine_window_adapter.h"
#include "download/queue_file.h"
#include "download/row_state.h"
#include "download/target_file.h"
#include "download/transfer_engine.h"
#include "gui/download_list_view.h"
#include "gui/download_log.h"
#include "gui/download_table_model.h"
#include "gui/form2.h"
#include "gui/song_list_view.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace gui {
namespace {

// A one-line caption, 18 pixels high, above a list or beside a bar.
QLabel* caption(QWidget* parent, const QString& text, int left, int top, int width)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(left, top, width, 18);
    return label;
}

} // namespace

DownloadPanel::DownloadPanel(QWidget* topBar, QWidget* parent) : QGroupBox("下载", parent)
{
    setObjectName("Iesetpanel");
    resize(575, 509); // the design size its controls are placed in
    buildControls(topBar);
    startEngine();
    connectHandlers();
}

DownloadPanel::~DownloadPanel() = default;

void DownloadPanel::buildControls(QWidget* topBar)
{
    SeSkinButton1 = new QPushButton("保存目录", topBar);
    SeSkinButton1->setObjectName("SeSkinButton1");
    SeSkinButton1->setGeometry(556, 7, 80, 26);

    // The queue of files to fetch; it shows the engine's queue once the engine is there.
    downloadlistview = new DownloadListView(this);
    downloadlistview->setObjectName("downloadlistview");
    downloadlistview->setToolTip("按住Ctrl或Shift键可选择多项");
    downloadlistview->setAccessibleName("下载列表");
    downloadlistview->setGeometry(8, 24, 559, 196);

    downbtn = new QPushButton("开始下载", this);
    downbtn->setGeometry(8, 228, 96, 26);
    delbtn = new QPushButton("删除所选项", this);
    delbtn->setGeometry(112, 228, 96, 26);
    delallbtn = new QPushButton("清空列表", this);
    delallbtn->setGeometry(216, 228, 96, 26);
    SeSkinButton3 = new QPushButton("修改保存地址", this);
    SeSkinButton3->setGeometry(455, 228, 112, 26);

    // The files being fetched, and the workers of the slot chosen in that list.
    caption(this, "正在下载", 8, 262, 120);
    downloadnow = new ui::SongListView(this);
    downloadnow->setObjectName("downloadnow");
    downloadnow->setAccessibleName("正在下载");
    downloadnow->setColumnCaptions({"歌曲名称", "进度", "时间", "相应序列"});
    downloadnow->setMultiSelect(false);
    downloadnow->setGeometry(8, 282, 355, 132);

    caption(this, "线程进度", 375, 262, 120);
    QProgressBar** bars[] = {&SeSkinProgressBar1, &SeSkinProgressBar2, &SeSkinProgressBar3,
                             &SeSkinProgressBar4, &SeSkinProgressBar5};
    for (int k = 0; k < 5; ++k) {
        const int top = 282 + k * 27;
        caption(this, QString("线程%1").arg(k + 1), 375, top + 3, 40);
        auto* bar = new QProgressBar(this);
        bar->setObjectName(QString("SeSkinProgressBar%1").arg(k + 1));
        bar->setAccessibleName(QStringLiteral("下载进度 %1").arg(k + 1));
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setGeometry(417, top + 2, 150, 20);
        *bars[k] = bar;
    }

    // Completion reports and error lines.
    caption(this, "下载统计", 8, 420, 120);
    downinimemo = new QPlainTextEdit(this);
    downinimemo->setObjectName("downinimemo");
    downinimemo->setAccessibleName("下载记录");
    downinimemo->setReadOnly(true);
    downinimemo->setStyleSheet("QPlainTextEdit { color: red; }");
    downinimemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    downinimemo->setGeometry(8, 440, 559, 61);

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);

    // A larger window shares its extra height between the two lists; the memo and the buttons
    // follow them.
    anchorChildren(this, {{downloadlistview, {0, 1, 0, 0.5}},
                          {SeSkinButton3, {1, 0, 0.5, 0}},
                          {downloadnow, {0, 1, 0.5, 0.5}},
                          {downinimemo, {0, 1, 1, 0}}});
}

void DownloadPanel::connectHandlers()
{
    connect(delbtn, &QPushButton::clicked, this, &DownloadPanel::delbtnClick);
    connect(delallbtn, &QPushButton::clicked, this, &DownloadPanel::delallbtnClick);
    connect(SeSkinButton3, &QPushButton::clicked, this, &DownloadPanel::SeSkinButton3Click);
    connect(SeSkinButton1, &QPushButton::clicked, this, &DownloadPanel::SeSkinButton1Click);
    connect(downbtn, &QPushButton::clicked, this, &DownloadPanel::downbtnClick);
    connect(Timer1, &QTimer::timeout, this, &DownloadPanel::Timer1Timer);
    connect(downloadnow, &ui::SongListView::rowSelectionChanged, this,
            &DownloadPanel::downloadnowSelectItem);
    downloadlistview->setDownloadModel(new DownloadTableModel(engine_->queue(), this));
    openLocalPath = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    downloadlistview->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(downloadlistview, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        QMenu* menu = downloadRowMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(downloadlistview->viewport()->mapToGlobal(at));
    });
    connect(downloadlistview, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { downloadlistviewDblClick(index.row()); });
    // Delete removes the selected rows while the list has the focus.
    auto* deleting = new QShortcut(QKeySequence::Delete, downloadlistview);
    deleting->setContext(Qt::WidgetWithChildrenShortcut);
    connect(deleting, &QShortcut::activated, this, [this] {
        if (delbtn->isEnabled() && delbtn->isVisibleTo(delbtn->window()))
            delbtn->click();
    });
}

QProgressBar* DownloadPanel::workerBar(int k) const
{
    QProgressBar* bars[] = {SeSkinProgressBar1, SeSkinProgressBar2, SeSkinProgressBar3,
                            SeSkinProgressBar4, SeSkinProgressBar5};
    return k >= 0 && k < 5 ? bars[k] : nullptr;
}

void DownloadPanel::setTypeIcons(const QList<QIcon>& icons)
{
    downloadlistview->setImageList(&icons);
}

void DownloadPanel::addChosenRows(const std::vector<core::SongEntry>& rows)
{
    for (const core::SongEntry& row : download::downloadRowsFor(rows, SaveFolder))
        appendDownloadRow(row);
    showDownloadStates();
    emit showRequested();
}

void DownloadPanel::appendDownloadRow(const core::SongEntry& row)
{
    engine_->queue().append(row);
}

void DownloadPanel::keepDownloadListIn(const std::string& nativePath)
{
    download::DownloadQueue& queue = engine_->queue();
    queue.keepWritten(nullptr);
    queueFile_ = std::make_unique<download::QueueFile>(nativePath);
    download::QueueFile::Loaded loaded = queueFile_->load();
    // Lists kept before names were made safe show the file their rows are fetched into.
    for (download::QueueRow& row : loaded.rows) {
        const download::DownloadRow texts = row.texts();
        if (!texts.savePath.empty())
            row.entry.subItems.at(static_cast<std::size_t>(core::SubItem::SavePath)) =
                download::safeTargetPath(texts.savePath, texts.name, texts.typeText);
    }
    queue.replace(std::move(loaded.rows));
    showDownloadStates();
    if (!loaded.setAsideAs.empty())
        downinimemo->appendPlainText("下载列表文件无法读取，已另存为 " +
                                     QString::fromStdString(loaded.setAsideAs));
    download::QueueFile* file = queueFile_.get();
    // Changes are written together, at most once a second, and when the queue goes.
    queue.keepWritten([file](const std::vector<download::QueueRow>& rows, std::uint64_t version) {
        if (!file->save(rows, version))
            qCWarning(downloadLog, "the download list cannot be written to %s",
                      file->path().c_str());
    });
}

void DownloadPanel::delbtnClick()
{
    // A running row stops (its file and record stay for a later resume) and goes with the rest.
    // The rows as the view shows them, by id: the queue may have moved on meanwhile.
    std::vector<std::uint64_t> ids;
    for (int row : downloadlistview->selectedRows())
        ids.push_back(downloadlistview->queueRowAt(row).id);
    engineThread_->remove(ids);
    downloadlistview->downloadModel()->sync();
}

void DownloadPanel::delallbtnClick()
{
    engineThread_->clear();
    downloadlistview->downloadModel()->sync();
}

namespace {

// The file of a row, as the file system names it.
QString rowFile(const download::QueueRow& row)
{
    const download::DownloadRow texts = row.texts();
    return QString::fromStdString(
        core::gbkPath(download::safeTargetPath(texts.savePath, texts.name, texts.typeText))
            .string());
}

} // namespace

QMenu* DownloadPanel::downloadRowMenu(QWidget* parent)
{
    using download::RowAction;
    auto* menu = new QMenu(parent);
    std::vector<download::QueueRow> selected;
    for (int row : downloadlistview->selectedRows())
        selected.push_back(downloadlistview->queueRowAt(row));
    const auto add = [&](const char* text, RowAction action, std::function<void()> run) {
        QAction* item = menu->addAction(QString::fromUtf8(text));
        const bool applies = std::any_of(selected.begin(), selected.end(), [&](const auto& row) {
            return download::actionApplies(action, row);
        });
        item->setEnabled(applies);
        connect(item, &QAction::triggered, this, std::move(run));
    };
    // Each entry acts on the rows it applies to, found again by id when it is chosen.
    using Command = void (download::EngineThread::*)(const std::vector<std::uint64_t>&);
    const auto forEach = [this, selected](RowAction action, Command command) {
        return [this, selected, action, command] {
            std::vector<std::uint64_t> ids;
            for (const download::QueueRow& row : selected)
                if (const auto now = engine_->queue().find(row.id);
                    now && download::actionApplies(action, *now))
                    ids.push_back(row.id);
            (engineThread_.get()->*command)(ids);
            showDownloadStates();
        };
    };
    add("暂停", RowAction::Pause, forEach(RowAction::Pause, &download::EngineThread::pause));
    add("继续", RowAction::Continue, forEach(RowAction::Continue, &download::EngineThread::resume));
    add("删除", RowAction::Remove, [this] { delbtnClick(); });
    add("重新下载", RowAction::Redownload,
        forEach(RowAction::Redownload, &download::EngineThread::redownload));
    menu->addSeparator();
    add("打开文件", RowAction::OpenFile, [this, selected] {
        for (const download::QueueRow& row : selected)
            if (download::actionApplies(download::RowAction::OpenFile, row)) {
                openLocalPath(rowFile(row));
                return;
            }
    });
    add("打开所在文件夹", RowAction::OpenFolder, [this, selected] {
        if (!selected.empty())
            openLocalPath(QFileInfo(rowFile(selected.front())).absolutePath());
    });
    return menu;
}

void DownloadPanel::downloadlistviewDblClick(int row)
{
    if (row < 0 || row >= downloadlistview->rowCount())
        return;
    const auto queued = engine_->queue().find(downloadlistview->queueRowAt(row).id);
    if (queued && download::actionApplies(download::RowAction::OpenFile, *queued))
        openLocalPath(rowFile(*queued));
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

void DownloadPanel::SeSkinButton3Click()
{
    if (downloadlistview->firstSelectedRow() < 0)
        return;
    ChooserRewrite = true;
    showChooser(Form2);
}

void DownloadPanel::SeSkinButton1Click()
{
    showChooser(Form2);
}

void DownloadPanel::folderChosen(const std::string& folder)
{
    // Rows are added and removed on the window's thread only: once the list shows every
    // change, the model's row numbers are the queue's.
    downloadlistview->downloadModel()->sync();
    std::vector<std::pair<int, core::SongEntry>> selected;
    if (ChooserRewrite)
        for (int row : downloadlistview->selectedRows())
            selected.emplace_back(downloadlistview->queueIndexAt(row),
                                  downloadlistview->rowAt(row));
    const download::ChooserOutcome outcome =
        download::confirmChooser(ChooserRewrite, SaveFolder, folder, selected);
    for (const auto& [row, path] : outcome.newSavePaths)
        engine_->queue().setSavePath(row, path);
    SaveFolder = outcome.saveFolder;
    ChooserRewrite = outcome.rewriteMode;
    emit saveFolderChosen(SaveFolder);
}

} // namespace gui
