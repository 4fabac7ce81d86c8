#include "gui/search_panel.h"

#include "browser/browser_control.h"
#include "core/gbk.h"
#include "core/gbk_qt.h"
#include "gui/anchor_layout.h"
#include "gui/browser_search_engine.h"
#include "gui/dialogs.h"
#include "gui/result_presenter.h"
#include "gui/search_log.h"
#include "gui/song_list_view.h"
#include "gui/tool_button.h"
#include "search/archive_search.h"
#include "search/search_request.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <utility>

namespace gui {

namespace {

const char* const kChartsNeedDefaultEngine = "互联网档案馆没有排行榜和专辑：请改选默认mp3搜索引擎";

search::archive::EngineSettings archiveSettings(const search::ServiceHosts& hosts)
{
    search::archive::EngineSettings settings;
    settings.base = hosts.archive;
    while (!settings.base.empty() && settings.base.back() == '/')
        settings.base.pop_back();
    const QString version = QCoreApplication::applicationVersion();
    settings.userAgent = version.isEmpty() ? "Corvale" : "Corvale/" + version.toStdString();
    return settings;
}

std::u16string utf16(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}

// Clicks a button that the user could click now.
void press(QAbstractButton* button)
{
    if (button && button->isEnabled() && button->isVisibleTo(button->window()))
        button->click();
}

} // namespace

SearchPanel::SearchPanel(const search::ServiceHosts& hosts, const QString& windowCaption,
                         QWidget* topBar, QWidget* client, QObject* parent)
    : QObject(parent)
{
    buildTopBar(topBar);
    defaultEngine_ = new BrowserSearchEngine(hosts, core::toGbk(windowCaption), client, this);
    buildResultList(client);
    archive_ = std::make_unique<search::ArchiveSearch>(archiveSettings(hosts));
    archive_->log = [](const std::string& line) { qCDebug(searchLog, "%s", line.c_str()); };
    presenter_ = new ResultPresenter(ListView1, resultlabel, SeSkinProgressBar6, this);
    presenter_->addEngine(defaultEngine_);
    presenter_->addEngine(archive_.get());
    connectHandlers();
    describeControls();
    addShortcuts();
}

// The archive engine's threads end first, then the browsers; the presenter they report to goes
// last.
SearchPanel::~SearchPanel()
{
    archive_.reset();
    delete defaultEngine_;
}

void SearchPanel::buildTopBar(QWidget* topBar)
{
    SeSkinComboBox2 = new QComboBox(topBar);
    SeSkinComboBox2->addItems({"默认mp3搜索引擎", "互联网档案馆"});
    SeSkinComboBox2->setGeometry(8, 8, 140, 24);

    SeSkinComboBox1 = new QComboBox(topBar);
    SeSkinComboBox1->addItems({"MP3", "RM", "WMA", "ASF", "RAM"});
    SeSkinComboBox1->setCurrentIndex(0);
    SeSkinComboBox1->setGeometry(154, 8, 70, 24);

    Edit1 = new QLineEdit(topBar);
    Edit1->setToolTip("请输入歌手名或歌曲名,然后点击搜索键");
    Edit1->setGeometry(230, 8, 250, 24);

    Button1 = new QPushButton("搜索", topBar);
    Button1->setGeometry(486, 7, 64, 26);
    Button1->setDefault(true);

    SeSkinToolBar1 = new QWidget(topBar);
    SeSkinToolBar1->setObjectName("SeSkinToolBar1");
    SeSkinToolBar1->setGeometry(0, 40, 696, 31);
    searchProgressLabel = new QLabel("搜索进度", SeSkinToolBar1);
    searchProgressLabel->setGeometry(8, 3, 56, 25);
    SeSkinProgressBar6 = new QProgressBar(SeSkinToolBar1);
    SeSkinProgressBar6->setGeometry(66, 9, 150, 14);
    SeSkinProgressBar6->setTextVisible(false);
    SeSkinProgressBar6->setValue(0);
    SeSkinSpeedButton2 =
        ui::toolButton(SeSkinToolBar1, "SeSkinSpeedButton2", "刷", "刷新搜索结果", 222, 3);
    stopbtn = ui::toolButton(SeSkinToolBar1, "stopbtn", "停", "停止搜索", 247, 3);
    manlistbtn = ui::toolButton(SeSkinToolBar1, "manlistbtn", "男", "男歌手列表", 272, 3);
    womanlistbtn = ui::toolButton(SeSkinToolBar1, "womanlistbtn", "女", "女歌手列表", 297, 3);
    musiclist = ui::toolButton(SeSkinToolBar1, "musiclist", "歌", "歌曲列表", 322, 3);
    menubtn = ui::toolButton(SeSkinToolBar1, "menubtn", "辑", "显示相关专辑", 347, 3);
    resultlabel = new QLabel("搜索结果为:", SeSkinToolBar1);
    resultlabel->setGeometry(380, 3, 306, 25);
    // The result caption takes the tool bar's extra width.
    anchorChildren(SeSkinToolBar1, {{resultlabel, {0, 1, 0, 0}}});
}

void SearchPanel::buildResultList(QWidget* client)
{
    ListView1 = new ui::SongListView(client);
    ListView1->setObjectName("ListView1");
    ListView1->setGeometry(121, 73, 575, 311);
    ListView1->setColumnCaptions({QString(), "歌手名", "下载地址", "大小", "类型"});
    ListView1->setGridLines(true);
    ListView1->setMultiSelect(true);
    ListView1->setSortable(true);
    ListView1->setToolTip("按住Ctrl或Shift键可以同时选择多项");
}

// Names a screen reader says for the controls whose caption is one glyph or none.
void SearchPanel::describeControls()
{
    const std::pair<QWidget*, const char*> names[] = {
        {SeSkinComboBox2, "搜索引擎"},
        {SeSkinComboBox1, "媒体类型"},
        {Edit1, "搜索词"},
        {SeSkinProgressBar6, "搜索进度"},
        {SeSkinSpeedButton2, "刷新"},
        {stopbtn, "停止搜索"},
        {manlistbtn, "男歌手榜"},
        {womanlistbtn, "女歌手榜"},
        {musiclist, "歌曲榜"},
        {menubtn, "相关专辑"},
        {ListView1, "搜索结果"},
    };
    for (const auto& [widget, name] : names)
        widget->setAccessibleName(QString::fromUtf8(name));
}

void SearchPanel::addShortcuts()
{
    const auto add = [this](const QKeySequence& keys, std::function<void()> action) {
        auto* shortcut = new QShortcut(keys, SeSkinToolBar1);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, std::move(action));
    };
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_L), QKeySequence(QKeySequence::Find)})
        add(keys, [this] {
            Edit1->setFocus(Qt::ShortcutFocusReason);
            Edit1->selectAll();
        });
    add(QKeySequence::Refresh, [this] { press(SeSkinSpeedButton2); });
    add(QKeySequence(Qt::Key_Escape), [this] { press(stopbtn); });
}

