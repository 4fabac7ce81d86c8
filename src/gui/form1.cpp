#include "gui/form1.h"

#include "desktop/program_folder.h"
#include "desktop/user_settings.h"
#include "gui/anchor_layout.h"
#include "gui/card_panel.h"
#include "gui/download_panel.h"
#include "gui/play_panel.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"
#include "gui/status_bar.h"
#include "gui/window_menu.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace {
const char kEngineSetting[] = "search/engine";
}

TForm1::TForm1(const Form1Options& options, QWidget* parent)
    : QMainWindow(parent), hosts(options.hosts), programFolderOverride_(options.programFolder)
{
    setObjectName("TForm1");
    setWindowTitle("Corvale");
    // The panels write their pages into the program folder: it is known before they are made.
    ProgramFolder =
        programFolderOverride_.empty() ? desktop::programFolder() : programFolderOverride_;
    buildShell();
    QWidget* client = centralWidget();
    searchPanel_ = new gui::SearchPanel(hosts, windowTitle(), Panel1, client, this);
    playPanel_ = new gui::PlayPanel(hosts.playerDownload, client);
    playPanel_->setGeometry(121, 384, 575, 201);
    downloadPanel_ = new gui::DownloadPanel(Panel1, client);
    downloadPanel_->setGeometry(121, 73, 575, 509);
    downloadPanel_->hide();
    cardPanel_ = new gui::CardPanel(ProgramFolder, hosts, client);
    cardPanel_->setGeometry(121, 73, 575, 509);
    cardPanel_->hide();
    SeSkinStatusBar1->raise();
    connectPanels();
    growWithWindow();
    FormCreate();
    searchPanel_->Edit1->setFocus();
}

TForm1::~TForm1() = default;

void TForm1::buildShell()
{
    auto* client = new QWidget(this);
    client->setObjectName("client");
    client->resize(696, 604);
    setCentralWidget(client);

    Panel1 = new QWidget(client);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(0, 0, 696, 73);
    windowMenu_ = new gui::WindowMenu(this, Panel1);

    Panel2 = new QGroupBox("功能选项", client);
    Panel2->setObjectName("Panel2");
    Panel2->setGeometry(0, 73, 121, 509);
    Button3 = new QPushButton("在线听歌", Panel2);
    Button3->setGeometry(10, 30, 100, 30);
    Button4 = new QPushButton("下载", Panel2);
    Button4->setGeometry(10, 70, 100, 30);
    Button5 = new QPushButton("音乐贺卡", Panel2);
    Button5->setGeometry(10, 110, 100, 30);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);

    SeSkinStatusBar1 = new ui::PanelStatusBar({150, 100, 80, 50}, client);
    SeSkinStatusBar1->setGeometry(0, 582, 696, 22);
    SeSkinStatusBar1->setAccessibleName("状态栏");
}

void TForm1::connectPanels()
{
    gui::SearchPanel* search = searchPanel_;
    const auto chosen = [search] { return search->chosenRows(); };
    const auto words = [search] { return search->words(); };
    setTabOrder(search->Button1, downloadPanel_->SeSkinButton1); // the top bar's order

    // The search: its caption goes to the window's title, a double-clicked row to the card list,
    // and the engine chosen is chosen again at the next start.
    connect(search, &gui::SearchPanel::windowCaptionWritten, this, &QWidget::setWindowTitle);
    connect(search, &gui::SearchPanel::cardRowChosen, cardPanel_, &gui::CardPanel::takeRow);
    connect(search, &gui::SearchPanel::engineChosen, this,
            [](int index) { desktop::userSettings()->setValue(kEngineSetting, index); });
    if (desktop::userSettings()->value(kEngineSetting, 0).toInt() ==
        gui::SearchPanel::kArchiveEngine)
        search->chooseEngine(gui::SearchPanel::kArchiveEngine);

    // 播, 下 and 卡 take the chosen result rows; the rows 播 appends go to the card list too.
    playPanel_->setChosenRows(chosen);
    playPanel_->setSearchWords(words);
    playPanel_->setProgramFolder(ProgramFolder);
    connect(playPanel_, &gui::PlayPanel::downloadChosenAsked, this,
            [this, chosen] { downloadPanel_->addChosenRows(chosen()); });
    connect(playPanel_, &gui::PlayPanel::cardChosenAsked, this,
            [this, chosen] { cardPanel_->takeChosenRows(chosen()); });
    connect(playPanel_, &gui::PlayPanel::rowsAppended, cardPanel_, &gui::CardPanel::appendRows);

    // The downloads: the engine's search words come from the search box; the panel shows
    // through the 下载 view and tells the status bar and the settings what changed.
    downloadPanel_->setSearchWords(words);
    downloadPanel_->setTrayIcon(windowMenu_->trayIcon);
    connect(downloadPanel_, &gui::DownloadPanel::showRequested, this, &TForm1::Button4Click);
    connect(downloadPanel_, &gui::DownloadPanel::statusText, SeSkinStatusBar1,
            &ui::PanelStatusBar::setPanelText);
    connect(downloadPanel_, &gui::DownloadPanel::saveFolderChosen, this,
            [](const std::string& folder) { desktop::rememberSaveFolder(folder); });
    connect(cardPanel_, &gui::CardPanel::cardViewAsked, this, &TForm1::Button5Click);
}

void TForm1::growWithWindow()
{
    // The result list and the play panel share the extra height of the search view; the other
    // views' panels take all of it.
    gui::anchorChildren(centralWidget(), {{Panel1, {0, 1, 0, 0}},
                                          {Panel2, {0, 0, 0, 1}},
                                          {searchPanel_->ListView1, {0, 1, 0, 0.5}},
                                          {playPanel_, {0, 1, 0.5, 0.5}},
                                          {downloadPanel_, {0, 1, 0, 1}},
                                          {cardPanel_, {0, 1, 0, 1}},
                                          {SeSkinStatusBar1, {0, 1, 1, 0}}});
    // The search box and the tool bar widen; the buttons right of them follow the edge.
    gui::anchorChildren(Panel1, {{searchPanel_->Edit1, {0, 1, 0, 0}},
                                 {searchPanel_->SeSkinToolBar1, {0, 1, 0, 0}}});
}

void TForm1::showView(bool search, bool download, bool card)
{
    searchPanel_->ListView1->setVisible(search);
    playPanel_->setVisible(search);
    downloadPanel_->setVisible(download);
    cardPanel_->setVisible(card);
}

void TForm1::Button3Click()
{
    showView(true, false, false);
}

void TForm1::Button4Click()
{
    showView(false, true, false);
}

void TForm1::Button5Click()
{
    showView(false, false, true);
}
