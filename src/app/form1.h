#pragma once
// The main window. It owns every control under its design name; each event handler is a thin
// adapter that reads the controls, calls the subsystem's logic and writes the results back.
// The handlers of each subsystem are implemented beside that subsystem (search/form1_*.cpp,
// download/form1_*.cpp, player/form1_*.cpp, card/form1_*.cpp); app/ holds start-up, views,
// menus and the close path.
#include "core/song_entry.h"
#include "gui/dialogs.h"
#include "search/service_hosts.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSystemTrayIcon;
class QTimer;
class QToolButton;
class QWidget;

namespace browser {
class BrowserControl;
}
namespace ui {
class PanelStatusBar;
class SongListView;
} // namespace ui
namespace gui {
class DownloadListView;
class SearchPanel;
class PlayPanel;
class CardPanel;
class DownloadPanel;
} // namespace gui
namespace download {
class TransferEngine;
class EngineWindowAdapter;
class EngineThread;
class QueueFile;
} // namespace download

class TForm2;

// Start-up choices that do not come from the user: where the services are, and (for tests)
// which folder serves as the program folder.
struct Form1Options {
    search::ServiceHosts hosts;
    std::string programFolder; // empty: the program's own folder (or the per-user data folder)
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(const Form1Options& options = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- panels ------------------------------------------------------------------------------
    gui::SearchPanel* searchPanel() const { return searchPanel_; }
    gui::PlayPanel* playPanel() const { return playPanel_; }
    gui::CardPanel* cardPanel() const { return cardPanel_; }
    gui::DownloadPanel* downloadPanel() const { return downloadPanel_; }
    // What the play, download and card panels take from the search: the chosen result rows in
    // the order the user sees them, and the search words.
    std::vector<core::SongEntry> chosenResultRows() const;
    QString searchWords() const;

    // ---- shared state (texts are GBK) -------------------------------------------------------
    search::ServiceHosts hosts;
    std::string ProgramFolder; // ends in the platform's separator
    std::string SaveFolder;
    std::string CardPicture;
    bool QuitConfirmed = false;
    bool ChooserRewrite = false;

    TForm2* Form2 = nullptr; // the folder chooser, created after this window

    // ---- top bar -----------------------------------------------------------------------------
    QWidget* Panel1 = nullptr;
    QPushButton* SeSkinButton1 = nullptr;    // 保存目录
    QToolButton* windowMenuButton = nullptr; // opens the window menu

    // ---- left column -------------------------------------------------------------------------
    QGroupBox* Panel2 = nullptr;
    QPushButton* Button3 = nullptr; // 在线听歌
    QPushButton* Button4 = nullptr; // 下载
    QPushButton* Button5 = nullptr; // 音乐贺卡
    QLineEdit* Edit2 = nullptr;     // hidden, "5": connections per file

    // ---- play panel --------------------------------------------------------------------------
    QGroupBox* SeSkinPanel1 = nullptr;
    QWidget* SeSkinToolBar3 = nullptr;
    QLabel* SeSkinLabel7 = nullptr;
    QToolButton* dragplaybtn = nullptr; // 播
    QToolButton* dragdownbtn = nullptr; // 下
    QToolButton* dragcardbtn = nullptr; // 卡
    QLabel* SeSkinLabel8 = nullptr;
    QToolButton* playdelbtn = nullptr; // 删
    QToolButton* playclear = nullptr;  // 清
    QLabel* SeSkinLabel9 = nullptr;
    QToolButton* playsavebtn = nullptr;   // 存
    QToolButton* playloadbtn = nullptr;   // 装
    QToolButton* playnowbtn = nullptr;    // 唱 (hidden)
    QPushButton* SeSkinButton4 = nullptr; // 在线播放
    QPushButton* playbtn = nullptr;       // hidden
    QPushButton* playviewbtn = nullptr;   // hidden
    QPushButton* savelist = nullptr;      // hidden
    ui::SongListView* playListView = nullptr;
    browser::BrowserControl* WebBrowser3 = nullptr; // player pages
    QLabel* SeSkinLabel4 = nullptr;                 // loading label

    // ---- download panel ----------------------------------------------------------------------
    QGroupBox* Iesetpanel = nullptr;
    gui::DownloadListView* downloadlistview = nullptr;
    ui::SongListView* downloadnow = nullptr; // the active list
    QPushButton* downbtn = nullptr;          // 开始下载
    QPushButton* delbtn = nullptr;           // 删除所选项
    QPushButton* delallbtn = nullptr;        // 清空列表
    QPushButton* SeSkinButton3 = nullptr;    // 修改保存地址
    QPushButton* downloadbtn = nullptr;      // 至下载列表 (hidden)
    QProgressBar* SeSkinProgressBar1 = nullptr;
    QProgressBar* SeSkinProgressBar2 = nullptr;
    QProgressBar* SeSkinProgressBar3 = nullptr;
    QProgressBar* SeSkinProgressBar4 = nullptr;
    QProgressBar* SeSkinProgressBar5 = nullptr;
    QProgressBar* workerBar(int k) const; // bar k + 1 shows worker k
    QPlainTextEdit* downinimemo = nullptr;
    QTimer* Timer1 = nullptr;

    // ---- card panel --------------------------------------------------------------------------
    QGroupBox* setpanel = nullptr;
    ui::SongListView* cardlistview = nullptr;
    QPushButton* cancelbtn = nullptr;
    browser::BrowserControl* WebBrowser4 = nullptr;
    QLabel* previewLabel = nullptr; // 预览
    QGroupBox* SeSkinPanel2 = nullptr;
    QWidget* SeSkinToolBar2 = nullptr;
    QToolButton* htmlrunbtn = nullptr;
    QToolButton* h1btn = nullptr;
    QToolButton* h2btn = nullptr;
    QToolButton* h3btn = nullptr;
    QToolButton* h4btn = nullptr;
    QToolButton* bigbtn = nullptr;
    QToolButton* strongbtn = nullptr;
    QToolButton* ibtn = nullptr;
    QToolButton* ubtn = nullptr;
    QToolButton* centrebtn = nullptr;
    QToolButton* picbtn = nullptr;
    QToolButton* backbtn = nullptr;
    QComboBox* colorcombox = nullptr;
    QComboBox* fontsizecombox = nullptr;
    QLineEdit* nameedit = nullptr;
    QPlainTextEdit* iememo = nullptr;
    QPushButton* previewbtn = nullptr;
    QPushButton* iesetbtn = nullptr;
    QPushButton* cardsurebtn = nullptr;

    // ---- status bar, menus, images, dialogs ----------------------------------------------------
    ui::PanelStatusBar* SeSkinStatusBar1 = nullptr;
    QMenu* SeSkinPopupMenu1 = nullptr; // window menu
    QMenu* SeSkinPopupMenu2 = nullptr; // tray menu
    QAction* CustomItem1 = nullptr;    // 还原
    QAction* CustomItem2 = nullptr;    // 最小化
    QAction* CustomItem3 = nullptr;    // 收缩
    QAction* CustomItem4 = nullptr;    // 缩为图标
    QAction* CustomItem7 = nullptr;    // tray: 还原
    QSystemTrayIcon* trayIcon = nullptr;
    QList<QIcon> ImageList1;
    ui::FileDialog SaveDialog1; // play-list files
    ui::FileDialog OpenDialog2; // play-list files
    ui::FileDialog OpenDialog1; // card pictures

    // ---- application shell -------------------------------------------------------------------
    void FormCreate();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void CustomItem1Click();
    void CustomItem2Click();
    void CustomItem3Click();
    void CustomItem4Click();
    void CustomItem7Click();
    void FormCloseQuery(bool& canClose);
    void FormClose();
    // The client area has a fixed size; a change of the frame needs no work of the window.
    void FormResize() {}
    bool rolledUp() const { return rolledUp_; }
    // How the process ends once the close was allowed; tests replace it.
    std::function<void(int exitCode)> endProcess;

    // ---- downloads ---------------------------------------------------------------------------
    void dragdownbtnClick();
    void downloadbtnClick();
    void delbtnClick();
    void delallbtnClick();
    // The download list's row menu (暂停, 继续, 删除, 重新下载, 打开文件, 打开所在文件夹) for
    // the selected rows: an entry is enabled when it applies to one of them at least.
    QMenu* downloadRowMenu(QWidget* parent);
    // A double-click on a complete row opens its file.
    void downloadlistviewDblClick(int row);
    // How files and folders are opened (the desktop's handler; tests record instead).
    std::function<bool(const QString& localPath)> openLocalPath;
    void SeSkinButton3Click();
    void SeSkinButton1Click();
    void downbtnClick();
    bool DownloadsRunning() const;
    void StopAllTransfers();
    void Timer1Timer();
    void WriteFinalReport();
    void downloadnowSelectItem(int row, bool selected);
    // The application-wide handler of exceptions that escape a handler.
    void myexception(QObject* sender, const std::exception& e);
    // A row added to the download list (the engine's queue, which its view shows).
    void appendDownloadRow(const core::SongEntry& row);
    // The download list is kept in this file from now on: its rows are read back first, and
    // it is rewritten after every change.
    void keepDownloadListIn(const std::string& nativePath);
    // Gives the download list the running rows' progress and speeds for its state, speed and
    // time-left columns.
    void showDownloadStates();
    download::TransferEngine* engine() const { return engine_.get(); }
    download::EngineWindowAdapter* engineAdapter() const { return engineAdapter_.get(); }
    download::EngineThread* engineThread() const { return engineThread_.get(); }

    // ---- play list and player pages ------------------------------------------------------------
    void dragplaybtnClick();
    void playdelbtnClick();
    void playclearClick();
    // Selecting a row of the play list or the card list does nothing; the event exists.
    void playListViewSelectItem() {}
    void playsavebtnClick();
    void playloadbtnClick();
    // Handlers of the hidden buttons 保存列表, 唱, 在线播放 and 至播放列表: they carry no action.
    void savelistClick() {}
    void playnowbtnClick() {}
    void playbtnClick() {}
    void playviewbtnClick() {}
    void SeSkinButton4Click();
    void ShowRealPage(const std::string& listPath, int shrink);
    void ShowMediaPage(const std::string& listPath, int objectHeight, int shrink);
    void PlayChosenListFile(const std::string& chosenPath);
    // Writes winmedia.asx from the rows and shows the Windows Media page pointing at it.
    void PlayOwnMediaList(const std::vector<core::SongEntry>& rows);
    void WebBrowser3ProgressChange(int progress, int maximum);
    void WebBrowser3DocumentComplete();

    // ---- greeting cards ----------------------------------------------------------------------
    void dragcardbtnClick();
    void cancelbtnClick();
    void htmlrunbtnClick();
    void h1btnClick();
    void h2btnClick();
    void h3btnClick();
    void h4btnClick();
    void bigbtnClick();
    void strongbtnClick();
    void ibtnClick();
    void ubtnClick();
    void centrebtnClick();
    void colorcomboxChange();
    void fontsizecomboxChange();
    void backbtnClick();
    void cardsurebtnClick();
    void previewbtnClick();
    void picbtnClick();
    void iesetbtnClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Building the regions; each subsystem builds the inside of its own panel.
    void buildTopBar();
    void buildLeftColumn();
    void buildPlayPanel();
    void buildDownloadPanel();
    void buildCardPanel();
    void buildStatusBarAndMenus();
    void connectShellHandlers();
    void connectDownloadHandlers();
    void connectTransferHandlers();
    void connectPlayerHandlers();
    void connectCardHandlers();
    void showView(bool search, bool download, bool card);
    void fillTypeIcons();
    void adaptToScreen();
    void placeOnScreen();

    // ---- download engine (see download/) ------------------------------------------------------
    std::unique_ptr<download::QueueFile> queueFile_; // outlives the engine, which writes to it
    std::unique_ptr<download::TransferEngine> engine_;
    std::unique_ptr<download::EngineWindowAdapter> engineAdapter_;
    std::unique_ptr<download::EngineThread> engineThread_; // goes first: it runs the engine

    gui::SearchPanel* searchPanel_ = nullptr;
    gui::PlayPanel* playPanel_ = nullptr;
    gui::CardPanel* cardPanel_ = nullptr;
    gui::DownloadPanel* downloadPanel_ = nullptr;

    bool rolledUp_ = false;
    bool placedWithFrame_ = false;
    QRect geometryBeforeRollUp_;
    std::string programFolderOverride_;
};