void SearchPanel::connectHandlers()
{
    connect(Button1, &QPushButton::clicked, this, &SearchPanel::Button1Click);
    connect(Edit1, &QLineEdit::returnPressed, this, &SearchPanel::Button1Click);
    connect(SeSkinComboBox1, &QComboBox::activated, this, &SearchPanel::SeSkinComboBox1Change);
    connect(SeSkinComboBox2, &QComboBox::activated, this, &SearchPanel::SeSkinComboBox2Change);
    connect(SeSkinSpeedButton2, &QToolButton::clicked, this, &SearchPanel::SeSkinSpeedButton2Click);
    connect(stopbtn, &QToolButton::clicked, this, &SearchPanel::stopbtnClick);
    connect(manlistbtn, &QToolButton::clicked, this, &SearchPanel::manlistbtnClick);
    connect(womanlistbtn, &QToolButton::clicked, this, &SearchPanel::womanlistbtnClick);
    connect(musiclist, &QToolButton::clicked, this, &SearchPanel::musiclistClick);
    connect(menubtn, &QToolButton::clicked, this, &SearchPanel::menubtnClick);
    connect(ListView1, &ui::SongListView::rowSelectionChanged, this,
            &SearchPanel::ListView1SelectItem);
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { ListView1DblClick(); });
    connect(ListView1->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (value > 0 && value == ListView1->verticalScrollBar()->maximum())
            presenter_->scrolledToEnd();
    });
    connect(presenter_, &ResultPresenter::windowCaptionWritten, this,
            &SearchPanel::windowCaptionWritten);
    connect(presenter_, &ResultPresenter::trouble, this,
            [this](const QString& message) { ui::showMessage(ListView1->window(), message); });
}

void SearchPanel::setTypeIcons(const QList<QIcon>* icons)
{
    icons_ = icons;
    ListView1->setImageList(icons);
}

int SearchPanel::MediaType() const
{
    return SeSkinComboBox1->currentIndex();
}

std::vector<core::SongEntry> SearchPanel::chosenRows() const
{
    const std::vector<int> selected = ListView1->selectedRows();
    std::vector<core::SongEntry> rows;
    rows.reserve(selected.size());
    for (int row : selected)
        rows.push_back(ListView1->rowAt(row));
    return rows;
}

std::vector<core::SongEntry> SearchPanel::rows() const
{
    std::vector<core::SongEntry> all;
    all.reserve(static_cast<size_t>(ListView1->rowCount()));
    for (int row = 0; row < ListView1->rowCount(); ++row)
        all.push_back(ListView1->rowAt(row));
    return all;
}

