#pragma once
// The download view: the download list (the engine's queue, sortable by a click on a column's
// header), the buttons under it, the files being fetched with their workers' bars, the memo of
// reports and errors, and the one-second tick. The panel owns the transfer engine, the thread
// that runs its commands and the file the list is kept in; the folder chooser works through it.
// It reaches the rest of the window through signals and the values it is handed.
#include "core/song_entry.h"

#include <QGroupBox>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class TForm2;

namespace ui {
class SongListView;
}
namespace download {
class TransferEngine;
class EngineWindowAdapter;
class EngineThread;
class QueueFile;
} // namespace download

namespace gui {

class DownloadListView;

class DownloadPanel : public QGroupBox {
    Q_OBJECT
public:
    // The panel's own controls go inside it; the save-folder button (保存目录) goes into topBar
    // at its place there.
    explicit DownloadPanel(QWidget* topBar, QWidget* parent = nullptr);
    ~DownloadPanel() override;

    // ---- values from the rest of the window --------------------------------------------------
    std::string SaveFolder; // GBK, ends in the platform's separator
    // The next confirm of the folder chooser re-points the selected rows instead of setting
    // the save folder.
    bool ChooserRewrite = false;
    // How many connections fetch one file.
    int connectionsPerFile = 5;
    TForm2* Form2 = nullptr; // the folder chooser, made after the window
    // The search words, for the engine's start (the result list's page names them).
    void setSearchWords(std::function<QString()> words) { searchWords_ = std::move(words); }
    // Where notifications go when the desktop has no notification service.
    void setTrayIcon(QSystemTrayIcon* tray) { tray_ = tray; }
    // The row icons, by a row's image index.
    void setTypeIcons(const QList<QIcon>& icons);
    // How files and folders are opened (the desktop's handler; tests record instead).
    std::function<bool(const QString& localPath)> openLocalPath;

    // ---- controls ----------------------------------------------------------------------------
    QPushButton* SeSkinButton1 = nullptr; // 保存目录, in the top bar
    DownloadListView* downloadlistview = nullptr;
    ui::SongListView* downloadnow = nullptr; // the files being fetched
    QPushButton* downbtn = nullptr;          // 开始下载
    QPushButton* delbtn = nullptr;           // 删除所选项
    QPushButton* delallbtn = nullptr;        // 清空列表
    QPushButton* SeSkinButton3 = nullptr;    // 修改保存地址
    QProgressBar* SeSkinProgressBar1 = nullptr;
    QProgressBar* SeSkinProgressBar2 = nullptr;
    QProgressBar* SeSkinProgressBar3 = nullptr;
    QProgressBar* SeSkinProgressBar4 = nullptr;
    QProgressBar* SeSkinProgressBar5 = nullptr;
    QProgressBar* workerBar(int k) const; // bar k + 1 shows worker k
    QPlainTextEdit* downinimemo = nullptr;
    QTimer* Timer1 = nullptr;

    // ---- the engine --------------------------------------------------------------------------
    download::TransferEngine* engine() const { return engine_.get(); }
    download::EngineWindowAdapter* engineAdapter() const { return engineAdapter_.get(); }
    download::EngineThread* engineThread() const { return engineThread_.get(); }
    bool DownloadsRunning() const;
    // The window's close: every transfer stops; returns once all have.
    void StopAllTransfers();

    // A row added to the download list (the engine's queue, which its view shows).
    void appendDownloadRow(const core::SongEntry& row);
    // The download list is kept in this file from now on: its rows are read back first, and
    // it is rewritten after every change.
    void keepDownloadListIn(const std::string& nativePath);
    // The download list's row menu (暂停, 继续, 删除, 重新下载, 打开文件, 打开所在文件夹) for
    // the selected rows: an entry is enabled when it applies to one of them at least.
    QMenu* downloadRowMenu(QWidget* parent);
    // Gives the download list the running rows' progress and speeds for its state, speed and
    // time-left columns.
    void showDownloadStates();
    void WriteFinalReport();
    // The folder chooser's confirm with the folder it shows (GBK): sets the save folder, or in
    // rewrite mode re-points the selected rows.
    void folderChosen(const std::string& folder);

public slots:
    // "下": the rows (as the user sees them in the result list) join the download list with a
    // save path under the save folder, and the download view shows.
    void addChosenRows(const std::vector<core::SongEntry>& rows);
    void delbtnClick();
    void delallbtnClick();
    // A double-click on a complete row (as the list shows it) opens its file.
    void downloadlistviewDblClick(int row);
    void SeSkinButton3Click();
    void SeSkinButton1Click();
    void downbtnClick();
    void Timer1Timer();
    void downloadnowSelectItem(int row, bool selected);
    // The application-wide handler of exceptions that escape a handler.
    void myexception(QObject* sender, const std::exception& e);

signals:
    // The download view should show (the window's 下载 button).
    void showRequested();
    // A text for a panel of the window's status bar.
    void statusText(int panel, const QString& text);
    // The user chose this save folder (GBK) in the folder chooser.
    void saveFolderChosen(const std::string& folder);

private:
    class TransferWindow;
    void buildControls(QWidget* topBar);
    void startEngine();
    void connectHandlers();

    std::function<QString()> searchWords_;
    QPointer<QSystemTrayIcon> tray_;

    std::unique_ptr<download::QueueFile> queueFile_; // outlives the engine, which writes to it
    std::unique_ptr<download::TransferEngine> engine_;
    std::unique_ptr<download::EngineWindowAdapter> engineAdapter_;
    std::unique_ptr<download::EngineThread> engineThread_; // goes first: it runs the engine
};

} // namespace gui
