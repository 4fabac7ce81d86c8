#include "app/form1.h"

#include "app/screen_adaptation.h"
#include "app/user_settings.h"
#include "browser/webengine_browser.h"
#include "download/engine_thread.h"
#include "download/engine_window_adapter.h"
#include "download/queue_file.h"
#include "download/transfer_engine.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"
#include "gui/status_bar.h"
#include "gui/tool_button.h"

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

    buildTopBar();
    searchPanel_ = new gui::SearchPanel(hosts, windowTitle(), Panel1, client, this);
    buildLeftColumn();
    buildPlayPanel();
    buildDownloadPanel();
    buildCardPanel();
    buildStatusBarAndMenus();

    connectShellHandlers();
    connect(searchPanel_, &gui::SearchPanel::windowCaptionWritten, this, &QWidget::setWindowTitle);
    connect(searchPanel_, &gui::SearchPanel::cardRowChosen, this,
            [this](const core::SongEntry& row) {
                cardlistview->clearRows();
                cardlistview->appendRow(row);
            });
    // The engine chosen last time is chosen again.
    connect(searchPanel_, &gui::SearchPanel::engineChosen, this,
            [](int index) { app::userSettings()->setValue("search/engine", index); });
    if (app::userSettings()->value("search/engine", 0).toInt() == gui::SearchPanel::kArchiveEngine)
        searchPanel_->chooseEngine(gui::SearchPanel::kArchiveEngine);
    connectDownloadHandlers();
    connectPlayerHandlers();
    connectCardHandlers();

    FormCreate();
    searchPanel_->Edit1->setFocus();
}

TForm1::~TForm1() = default;

std::vector<core::SongEntry> TForm1::chosenResultRows() const
{
    return searchPanel_->chosenRows();
}

QString TForm1::searchWords() const
{
    return searchPanel_->words();
}

QProgressBar* TForm1::workerBar(int k) const
{
    QProgressBar* bars[] = {SeSkinProgressBar1, SeSkinProgressBar2, SeSkinProgressBar3,
                            SeSkinProgressBar4, SeSkinProgressBar5};
    return k >= 0 && k < 5 ? bars[k] : nullptr;
}

void TForm1::buildTopBar()
{
    QWidget* client = centralWidget();
    Panel1 = new QWidget(client);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(0, 0, 696, 73);

    SeSkinButton1 = new QPushButton("保存目录", Panel1);
    SeSkinButton1->setGeometry(556, 7, 80, 26);

    windowMenuButton = new QToolButton(Panel1);
    windowMenuButton->setText("≡");
    windowMenuButton->setToolTip("窗口菜单");
    windowMenuButton->setGeometry(650, 7, 30, 26);
    windowMenuButton->setFocusPolicy(Qt::NoFocus);
    windowMenuButton->setPopupMode(QToolButton::InstantPopup);
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
    Edit2 = new QLineEdit("5", Panel2);
    Edit2->hide();
}

void TForm1::buildStatusBarAndMenus()
{
    SeSkinStatusBar1 = new ui::PanelStatusBar({150, 100, 80, 50}, centralWidget());
    SeSkinStatusBar1->setGeometry(0, 582, 696, 22);

    SeSkinPopupMenu1 = new QMenu(this);
    CustomItem1 = SeSkinPopupMenu1->addAction("还原");
    CustomItem2 = SeSkinPopupMenu1->addAction("最小化");
    CustomItem3 = SeSkinPopupMenu1->addAction("收缩");
    CustomItem4 = SeSkinPopupMenu1->addAction("缩为图标");
    windowMenuButton->setMenu(SeSkinPopupMenu1);

    SeSkinPopupMenu2 = new QMenu(this);
    CustomItem7 = SeSkinPopupMenu2->addAction("还原");
    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setToolTip("Corvale");
    trayIcon->setContextMenu(SeSkinPopupMenu2);

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
}

void TForm1::connectShellHandlers()
{
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
    connect(CustomItem1, &QAction::triggered, this, &TForm1::CustomItem1Click);
    connect(CustomItem2, &QAction::triggered, this, &TForm1::CustomItem2Click);
    connect(CustomItem3, &QAction::triggered, this, &TForm1::CustomItem3Click);
    connect(CustomItem4, &QAction::triggered, this, &TForm1::CustomItem4Click);
    connect(CustomItem7, &QAction::triggered, this, &TForm1::CustomItem7Click);
    connect(trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) {
                if (r == QSystemTrayIcon::DoubleClick || r == QSystemTrayIcon::Trigger)
                    CustomItem7Click();
            });
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}
