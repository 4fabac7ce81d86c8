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
class SearchPanel;
class PlayPanel;
class CardPanel;
class DownloadPanel;
class WindowMenu;
} // namespace gui
class ArchiveWindow;

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
    gui::WindowMenu* windowMenu() const { return windowMenu_; }
    // What the play, download and card panels take from the search: the chosen result rows in
    // the order the user sees them, and the search words.
    std::vector<core::SongEntry> chosenResultRows() const;
    QString searchWords() const;

    // ---- shared state (texts are GBK) -------------------------------------------------------
    search::ServiceHosts hosts;
    std::string ProgramFolder; // ends in the platform's separator
    int SearchStopped = 0;
    int ResultPageNumber = 2;
    int ResultRowCount = 0;
    std::string ClientAddress;
    bool QuitConfirmed = false;
    int MediaType() const; // the selected index of SeSkinComboBox1, -1 when none

    // ---- top bar -----------------------------------------------------------------------------
    QWidget* Panel1 = nullptr;
    QComboBox* SeSkinComboBox2 = nullptr; // search engine, one entry
    QComboBox* SeSkinComboBox1 = nullptr; // MediaType
    QLineEdit* Edit1 = nullptr;           // search words
    QPushButton* Button1 = nullptr;       // 搜索
    QWidget* SeSkinToolBar1 = nullptr;
    QLabel* searchProgressLabel = nullptr; // 搜索进度
    QProgressBar* SeSkinProgressBar6 = nullptr;
    QToolButton* SeSkinSpeedButton2 = nullptr; // 刷
    QToolButton* stopbtn = nullptr;            // 停
    QToolButton* manlistbtn = nullptr;         // 男
    QToolButton* womanlistbtn = nullptr;       // 女
    QToolButton* musiclist = nullptr;          // 歌
    QToolButton* menubtn = nullptr;            // 辑
    QLabel* resultlabel = nullptr;             // 搜索结果为:
    // A result page that has not loaded when this single-shot timer fires (30 s by default)
    // gets no answer: its load stops and the window says so.
    QTimer* searchAnswerTimer = nullptr;

    // ---- left column -------------------------------------------------------------------------
    QGroupBox* Panel2 = nullptr;
    QPushButton* Button3 = nullptr; // 在线听歌
    QPushButton* Button4 = nullptr; // 下载
    QPushButton* Button5 = nullptr; // 音乐贺卡

    // ---- result list and hidden search controls ----------------------------------------------
    ui::SongListView* ListView1 = nullptr;
    browser::BrowserControl* WebBrowser1 = nullptr; // result pages, never shown
    browser::BrowserControl* WebBrowser2 = nullptr; // chart and album pages, never shown
    std::vector<std::string> Memo1;                 // lines of the loaded result page (GBK)
    QPushButton* Button7 = nullptr;                 // hidden: parse a result page
    QPushButton* Button9 = nullptr;                 // hidden: request the next page


    // ---- status bar, menus, images, dialogs ----------------------------------------------------
    ui::PanelStatusBar* SeSkinStatusBar1 = nullptr;
    QList<QIcon> ImageList1;

    // ---- application shell -------------------------------------------------------------------
    void FormCreate();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void FormCloseQuery(bool& canClose);
    void FormClose();
    // The client area has a fixed size; a change of the frame needs no work of the window.
    void FormResize() {}
    // How the process ends once the close was allowed; tests replace it.
    std::function<void(int exitCode)> endProcess;

    // ---- search ------------------------------------------------------------------------------
    void Button1Click();
    void SeSkinComboBox1Change();
    void SeSkinSpeedButton2Click();
    void stopbtnClick();
    void WebBrowser1ProgressChange(int progress, int maximum);
    void WebBrowser1DocumentComplete();
    void searchAnswerTimeout();
    void Button7Click();
    void Button9Click();
    void manlistbtnClick();
    void womanlistbtnClick();
    void musiclistClick();
    void menubtnClick();
    void WebBrowser2ProgressChange(int progress, int maximum);
    void WebBrowser2DocumentComplete();
    void ListView1SelectItem(int row, bool selected);
    void ListView1DblClick();
    // The engine box: the default engine or the archive engine (search/form1_archive.cpp).
    static constexpr int kArchiveEngine = 1;
    bool archiveChosen() const;
    void SeSkinComboBox2Change();
    ArchiveWindow* archiveWindow() const { return archiveWindow_.get(); }


protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Building the regions; each subsystem builds the inside of its own panel.
    void buildTopBar();
    void buildLeftColumn();
    void buildResultList();
    void buildStatusBar();
    void connectSearchHandlers();
    void connectArchiveHandlers();
    void showView(bool search, bool download, bool card);
    void fillTypeIcons();
    void adaptToScreen();

    // ---- archive engine (see search/archive_window.h) ----------------------------------------
    std::unique_ptr<ArchiveWindow> archiveWindow_;

    gui::SearchPanel* searchPanel_ = nullptr;
    gui::PlayPanel* playPanel_ = nullptr;
    gui::CardPanel* cardPanel_ = nullptr;
    gui::DownloadPanel* downloadPanel_ = nullptr;
    gui::WindowMenu* windowMenu_ = nullptr;

    std::string programFolderOverride_;
};
