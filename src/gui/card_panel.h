#pragma once
// The card panel: the card list, the title and the text with their formatting buttons, the card
// page (card.html in the program folder) and its preview. Rows come in through the slots below;
// the panel asks the window to show it through cardViewAsked().
#include "core/song_entry.h"
#include "gui/dialogs.h"

#include <QGroupBox>
#include <QIcon>
#include <QList>

#include <string>
#include <string_view>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace browser {
class BrowserControl;
}
namespace card {
struct EditResult;
}
namespace search {
struct ServiceHosts;
}
namespace ui {
class SongListView;
}

namespace gui {

// The group box "音乐贺卡" itself is the panel.
class CardPanel : public QGroupBox {
    Q_OBJECT
public:
    // programFolder: GBK, ending in the separator; card.html is written there, and the picture
    // dialog opens in its "pic" folder. The Windows Media form of the page names the hosts'
    // player download host.
    CardPanel(std::string programFolder, const search::ServiceHosts& hosts,
              QWidget* parent = nullptr);

    // The type icons the card list shows, in MediaType order; the caller keeps them.
    void setTypeIcons(const QList<QIcon>* icons);
    // The card list's rows in order; the first is the card's song.
    std::vector<core::SongEntry> rows() const;

    // The background picture's full path (GBK), the shipped one until the user picks another.
    std::string CardPicture;
    ui::FileDialog OpenDialog1; // card pictures

    ui::SongListView* cardlistview = nullptr;
    QPushButton* cancelbtn = nullptr;               // 清空列表
    browser::BrowserControl* WebBrowser4 = nullptr; // the card's preview
    QLabel* previewLabel = nullptr;                 // 预览
    QGroupBox* SeSkinPanel2 = nullptr;              // 贺卡内容
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
    QToolButton* picbtn = nullptr;  // 图
    QToolButton* backbtn = nullptr; // 返
    QComboBox* colorcombox = nullptr;
    QComboBox* fontsizecombox = nullptr;
    QLineEdit* nameedit = nullptr;
    QPlainTextEdit* iememo = nullptr;
    QPushButton* previewbtn = nullptr;  // 预览
    QPushButton* iesetbtn = nullptr;    // 保存位置
    QPushButton* cardsurebtn = nullptr; // 生成贺卡 (hidden)

signals:
    // The card button was pressed: the window shows the card view.
    void cardViewAsked();

public slots:
    // The card button with the chosen result rows (in the order the user sees them): the first
    // replaces the card list's rows; with none the list stays. Asks for the card view either way.
    void takeChosenRows(const std::vector<core::SongEntry>& rows);
    // The result list's double-click: the row replaces the card list's rows; the view stays.
    void takeRow(const core::SongEntry& row);
    // Rows the play list's append adds: they go after the card list's rows.
    void appendRows(const std::vector<core::SongEntry>& rows);

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

private:
    void buildControls();
    void connectHandlers();
    void describeControls();
    void applyEdit(const card::EditResult& result);
    void wrapSelection(std::string_view buttonName);
    void applyFontTag();

    std::string programFolder_;
    std::string playerDownloadHost_;
};

} // namespace gui
