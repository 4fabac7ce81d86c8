// Start-up and the three views.
#include "app/form1.h"

#include "app/application.h"
#include "app/program_folder.h"
#include "app/screen_adaptation.h"
#include "app/type_icons.h"
#include "browser/browser_control.h"
#include "gui/download_list_view.h"
#include "gui/gbk_qt.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"
#include "gui/status_bar.h"
#include "player/playback/application_player.h"

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
        {f.windowMenuButton, "窗口菜单"},
        {f.dragplaybtn, "加入播放列表"},
        {f.dragdownbtn, "加入下载列表"},
        {f.dragcardbtn, "加入贺卡列表"},
        {f.playdelbtn, "删除所选歌曲"},
        {f.playclear, "清空播放列表"},
        {f.playsavebtn, "保存播放列表"},
        {f.playloadbtn, "装载播放列表"},
        {f.playnowbtn, "播放当前列表"},
        {f.playListView, "播放列表"},
        {f.downloadlistview, "下载列表"},
        {f.downloadnow, "正在下载"},
        {f.downinimemo, "下载记录"},
        {f.cardlistview, "贺卡歌曲"},
        {f.picbtn, "背景图片"},
        {f.backbtn, "回溯"},
        {f.colorcombox, "字体颜色"},
        {f.fontsizecombox, "字体类型"},
        {f.nameedit, "署名"},
        {f.iememo, "贺卡文字"},
        {f.SeSkinStatusBar1, "状态栏"},
    };
    for (const auto& [widget, name] : names)
        if (widget)
            widget->setAccessibleName(QString::fromUtf8(name));
    for (int k = 0; k < 5; ++k)
        if (QProgressBar* bar = f.workerBar(k))
            bar->setAccessibleName(QStringLiteral("下载进度 %1").arg(k + 1));
    if (QWidget* player = f.WebBrowser3->view())
        player->setAccessibleName(QStringLiteral("播放器"));
    if (QWidget* preview = f.WebBrowser4->view())
        preview->setAccessibleName(QStringLiteral("贺卡预览"));
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
    // Delete removes the selected rows of the list that has the focus.
    const std::pair<QWidget*, QAbstractButton*> deleting[] = {{f.playListView, f.playdelbtn},
                                                              {f.downloadlistview, f.delbtn}};
    for (const auto& [list, button] : deleting)
        addShortcut(
            list, QKeySequence::Delete, [button = button] { press(button); },
            Qt::WidgetWithChildrenShortcut);
    // Space pauses and resumes the program's player while the play panel has the focus.
    addShortcut(
        f.SeSkinPanel1, QKeySequence(Qt::Key_Space),
        [] {
            // Space still presses a button that has the focus.
            if (auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget())) {
                button->animateClick();
                return;
            }
            playback::PlaybackEngine& engine = playback::ApplicationPlayer::instance().engine();
            using State = playback::PlaybackEngine::State;
            if (engine.state() == State::Playing || engine.state() == State::Connecting)
                engine.pause();
            else if (!engine.entries().empty())
                engine.play();
        },
        Qt::WidgetWithChildrenShortcut);
}

// The name of the row whose address is address, in the lists songs are played from.
QString rowName(const TForm1& f, const QString& address)
{
    const QString wanted = QUrl(address).toString(QUrl::FullyEncoded);
    for (const ui::SongListView* list :
         {f.playListView, f.cardlistview, f.searchPanel()->ListView1})
        for (int row = 0; list && row < list->rowCount(); ++row) {
            const core::SongEntry e = list->rowAt(row);
            const QString rowAddress = ui::fromGbk(e.sub(core::SubItem::Address));
            if (!rowAddress.isEmpty() && QUrl(rowAddress).toString(QUrl::FullyEncoded) == wanted)
                return ui::fromGbk(e.sub(core::SubItem::Name));
        }
    return {};
}

} // namespace

