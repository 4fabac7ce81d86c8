// Start-up and the three views.
#include "app/form1.h"

#include "app/application.h"
#include "app/program_folder.h"
#include "app/screen_adaptation.h"
#include "app/type_icons.h"
#include "browser/browser_control.h"
#include "ui/gbk_qt.h"
#include "ui/song_list_view.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

void TForm1::FormCreate()
{
    // The transfer engine starts with its own counters at zero; the search's paging starts from
    // the second page and no rows are counted yet.
    ResultPageNumber = 2;
    ResultRowCount = 0;
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
    SaveFolder = ProgramFolder + "music/";
    QDir().mkdir(ui::fromGbk(SaveFolder)); // one level; a failure shows when a download starts
    // No chooser rewrite or quit answer is pending; the card starts from the picture shipped
    // beside the program, and the picture dialog opens in its folder (which is not created).
    ChooserRewrite = false;
    QuitConfirmed = false;
    OpenDialog1.initialDir = ui::fromGbk(ProgramFolder + "pic/");
    CardPicture = ProgramFolder + "pic/0103.jpg";
    SearchStopped = 0;
    // The lists show a type icon per row, in MediaType order.
    fillTypeIcons();
    // The window opens on the search view, fitted to the screen, with a multi-row result list.
    showView(true, false, false);
    adaptToScreen();
    ListView1->setMultiSelect(true);
}

void TForm1::fillTypeIcons()
{
    ImageList1 = app::typeIcons();
    for (ui::SongListView* list : {ListView1, playListView, downloadlistview, cardlistview})
        if (list)
            list->setImageList(&ImageList1);
}

void TForm1::showView(bool search, bool download, bool card)
{
    ListView1->setVisible(search);
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
    const app::DesignSizes design{centralWidget()->width(), centralWidget()->height(),
                                  Panel2->width(),          ListView1->width(),
                                  ListView1->height(),      SeSkinPanel1->height(),
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