QString SearchPanel::words() const
{
    return Edit1->text();
}

bool SearchPanel::archiveChosen() const
{
    return SeSkinComboBox2->currentIndex() == kArchiveEngine;
}

bool SearchPanel::searching() const
{
    return presenter_->busy();
}

void SearchPanel::Button1Click()
{
    defaultEngine_->rules().state().searchStopped = 0;
    if (Edit1->text().isEmpty()) {
        Edit1->setFocus();
        return;
    }
    const int type = MediaType();
    const int image = search::headerImage(type);
    const bool shown = icons_ && image < icons_->size();
    ListView1->headerItem()->setIcon(0, shown ? (*icons_)[image] : QIcon());
    // The rows show the header's image, 5 (none) when it shows none.
    defaultEngine_->setRowImage(shown ? image : search::headerImage(-1));
    if (archiveChosen()) {
        presenter_->start(*archive_, utf16(Edit1->text()), type);
        return;
    }
    presenter_->start(*defaultEngine_, utf16(Edit1->text()), type);
}

void SearchPanel::SeSkinComboBox1Change()
{
    if (!SeSkinComboBox1->currentText().isEmpty() && !Edit1->text().isEmpty())
        Button1Click();
}

void SearchPanel::SeSkinSpeedButton2Click()
{
    ListView1->clearRows();
    Button1->click();
}

void SearchPanel::stopbtnClick()
{
    qCDebug(searchLog, "search stopped: %d rows listed", ListView1->rowCount());
    SeSkinProgressBar6->setValue(0);
    presenter_->stop();
}

void SearchPanel::chooseEngine(int index)
{
    SeSkinComboBox2->setCurrentIndex(index);
    SeSkinComboBox2Change();
}

void SearchPanel::SeSkinComboBox2Change()
{
    const bool archive = archiveChosen();
    emit engineChosen(SeSkinComboBox2->currentIndex());
    static const char* const hints[] = {"男歌手列表", "女歌手列表", "歌曲列表", "显示相关专辑"};
    QToolButton* const buttons[] = {manlistbtn, womanlistbtn, musiclist, menubtn};
    for (int k = 0; k < 4; ++k) {
        buttons[k]->setEnabled(!archive);
        buttons[k]->setToolTip(QString::fromUtf8(archive ? kChartsNeedDefaultEngine : hints[k]));
    }
    // Each engine keeps its own result caption.
    if (archive && !archiveCaptionShown_) {
        archiveCaptionShown_ = true;
        resultlabel->setText(core::fromGbk(search::initialLabel()));
    } else if (!archive && archiveCaptionShown_) {
        if (presenter_->engine() == archive_.get())
            presenter_->stop();
        archiveCaptionShown_ = false;
        resultlabel->setText(core::fromGbk(defaultEngine_->rules().caption()));
    }
}

void SearchPanel::chartClicked(int chart)
{
    presenter_->follow(*defaultEngine_,
                       defaultEngine_->loadChart(static_cast<search::Chart>(chart)));
}

void SearchPanel::manlistbtnClick()
{
    chartClicked(static_cast<int>(search::Chart::MaleSingers));
}

void SearchPanel::womanlistbtnClick()
{
    chartClicked(static_cast<int>(search::Chart::FemaleSingers));
}

void SearchPanel::musiclistClick()
{
    chartClicked(static_cast<int>(search::Chart::Songs));
}

void SearchPanel::menubtnClick()
{
    if (Edit1->text().isEmpty()) {
        Edit1->setFocus();
        return;
    }
    presenter_->follow(*defaultEngine_,
                       defaultEngine_->loadAlbum(core::toGbk(Edit1->text()), MediaType()));
}

void SearchPanel::ListView1SelectItem(int row, bool selected)
{
    // A selection change that arrives after the list was emptied names a row that is gone.
    if (!selected || row < 0 || row >= ListView1->rowCount() || !ListView1->isRowSelected(row))
        return;
    const core::SongEntry entry = ListView1->rowAt(row);
    if (entry.subItems.size() >= 3)
        return;
    // The search empties the list, which must not happen inside the list's own selection
    // change (the item being selected would be deleted under it): it starts right after.
    const std::string name = entry.sub(core::SubItem::Name);
    QTimer::singleShot(0, this, [this, row, name] {
        if (row >= ListView1->rowCount() || !ListView1->isRowSelected(row) ||
            ListView1->rowAt(row).sub(core::SubItem::Name) != name)
            return; // another chosen row has already started its search
        Edit1->setText(core::fromGbk(name));
        Button1->click();
    });
}

void SearchPanel::ListView1DblClick()
{
    const int first = ListView1->firstSelectedRow();
    if (first >= 0)
        emit cardRowChosen(ListView1->rowAt(first));
}

} // namespace gui
