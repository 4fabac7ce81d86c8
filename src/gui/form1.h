#pragma once
// The main window: the top bar, the left column that switches the three views, the status bar,
// and the four panels (search, play, download, card), each owning its controls and handlers.
// The window connects the panels' signals; it reaches into none of them.
#include "search/service_hosts.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <functional>
#include <string>

class QGroupBox;
class QPushButton;

namespace ui {
class PanelStatusBar;
} // namespace ui
namespace gui {
class SearchPanel;
class PlayPanel;
class CardPanel;
class DownloadPanel;
class WindowMenu;
} // namespace gui

// Start-up choices that do not come from the user: where the services are, and which folder is
// the program folder (the program's own or per-user data folder, or a test's).
struct Form1Options {
    search::ServiceHosts hosts;
    std::string programFolder; // empty: the program's own folder (or the per-user data folder)
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(const Form1Options& options = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    gui::SearchPanel* searchPanel() const { return searchPanel_; }
    gui::PlayPanel* playPanel() const { return playPanel_; }
    gui::CardPanel* cardPanel() const { return cardPanel_; }
    gui::DownloadPanel* downloadPanel() const { return downloadPanel_; }
    gui::WindowMenu* windowMenu() const { return windowMenu_; }

    search::ServiceHosts hosts;
    std::string ProgramFolder; // GBK, ends in the platform's separator
    bool QuitConfirmed = false;

    QWidget* Panel1 = nullptr;      // the top bar
    QGroupBox* Panel2 = nullptr;    // the left column
    QPushButton* Button3 = nullptr; // 在线听歌
    QPushButton* Button4 = nullptr; // 下载
    QPushButton* Button5 = nullptr; // 音乐贺卡
    ui::PanelStatusBar* SeSkinStatusBar1 = nullptr;
    QList<QIcon> ImageList1; // a type icon per MediaType

    void FormCreate();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void FormCloseQuery(bool& canClose);
    void FormClose();
    // How the process ends once the close was allowed; tests replace it.
    std::function<void(int exitCode)> endProcess;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildShell();
    void connectPanels();
    // A larger window gives its room to the lists and the shown browsers.
    void growWithWindow();
    void showView(bool search, bool download, bool card);
    void fillTypeIcons();
    void adaptToScreen();

    gui::SearchPanel* searchPanel_ = nullptr;
    gui::PlayPanel* playPanel_ = nullptr;
    gui::CardPanel* cardPanel_ = nullptr;
    gui::DownloadPanel* downloadPanel_ = nullptr;
    gui::WindowMenu* windowMenu_ = nullptr;
    std::string programFolderOverride_;
};
