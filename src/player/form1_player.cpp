// The play panel: the play list with its tool bar, appending, deleting and clearing, and the
// player pages shown in WebBrowser3.
#include "app/form1.h"

#include "browser/webengine_browser.h"
#include "core/line_file.h"
#include "gui/dialogs.h"
#include "gui/gbk_qt.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"
#include "gui/tool_button.h"
#include "player/list_files.h"
#include "player/play_list.h"
#include "player/player_pages.h"

#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QToolButton>

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

QPushButton* hiddenPushButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->hide();
    return button;
}

std::vector<core::SongEntry> rowsOf(const ui::SongListView* list)
{
    std::vector<core::SongEntry> rows;
    rows.reserve(static_cast<size_t>(list->rowCount()));
    for (int i = 0; i < list->rowCount(); ++i)
        rows.push_back(list->rowAt(i));
    return rows;
}

void setListHeight(QWidget* list, int height)
{
    list->resize(list->width(), height);
}

} // namespace

void TForm1::buildPlayPanel()
{
    SeSkinPanel1 = new QGroupBox(centralWidget());
    SeSkinPanel1->setObjectName("SeSkinPanel1");
    SeSkinPanel1->setGeometry(121, 384, 575, 201);

    SeSkinToolBar3 = new QWidget(SeSkinPanel1);
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
    playnowbtn = ui::toolButton(SeSkinToolBar3, "playnowbtn", "唱", "播放当前列表", 427, 2);
    playnowbtn->hide();
    playsavebtn = ui::toolButton(SeSkinToolBar3, "playsavebtn", "存", "保存当前播放列表", 427, 2);
    playloadbtn = ui::toolButton(SeSkinToolBar3, "playloadbtn", "装", "装载播放列表", 452, 2);
    SeSkinButton4 = new QPushButton("在线播放", SeSkinToolBar3);
    SeSkinButton4->setObjectName("SeSkinButton4");
    SeSkinButton4->setToolTip("播放当前列表");
    SeSkinButton4->setGeometry(477, 2, 73, 25);

    playbtn = hiddenPushButton(SeSkinPanel1, "playbtn", "在线播放");
    playviewbtn = hiddenPushButton(SeSkinPanel1, "playviewbtn", "至播放列表");
    savelist = hiddenPushButton(SeSkinPanel1, "savelist", "保存列表");

    playListView = new ui::SongListView(SeSkinPanel1);
    playListView->setObjectName("playListView");
    playListView->setGeometry(8, 56, 561, 137);
    playListView->setColumnCaptions({"", "歌手名", "下载地址", "大小", "类型"});
    playListView->setMultiSelect(false);
    playListView->setGridLines(false);
    QPalette palette = playListView->palette();
    palette.setColor(QPalette::Base, Qt::white);
    playListView->setPalette(palette);

    WebBrowser3 =
        new browser::WebEngineBrowser(browser::WebEngineBrowser::Kind::Shown, SeSkinPanel1, this);
    WebBrowser3->setObjectName("WebBrowser3");
    WebBrowser3->view()->setGeometry(8, 128, 561, 73);

    SeSkinLabel4 = new QLabel("正在装载播放器，清稍侯.......", SeSkinPanel1);
    SeSkinLabel4->setObjectName("SeSkinLabel4");
    SeSkinLabel4->setGeometry(80, 145, 369, 35);
    SeSkinLabel4->hide();

    SaveDialog1.filter = "real播放列表(*.rpm)|*.rpm|winmedia列表(*.asx)|*.asx|"
                         "M3U8播放列表(*.m3u8)|*.m3u8|XSPF播放列表(*.xspf)|*.xspf";
    OpenDialog2.filter =
        "播放列表(*.rpm;*.asx;*.m3u8;*.m3u;*.xspf)|*.rpm;*.asx;*.m3u8;*.m3u;*.xspf|"
        "winmedia列表(*.asx)|*.asx|real列表(*.rpm)|*.rpm|"
        "M3U播放列表(*.m3u8;*.m3u)|*.m3u8;*.m3u|XSPF播放列表(*.xspf)|*.xspf";
}

