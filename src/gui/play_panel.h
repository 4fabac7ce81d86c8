#pragma once
// The play panel: the group box below the result list with its tool bar (播 下 卡 删 清 存 装
// 在线播放), the play list and the player browser, which shows the player pages.
//
// The panel takes what it needs from the rest of the window through what the window hands it:
// the chosen result rows and the search words (as functions it calls when a button needs them),
// the program folder and the host of the player download. It reports through signals: 下 and 卡
// ask the download and card panels to take the chosen rows, and rows appended to the play list
// are announced for the card list.
#include "core/song_entry.h"
#include "gui/dialogs.h"

#include <QGroupBox>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QToolButton;

namespace browser {
class BrowserControl;
}
namespace gui {

class AnchorLayout;
class PlayListModel;
class PlayListView;

class PlayPanel : public QGroupBox {
    Q_OBJECT
public:
    // playerDownloadHost: where a browser without the Windows Media control could fetch it.
    explicit PlayPanel(std::string playerDownloadHost, QWidget* parent = nullptr);
    ~PlayPanel() override;

    // The chosen result rows in the order the user sees them (播, 在线播放, 存 on an empty list).
    void setChosenRows(std::function<std::vector<core::SongEntry>()> chosenRows);
    // The search words, for the proposed name of a saved list.
    void setSearchWords(std::function<QString()> searchWords);
    // Where the player lists and pages are written (GB18030, ends in the separator).
    void setProgramFolder(const std::string& folder);

    // The play list's rows in the order they play.
    std::vector<core::SongEntry> rows() const;

    // ---- widgets, under their design names --------------------------------------------------
    QGroupBox* SeSkinPanel1 = nullptr; // this panel
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
    QPushButton* SeSkinButton4 = nullptr; // 在线播放
    PlayListModel* model = nullptr;       // the play list, in the order it plays
    PlayListView* playListView = nullptr;
    browser::BrowserControl* WebBrowser3 = nullptr; // player pages
    QLabel* SeSkinLabel4 = nullptr;                 // loading label
    ui::FileDialog SaveDialog1;                     // play-list files
    ui::FileDialog OpenDialog2;                     // play-list files

public slots:
    // 播: appends the chosen rows under the type rule, or says why not.
    void dragplaybtnClick();
    void addChosenRows(const std::vector<core::SongEntry>& chosen);
    void playdelbtnClick();
    void playclearClick();
    // 存 and 装.
    void playsavebtnClick();
    void playloadbtnClick();
    // 在线播放: the play list becomes the chosen rows, which play at once.
    void SeSkinButton4Click();

signals:
    void downloadChosenAsked(); // 下
    void cardChosenAsked();     // 卡
    // Rows that 播 appended, in order (the card list takes them too).
    void rowsAppended(const std::vector<core::SongEntry>& rows);

private:
    void build();
    void addShortcuts();
    void ShowRealPage(const std::string& listPath, int shrink);
    void ShowMediaPage(const std::string& listPath, int objectHeight, int shrink);
    void PlayChosenListFile(const std::string& chosenPath);
    // Writes winmedia.asx from the rows and shows the Windows Media page pointing at it.
    void PlayOwnMediaList(const std::vector<core::SongEntry>& rows);
    // The player of the next page plays these rows when it names the list file listPath
    // (GB18030), without reading that file back.
    void handOver(const std::string& listPath, const std::vector<core::SongEntry>& rows, bool real);
    void WebBrowser3ProgressChange(int progress, int maximum);
    void WebBrowser3DocumentComplete();
    // The play list's height at the design size; beyond it a shown player page takes the extra
    // height, else the list does.
    int listDesignHeight() const;
    void fitList(int designHeight, bool pageShown);

    AnchorLayout* layout_ = nullptr;
    std::string playerDownloadHost_;
    std::string programFolder_;
    std::function<std::vector<core::SongEntry>()> chosenRows_;
    std::function<QString()> searchWords_;
};

} // namespace gui