void TForm1::FormCreate()
{
    // Tool tips need no switch: Qt shows every control's hint.
    // The player browser stays hidden behind its siblings until a player page is shown.
    WebBrowser3->setBrowserVisible(false);
    if (QWidget* view = WebBrowser3->view())
        view->lower();
    // Exceptions that escape a handler reach myexception instead of ending the program.
    app::setExceptionHandler(
        [this](QObject* sender, const std::exception& e) { myexception(sender, e); });
    // Downloads go to "music" beside the program unless the user picks another folder.
    ImageList1.clear();
    ProgramFolder = programFolderOverride_.empty() ? app::programFolder() : programFolderOverride_;
    SaveFolder = programFolderOverride_.empty() ? app::startSaveFolder(ProgramFolder)
                                                : ProgramFolder + "music/";
    QDir().mkdir(ui::fromGbk(SaveFolder)); // one level; a failure shows when a download starts
    // No chooser rewrite or quit answer is pending; the card starts from the picture shipped
    // beside the program, and the picture dialog opens in its folder (which is not created).
    ChooserRewrite = false;
    QuitConfirmed = false;
    OpenDialog1.initialDir = ui::fromGbk(ProgramFolder + "pic/");
    CardPicture = ProgramFolder + "pic/0103.jpg";
    // The lists show a type icon per row, in MediaType order.
    fillTypeIcons();
    // The window opens on the search view, fitted to the screen, with a multi-row result list.
    showView(true, false, false);
    adaptToScreen();
    searchPanel_->ListView1->setMultiSelect(true);
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
    ImageList1 = app::typeIcons();
    searchPanel_->setTypeIcons(&ImageList1);
    for (ui::SongListView* list : {playListView, cardlistview})
        if (list)
            list->setImageList(&ImageList1);
    if (downloadlistview)
        downloadlistview->setImageList(&ImageList1);
}

void TForm1::showView(bool search, bool download, bool card)
{
    searchPanel_->ListView1->setVisible(search);
    SeSkinPanel1->setVisible(search);
    Iesetpanel->setVisible(download);
    setpanel->setVisible(card);
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

namespace {
// Every control below the window with its design geometry and font, read before anything changes:
// a font set on a parent passes to its children, so reading while scaling would scale them twice.
struct DesignControl {
    QWidget* widget;
    QRect geometry;
    QFont font;
};

void collectControls(QWidget* widget, std::vector<DesignControl>& controls)
{
    for (QObject* child : widget->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isWindow())
            continue;
        controls.push_back({w, w->geometry(), w->font()});
        collectControls(w, controls);
    }
}

QFont scaledFont(QFont font, const app::ScreenAdaptation& a)
{
    if (font.pixelSize() > 0)
        font.setPixelSize(app::scaledFontSize(font.pixelSize(), a));
    else if (font.pointSize() > 0)
        font.setPointSize(app::scaledFontSize(font.pointSize(), a));
    return font;
}

void scaleControls(QWidget* client, const app::ScreenAdaptation& a)
{
    std::vector<DesignControl> controls;
    collectControls(client, controls);
    // Controls made later inside the client area take its font.
    client->setFont(scaledFont(client->font(), a));
    for (const DesignControl& c : controls) {
        const QRect& g = c.geometry;
        c.widget->setGeometry(app::scaled(g.x(), a), app::scaled(g.y(), a),
                              app::scaled(g.width(), a), app::scaled(g.height(), a));
        c.widget->setFont(scaledFont(c.font, a));
    }
}

// Calls its action once, when the window it watches is first exposed, then goes.
class OnFirstExpose : public QObject {
public:
    OnFirstExpose(QWindow* window, std::function<void()> action)
        : QObject(window), window_(window), action_(std::move(action))
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && event->type() == QEvent::Expose && window_->isExposed() &&
            action_) {
            std::exchange(action_, nullptr)();
            deleteLater();
        }
        return false;
    }

private:
    QWindow* window_;
    std::function<void()> action_;
};

// The frame's top left corner that centres a window of this outer size in the available area;
// a window larger than the area keeps its top left corner (and its title bar) inside it.
QPoint centredFramePosition(const QRect& available, const QSize& outer)
{
    return {available.x() + std::max(0, (available.width() - outer.width()) / 2),
            available.y() + std::max(0, (available.height() - outer.height()) / 2)};
}
} // namespace

void TForm1::adaptToScreen()
{
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    // Logical pixels: on a high-density screen this is the size the desktop shows.
    const QSize available = screen->availableGeometry().size();
    const app::DesignSizes design{centralWidget()->width(),
                                  centralWidget()->height(),
                                  Panel2->width(),
                                  searchPanel_->ListView1->width(),
                                  searchPanel_->ListView1->height(),
                                  SeSkinPanel1->height(),
                                  playListView->height()};
    const app::ScreenAdaptation a =
        app::adaptToScreen(available.width(), available.height(), design);
    if (a.scale) {
        scaleControls(centralWidget(), a);
        centralWidget()->setFixedSize(a.windowWidth, a.windowHeight);
    }
    adjustSize();
    placeOnScreen();
}

void TForm1::placeOnScreen()
{
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    // The frame is known once the window system has one for the window; until then it counts 0.
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    move(centredFramePosition(screen->availableGeometry(), size().grownBy(frame)));
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (placedWithFrame_ || event->spontaneous() || !windowHandle())
        return;
    placedWithFrame_ = true;
    placeOnScreen();
    // A window manager adds its frame while it maps the window: place once more when the window
    // first shows on screen, now with the frame's real size.
    windowHandle()->installEventFilter(
        new OnFirstExpose(windowHandle(), [this] { placeOnScreen(); }));
}
