#include "app/form1.h"

#include "desktop/program_folder.h"
#include "gui/screen_adaptation.h"
#include "browser/webengine_browser.h"
#include "search/archive_window.h"
#include "gui/card_panel.h"
#include "gui/download_panel.h"
#include "gui/play_panel.h"
#include "gui/song_list_view.h"
#include "gui/status_bar.h"
#include "gui/tool_button.h"
#include "gui/window_menu.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

TForm1::TForm1(const Form1Options& options, QWidget* parent)
    : QMainWindow(parent), hosts(options.hosts), programFolderOverride_(options.programFolder)
{
    setObjectName("TForm1");
    setWindowTitle("Corvale");
    auto* client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);
    client->setFixedSize(696, 604);
    // The panels write their pages into the program folder: it is known before they are made.
    ProgramFolder = programFolderOverride_.empty() ? desktop::programFolder() : programFolderOverride_;

    buildTopBar();
    buildLeftColumn();
    buildResultList();
    playPanel_ = new gui::PlayPanel(hosts.playerDownload, client);
    playPanel_->setGeometry(121, 384, 575, 201);
    playPanel_->setChosenRows([this] { return chosenResultRows(); });
    playPanel_->setSearchWords([this] { return searchWords(); });
    downloadPanel_ = new gui::DownloadPanel(Panel1, client);
    downloadPanel_->setGeometry(121, 73, 575, 509);
    downloadPanel_->hide();
    setTabOrder(Button1, downloadPanel_->SeSkinButton1); // the top bar's order
    cardPanel_ = new gui::CardPanel(ProgramFolder, hosts, client);
    cardPanel_->setGeometry(121, 73, 575, 509);
    cardPanel_->hide();
    buildStatusBar();

    connectSearchHandlers();
    connectArchiveHandlers();
    // The download panel: the rows of "下" come from the result list, the engine's search words
    // from the search box, and the panel shows through the 下载 view.
    connect(playPanel_, &gui::PlayPanel::downloadChosenAsked, this,
            [this] { downloadPanel_->addChosenRows(chosenResultRows()); });
    downloadPanel_->setSearchWords([this] { return searchWords(); });
    downloadPanel_->setTrayIcon(windowMenu_->trayIcon);
    connect(downloadPanel_, &gui::DownloadPanel::showRequested, this, &TForm1::Button4Click);
    connect(downloadPanel_, &gui::DownloadPanel::statusText, SeSkinStatusBar1,
            &ui::PanelStatusBar::setPanelText);
    connect(downloadPanel_, &gui::DownloadPanel::saveFolderChosen, this,
            [](const std::string& folder) { desktop::rememberSaveFolder(folder); });
    // 卡 puts the first chosen result row on the card list and shows the card view; the rows 播
    // appends to the play list go to the card list too.
    connect(playPanel_, &gui::PlayPanel::cardChosenAsked, this,
            [this] { cardPanel_->takeChosenRows(chosenResultRows()); });
    connect(playPanel_, &gui::PlayPanel::rowsAppended, cardPanel_, &gui::CardPanel::appendRows);
    connect(cardPanel_, &gui::CardPanel::cardViewAsked, this, &TForm1::Button5Click);

    FormCreate();
    Edit1->setFocus();
}

TForm1::~TForm1() = default;

int TForm1::MediaType() const
{
    return SeSkinComboBox1->currentIndex();
}

std::vector<core::SongEntry> TForm1::chosenResultRows() const
{
    std::vector<core::SongEntry> rows;
    for (int row : ListView1->selectedRows())
        rows.push_back(ListView1->rowAt(row));
    return rows;
}

QString TForm1::searchWords() const
{
    return Edit1->text();
}

void TForm1::buildTopBar()
{
    QWidget* client = centralWidget();
    Panel1 = new QWidget(client);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(0, 0, 696, 73);

    SeSkinComboBox2 = new QComboBox(Panel1);
    SeSkinComboBox2->addItems({"默认mp3搜索引擎", "互联网档案馆"});
    SeSkinComboBox2->setGeometry(8, 8, 140, 24);

    SeSkinComboBox1 = new QComboBox(Panel1);
    SeSkinComboBox1->addItems({"MP3", "RM", "WMA", "ASF", "RAM"});
    SeSkinComboBox1->setCurrentIndex(0);
    SeSkinComboBox1->setGeometry(154, 8, 70, 24);

    Edit1 = new QLineEdit(Panel1);
    Edit1->setToolTip("请输入歌手名或歌曲名,然后点击搜索键");
    Edit1->setGeometry(230, 8, 250, 24);

    Button1 = new QPushButton("搜索", Panel1);
    Button1->setGeometry(486, 7, 64, 26);
    Button1->setDefault(true);

    windowMenu_ = new gui::WindowMenu(this, Panel1);

    SeSkinToolBar1 = new QWidget(Panel1);
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

    Button7 = new QPushButton(client);
    Button7->hide();
    Button9 = new QPushButton(client);
    Button9->hide();

    WebBrowser1 =
        new browser::WebEngineBrowser(browser::WebEngineBrowser::Kind::Hidden, client, this);
    WebBrowser2 =
        new browser::WebEngineBrowser(browser::WebEngineBrowser::Kind::Hidden, client, this);
}

void TForm1::buildLeftColumn()
{
    Panel2 = new QGroupBox("功能选项", centralWidget());
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
}

void TForm1::buildStatusBar()
{
    SeSkinStatusBar1 = new ui::PanelStatusBar({150, 100, 80, 50}, centralWidget());
    SeSkinStatusBar1->setGeometry(0, 582, 696, 22);
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}
