// Start-up and the three views.
#include "app/form1.h"

#include "gui/exception_handler.h"
#include "desktop/program_folder.h"
#include "gui/screen_placement.h"
#include "gui/type_icons.h"
#include "browser/browser_control.h"
#include "gui/card_panel.h"
#include "gui/download_panel.h"
#include "gui/play_list_view.h"
#include "gui/play_panel.h"
#include "player/playback/application_player.h"
#include "core/gbk_qt.h"
#include "gui/song_list_view.h"
#include "gui/status_bar.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace {

// Names a screen reader says for the controls whose caption is one glyph or none.
void describeControls(TForm1& f)
{
    const std::pair<QWidget*, const char*> names[] = {
        {f.SeSkinComboBox2, "搜索引擎"},
        {f.SeSkinComboBox1, "媒体类型"},
        {f.Edit1, "搜索词"},
        {f.SeSkinProgressBar6, "搜索进度"},
        {f.SeSkinSpeedButton2, "刷新"},
        {f.stopbtn, "停止搜索"},
        {f.manlistbtn, "男歌手榜"},
        {f.womanlistbtn, "女歌手榜"},
        {f.musiclist, "歌曲榜"},
        {f.menubtn, "相关专辑"},
        {f.ListView1, "搜索结果"},
        {f.SeSkinStatusBar1, "状态栏"},
    };
    for (const auto& [widget, name] : names)
        if (widget)
            widget->setAccessibleName(QString::fromUtf8(name));
    // The tool buttons keep the focus where it is when clicked, but the Tab key reaches them;
    // those the table above leaves out (the card's formatting buttons) are named by their hint.
    for (QToolButton* button : f.findChildren<QToolButton*>()) {
        button->setFocusPolicy(Qt::TabFocus);
        if (button->accessibleName().isEmpty())
            button->setAccessibleName(button->toolTip());
        if (button->toolTip().isEmpty())
            button->setToolTip(button->accessibleName());
        button->setAccessibleDescription(button->toolTip());
    }
}

void addShortcut(QWidget* scope, const QKeySequence& keys, std::function<void()> action,
                 Qt::ShortcutContext context = Qt::WindowShortcut)
{
    auto* shortcut = new QShortcut(keys, scope);
    shortcut->setContext(context);
    QObject::connect(shortcut, &QShortcut::activated, scope, std::move(action));
}

// Clicks a button that the user could click now.
void press(QAbstractButton* button)
{
    if (button && button->isEnabled() && button->isVisibleTo(button->window()))
        button->click();
}

void addShortcuts(TForm1& f)
{
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_L), QKeySequence(QKeySequence::Find)})
        addShortcut(&f, keys, [&f] {
            f.Edit1->setFocus(Qt::ShortcutFocusReason);
            f.Edit1->selectAll();
        });
    addShortcut(&f, QKeySequence::Refresh, [&f] { press(f.SeSkinSpeedButton2); });
    addShortcut(&f, QKeySequence(Qt::Key_Escape), [&f] { press(f.stopbtn); });
}

// The name of the row whose address is address, in the lists songs are played from.
QString rowName(const TForm1& f, const QString& address)
{
    const QString wanted = QUrl(address).toString(QUrl::FullyEncoded);
    const auto rowsOf = [](const ui::SongListView* list) {
        std::vector<core::SongEntry> rows;
        for (int row = 0; list && row < list->rowCount(); ++row)
            rows.push_back(list->rowAt(row));
        return rows;
    };
    for (const std::vector<core::SongEntry>& rows :
         {f.playPanel()->rows(), f.cardPanel()->rows(), rowsOf(f.ListView1)})
        for (const core::SongEntry& e : rows) {
            const QString rowAddress = core::fromGbk(e.sub(core::SubItem::Address));
            if (!rowAddress.isEmpty() && QUrl(rowAddress).toString(QUrl::FullyEncoded) == wanted)
                return core::fromGbk(e.sub(core::SubItem::Name));
        }
    return {};
}

} // namespace

void TForm1::FormCreate()
{
    // The transfer engine starts with its own counters at zero; the search's paging starts from
    // the second page and no rows are counted yet.
    ResultPageNumber = 2;
    ResultRowCount = 0;
    // Tool tips need no switch: Qt shows every control's hint.
    // Exceptions that escape a handler reach myexception instead of ending the program.
    ui::setExceptionHandler([this](QObject* sender, const std::exception& e) {
        downloadPanel_->myexception(sender, e);
    });
    // Downloads go to "music" beside the program unless the user picks another folder.
    ImageList1.clear();
    playPanel_->setProgramFolder(ProgramFolder);
    std::string& saveFolder = downloadPanel_->SaveFolder;
    saveFolder = programFolderOverride_.empty() ? desktop::startSaveFolder(ProgramFolder)
                                                : ProgramFolder + "music/";
    QDir().mkdir(core::fromGbk(saveFolder)); // one level; a failure shows when a download starts
    // No chooser rewrite or quit answer is pending.
    downloadPanel_->ChooserRewrite = false;
    QuitConfirmed = false;
    SearchStopped = 0;
    // The lists show a type icon per row, in MediaType order.
    fillTypeIcons();
    // The window opens on the search view, fitted to the screen, with a multi-row result list.
    showView(true, false, false);
    adaptToScreen();
    ListView1->setMultiSelect(true);
    describeControls(*this);
    addShortcuts(*this);
    // The desktop shows a playing song by its row's name.
    playback::ApplicationPlayer::instance().setNameLookup(
        [form = QPointer<TForm1>(this)](const QString& address) {
            return form ? rowName(*form, address) : QString();
        });
}

void TForm1::fillTypeIcons()
{
    ImageList1 = ui::typeIcons();
    ListView1->setImageList(&ImageList1);
    playPanel_->playListView->setImageList(&ImageList1);
    cardPanel_->setTypeIcons(&ImageList1);
    downloadPanel_->setTypeIcons(ImageList1);
}

void TForm1::showView(bool search, bool download, bool card)
{
    ListView1->setVisible(search);
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

void TForm1::adaptToScreen()
{
    const ui::DesignSizes design{centralWidget()->width(), centralWidget()->height(),
                                 Panel2->width(),          ListView1->width(),
                                 ListView1->height(),      playPanel_->height(),
                                 playPanel_->playListView->height()};
    ui::fitToScreen(this, design);
    ui::centreWhenShown(this);
}