void TForm1::connectPlayerHandlers()
{
    connect(dragplaybtn, &QToolButton::clicked, this, &TForm1::dragplaybtnClick);
    connect(playdelbtn, &QToolButton::clicked, this, &TForm1::playdelbtnClick);
    connect(playclear, &QToolButton::clicked, this, &TForm1::playclearClick);
    connect(playsavebtn, &QToolButton::clicked, this, &TForm1::playsavebtnClick);
    connect(playloadbtn, &QToolButton::clicked, this, &TForm1::playloadbtnClick);
    connect(playnowbtn, &QToolButton::clicked, this, &TForm1::playnowbtnClick);
    connect(SeSkinButton4, &QPushButton::clicked, this, &TForm1::SeSkinButton4Click);
    connect(playbtn, &QPushButton::clicked, this, &TForm1::playbtnClick);
    connect(playviewbtn, &QPushButton::clicked, this, &TForm1::playviewbtnClick);
    connect(savelist, &QPushButton::clicked, this, &TForm1::savelistClick);
    connect(playListView, &ui::SongListView::rowSelectionChanged, this,
            [this](int, bool) { playListViewSelectItem(); });
    connect(WebBrowser3, &browser::BrowserControl::ProgressChange, this,
            &TForm1::WebBrowser3ProgressChange);
    connect(WebBrowser3, &browser::BrowserControl::DocumentComplete, this,
            &TForm1::WebBrowser3DocumentComplete);
}

void TForm1::dragplaybtnClick()
{
    const std::vector<int> selected = searchPanel_->ListView1->selectedRows();
    const std::string firstType =
        selected.empty()
            ? std::string()
            : searchPanel_->ListView1->rowAt(selected.front()).sub(core::SubItem::TypeText);
    switch (player::planAppend(!selected.empty(), firstType, rowsOf(playListView))) {
    case player::AppendOutcome::NothingSelected:
        ui::showMessage(this, "请在搜索栏中选择想播放的文件名！");
        return;
    case player::AppendOutcome::Refused:
        ui::showMessage(this, "文件类型不符,不能追加!");
        return;
    case player::AppendOutcome::Append:
        break;
    }
    for (const core::SongEntry& row :
         player::selectedCopies(rowsOf(searchPanel_->ListView1), selected)) {
        playListView->appendRow(row);
        if (cardlistview)
            cardlistview->appendRow(row);
    }
}

void TForm1::playdelbtnClick()
{
    const int row = playListView->firstSelectedRow();
    if (row >= 0)
        playListView->removeRowAt(row);
}

void TForm1::playclearClick()
{
    playListView->clearRows();
    setListHeight(playListView, player::heightAfterClear(playListView->height()));
}

void TForm1::SeSkinButton4Click()
{
    playListView->clearRows();
    dragplaybtnClick();
    const std::vector<core::SongEntry> rows = rowsOf(playListView);
    if (rows.empty())
        return;
    if (player::isRealType(rows.front().sub(core::SubItem::TypeText))) {
        const std::string list = ProgramFolder + player::kRealListFile;
        core::writeLines(core::gbkPath(list), player::realListLines(rows));
        ShowRealPage(list, player::kRealShrink);
    } else {
        PlayOwnMediaList(rows);
    }
}

void TForm1::PlayOwnMediaList(const std::vector<core::SongEntry>& rows)
{
    const std::string list = ProgramFolder + player::kMediaListFile;
    core::writeLines(core::gbkPath(list), player::mediaListLines(rows, player::kOwnListTitle));
    // The page names the list with one blank after it, inside the attribute.
    ShowMediaPage(list + " ", player::kOwnMediaHeight, player::kMediaShrink);
}

void TForm1::ShowRealPage(const std::string& listPath, int shrink)
{
    const std::string page = ProgramFolder + player::kRealPageFile;
    core::writeLines(core::gbkPath(page), player::realPageLines(listPath));
    setListHeight(playListView, player::heightAfterShow(playListView->height(), shrink));
    WebBrowser3->setBrowserVisible(true);
    WebBrowser3->view()->raise();
    WebBrowser3->Navigate(ui::fromGbk("file:///" + page));
}

void TForm1::ShowMediaPage(const std::string& listPath, int objectHeight, int shrink)
{
    const std::string page = ProgramFolder + player::kMediaPageFile;
    core::writeLines(core::gbkPath(page),
                     player::mediaPageLines(listPath, objectHeight, hosts.playerDownload));
    setListHeight(playListView, player::heightAfterShow(playListView->height(), shrink));
    WebBrowser3->setBrowserVisible(true);
    WebBrowser3->view()->raise();
    WebBrowser3->Navigate(ui::fromGbk("file:///" + page));
}

void TForm1::PlayChosenListFile(const std::string& chosenPath)
{
    if (player::isRealListName(chosenPath))
        ShowRealPage(chosenPath, player::kChosenShrink);
    else
        ShowMediaPage(chosenPath, player::kChosenMediaHeight, player::kChosenShrink);
}

void TForm1::WebBrowser3ProgressChange(int, int)
{
    SeSkinLabel4->show();
    SeSkinLabel4->raise();
}

void TForm1::WebBrowser3DocumentComplete()
{
    SeSkinLabel4->hide();
}
