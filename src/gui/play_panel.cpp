// The play panel: the play list with its tool bar, appending, deleting and clearing, and the
// player pages shown in WebBrowser3.
#include "gui/play_panel.h"

#include "browser/player_standin.h"
#include "browser/webengine_browser.h"
#include "core/gbk_qt.h"
#include "core/line_file.h"
#include "gui/anchor_layout.h"
#include "gui/dialogs.h"
#include "gui/play_list_model.h"
#include "gui/play_list_view.h"
#include "gui/tool_button.h"
#include "player/list_files.h"
#include "player/play_list.h"
#include "player/playback/application_player.h"
#include "player/player_pages.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QUrl>

namespace gui {
namespace {

// A group caption of the tool bar: 100 pixels wide, centred, word-wrapped, in its container.
QLabel* groupCaption(QWidget* bar, const char* containerName, const char* labelName,
                     const QString& caption, int left)
{
    auto* container = new QWidget(bar);
    container->setObjectName(containerName);
    container->setGeometry(left, 0, 100, 29);
    auto* label = new QLabel(caption, container);
    label->setObjectName(labelName);
    label->setGeometry(0, 0, 100, 29);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

// Clicks a button that the user could click now.
void press(QAbstractButton* button)
{
    if (button && button->isEnabled() && button->isVisibleTo(button->window()))
        button->click();
}

} // namespace

PlayPanel::PlayPanel(std::string playerDownloadHost, QWidget* parent)
    : QGroupBox(parent), playerDownloadHost_(std::move(playerDownloadHost))
{
    build();
    addShortcuts();
}

PlayPanel::~PlayPanel() = default;

void PlayPanel::setChosenRows(std::function<std::vector<core::SongEntry>()> chosenRows)
{
    chosenRows_ = std::move(chosenRows);
}

void PlayPanel::setSearchWords(std::function<QString()> searchWords)
{
    searchWords_ = std::move(searchWords);
}

void PlayPanel::setProgramFolder(const std::string& folder)
{
    programFolder_ = folder;
}

std::vector<core::SongEntry> PlayPanel::rows() const
{
    return model->rows();
}

void PlayPanel::build()
{
    SeSkinPanel1 = this;
    setObjectName("SeSkinPanel1");
    resize(575, 201);

    SeSkinToolBar3 = new QWidget(this);
    SeSkinToolBar3->setObjectName("SeSkinToolBar3");
    SeSkinToolBar3->setGeometry(3, 24, 569, 29);
    SeSkinLabel7 = groupCaption(SeSkinToolBar3, "SeSpeedContainer2", "SeSkinLabel7",
                                "选择想保存到对应列表", 2);
    dragplaybtn = ui::toolButton(SeSkinToolBar3, "dragplaybtn", "播",
                                 "搜索栏所选项保存到播放列表，点击‘唱'进行播放", 102, 2);
    dragdownbtn = ui::toolButton(SeSkinToolBar3, "dragdownbtn", "下",
                                 "搜索栏所选项保存到下载列表，点击‘下载'进行下载", 127, 2);
    dragcardbtn = ui::toolButton(SeSkinToolBar3, "dragcardbtn", "卡",
                                 "搜索栏所选项保存到音乐贺卡列表，点击‘音乐贺卡'进行编辑", 152, 2);
    SeSkinLabel8 = groupCaption(SeSkinToolBar3, "SeSpeedContainer1", "SeSkinLabel8",
                                "当前播放列表删除操作", 177);
    playdelbtn =
        ui::toolButton(SeSkinToolBar3, "playdelbtn", "删", "删除档前播放列表所选项", 277, 2);
    playclear = ui::toolButton(SeSkinToolBar3, "playclear", "清", "清空当前播放列表", 302, 2);
    SeSkinLabel9 = groupCaption(SeSkinToolBar3, "SeSpeedContainer3", "SeSkinLabel9",
                                "播放列表的播放及存储", 327);
    playsavebtn = ui::toolButton(SeSkinToolBar3, "playsavebtn", "存", "保存当前播放列表", 427, 2);
    playloadbtn = ui::toolButton(SeSkinToolBar3, "playloadbtn", "装", "装载播放列表", 452, 2);
    SeSkinButton4 = new QPushButton("在线播放", SeSkinToolBar3);
    SeSkinButton4->setObjectName("SeSkinButton4");
    SeSkinButton4->setToolTip("播放当前列表");
    SeSkinButton4->setGeometry(477, 2, 73, 25);

    model = new PlayListModel(this);
    playListView = new PlayListView(model, this);
    playListView->setObjectName("playListView");
    playListView->setGeometry(8, 56, 561, 137);
    QPalette palette = playListView->palette();
    palette.setColor(QPalette::Base, Qt::white);
    playListView->setPalette(palette);

    WebBrowser3 = new browser::WebEngineBrowser(browser::WebEngineBrowser::Kind::Shown, this, this);
    WebBrowser3->setObjectName("WebBrowser3");
    WebBrowser3->view()->setGeometry(8, 128, 561, 73);
    // The player browser stays hidden behind its siblings until a player page is shown.
    WebBrowser3->setBrowserVisible(false);
    WebBrowser3->view()->lower();

    SeSkinLabel4 = new QLabel("正在装载播放器，清稍侯.......", this);
    SeSkinLabel4->setObjectName("SeSkinLabel4");
    SeSkinLabel4->setGeometry(80, 145, 369, 35);
    SeSkinLabel4->hide();

    // A larger window gives the list and the player page more room; 在线播放 stays at the right.
    layout_ = anchorChildren(this, {{SeSkinToolBar3, {0, 1, 0, 0}},
                                    {playListView, {0, 1, 0, 1}},
                                    {WebBrowser3->view(), {0, 1, 0, 1}}});
    anchorChildren(SeSkinToolBar3, {{SeSkinButton4, {1, 0, 0, 0}}});

    // Names a screen reader says for the controls whose caption is one glyph or none.
    const std::pair<QWidget*, const char*> names[] = {
        {dragplaybtn, "加入播放列表"},   {dragdownbtn, "加入下载列表"},
        {dragcardbtn, "加入贺卡列表"},   {playdelbtn, "删除所选歌曲"},
        {playclear, "清空播放列表"},     {playsavebtn, "保存播放列表"},
        {playloadbtn, "装载播放列表"},   {playListView, "播放列表"},
        {WebBrowser3->view(), "播放器"},
    };
    for (const auto& [widget, name] : names)
        widget->setAccessibleName(QString::fromUtf8(name));

    SaveDialog1.filter = "real播放列表(*.rpm)|*.rpm|winmedia列表(*.asx)|*.asx|"
                         "M3U8播放列表(*.m3u8)|*.m3u8|XSPF播放列表(*.xspf)|*.xspf";
    OpenDialog2.filter =
        "播放列表(*.rpm;*.asx;*.m3u8;*.m3u;*.xspf)|*.rpm;*.asx;*.m3u8;*.m3u;*.xspf|"
        "winmedia列表(*.asx)|*.asx|real列表(*.rpm)|*.rpm|"
        "M3U播放列表(*.m3u8;*.m3u)|*.m3u8;*.m3u|XSPF播放列表(*.xspf)|*.xspf";

    connect(dragplaybtn, &QToolButton::clicked, this, &PlayPanel::dragplaybtnClick);
    connect(dragdownbtn, &QToolButton::clicked, this, &PlayPanel::downloadChosenAsked);
    connect(dragcardbtn, &QToolButton::clicked, this, &PlayPanel::cardChosenAsked);
    connect(playdelbtn, &QToolButton::clicked, this, &PlayPanel::playdelbtnClick);
    connect(playclear, &QToolButton::clicked, this, &PlayPanel::playclearClick);
    connect(playsavebtn, &QToolButton::clicked, this, &PlayPanel::playsavebtnClick);
    connect(playloadbtn, &QToolButton::clicked, this, &PlayPanel::playloadbtnClick);
    connect(SeSkinButton4, &QPushButton::clicked, this, &PlayPanel::SeSkinButton4Click);
    connect(WebBrowser3, &browser::BrowserControl::ProgressChange, this,
            &PlayPanel::WebBrowser3ProgressChange);
    connect(WebBrowser3, &browser::BrowserControl::DocumentComplete, this,
            &PlayPanel::WebBrowser3DocumentComplete);
}

void PlayPanel::addShortcuts()
{
    // Delete removes the selected row while the play list has the focus.
    auto* remove = new QShortcut(QKeySequence::Delete, playListView);
    remove->setContext(Qt::WidgetWithChildrenShortcut);
    connect(remove, &QShortcut::activated, this, [this] { press(playdelbtn); });
    // Space pauses and resumes the program's player while the panel has the focus.
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    space->setContext(Qt::WidgetWithChildrenShortcut);
    connect(space, &QShortcut::activated, this, [] {
        // Space still presses a button that has the focus.
        if (auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget())) {
            button->animateClick();
            return;
        }
        playback::PlaybackEngine& engine = playback::ApplicationPlayer::instance().engine();
        using State = playback::PlaybackEngine::State;
        if (engine.state() == State::Playing || engine.state() == State::Connecting)
            engine.pause();
        else if (!engine.entries().empty())
            engine.play();
    });
}

void PlayPanel::dragplaybtnClick()
{
    addChosenRows(chosenRows_ ? chosenRows_() : std::vector<core::SongEntry>());
}

void PlayPanel::addChosenRows(const std::vector<core::SongEntry>& chosen)
{
    switch (model->append(chosen)) {
    case player::AppendOutcome::NothingSelected:
        ui::showMessage(this, "请在搜索栏中选择想播放的文件名！");
        return;
    case player::AppendOutcome::Refused:
        ui::showMessage(this, "文件类型不符,不能追加!");
        return;
    case player::AppendOutcome::Append:
        break;
    }
    emit rowsAppended(chosen);
}

void PlayPanel::playdelbtnClick()
{
    const int row = playListView->firstSelectedRow();
    if (row >= 0)
        model->removeAt(playListView->listRow(row));
}

void PlayPanel::playclearClick()
{
    model->clear();
    fitList(player::heightAfterClear(listDesignHeight()), false);
}

void PlayPanel::SeSkinButton4Click()
{
    model->clear();
    dragplaybtnClick();
    const std::vector<core::SongEntry> rows = model->rows();
    if (rows.empty())
        return;
    if (player::isRealType(rows.front().sub(core::SubItem::TypeText))) {
        const std::string list = programFolder_ + player::kRealListFile;
        core::writeLines(core::gbkPath(list), player::realListLines(rows));
        handOver(list, rows, true);
        ShowRealPage(list, player::kRealShrink);
    } else {
        PlayOwnMediaList(rows);
    }
}

void PlayPanel::PlayOwnMediaList(const std::vector<core::SongEntry>& rows)
{
    const std::string list = programFolder_ + player::kMediaListFile;
    core::writeLines(core::gbkPath(list), player::mediaListLines(rows, player::kOwnListTitle));
    handOver(list, rows, false);
    // The page names the list with one blank after it, inside the attribute.
    ShowMediaPage(list + " ", player::kOwnMediaHeight, player::kMediaShrink);
}

void PlayPanel::handOver(const std::string& listPath, const std::vector<core::SongEntry>& rows,
                         bool real)
{
    const QString path = core::fromGbk(listPath);
    const QUrl base = QUrl::fromLocalFile(path);
    std::vector<browser::PlayerEntry> entries;
    for (const std::string& address : player::playAddresses(rows, real))
        entries.push_back(browser::playerEntry(core::fromGbk(address), {}, base));
    WebBrowser3->givePlayerList(path, entries);
}

int PlayPanel::listDesignHeight() const
{
    return layout_->designOfPlace(playListView).height();
}

void PlayPanel::fitList(int designHeight, bool pageShown)
{
    QRect design = layout_->designOfPlace(playListView);
    design.setHeight(designHeight);
    layout_->setDesignGeometry(playListView, design);
    layout_->setStretch(playListView, {0, 1, 0, pageShown ? 0.0 : 1.0});
}

void PlayPanel::ShowRealPage(const std::string& listPath, int shrink)
{
    const std::string page = programFolder_ + player::kRealPageFile;
    core::writeLines(core::gbkPath(page), player::realPageLines(listPath));
    fitList(player::heightAfterShow(listDesignHeight(), shrink), true);
    WebBrowser3->setBrowserVisible(true);
    WebBrowser3->view()->raise();
    WebBrowser3->Navigate(core::fromGbk("file:///" + page));
}

void PlayPanel::ShowMediaPage(const std::string& listPath, int objectHeight, int shrink)
{
    const std::string page = programFolder_ + player::kMediaPageFile;
    core::writeLines(core::gbkPath(page),
                     player::mediaPageLines(listPath, objectHeight, playerDownloadHost_));
    fitList(player::heightAfterShow(listDesignHeight(), shrink), true);
    WebBrowser3->setBrowserVisible(true);
    WebBrowser3->view()->raise();
    WebBrowser3->Navigate(core::fromGbk("file:///" + page));
}

void PlayPanel::PlayChosenListFile(const std::string& chosenPath)
{
    if (player::isRealListName(chosenPath))
        ShowRealPage(chosenPath, player::kChosenShrink);
    else
        ShowMediaPage(chosenPath, player::kChosenMediaHeight, player::kChosenShrink);
}

void PlayPanel::WebBrowser3ProgressChange(int, int)
{
    SeSkinLabel4->show();
    SeSkinLabel4->raise();
}

void PlayPanel::WebBrowser3DocumentComplete()
{
    SeSkinLabel4->hide();
}

} // namespace gui
