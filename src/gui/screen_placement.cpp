#include "gui/screen_placement.h"

#include <QEvent>
#include <QMainWindow>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

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

QFont scaledFont(QFont font, const ui::ScreenAdaptation& a)
{
    if (font.pixelSize() > 0)
        font.setPixelSize(ui::scaledFontSize(font.pixelSize(), a));
    else if (font.pointSize() > 0)
        font.setPointSize(ui::scaledFontSize(font.pointSize(), a));
    return font;
}

void scaleControls(QWidget* client, const ui::ScreenAdaptation& a)
{
    std::vector<DesignControl> controls;
    collectControls(client, controls);
    // Controls made later inside the client area take its font.
    client->setFont(scaledFont(client->font(), a));
    for (const DesignControl& c : controls) {
        const QRect& g = c.geometry;
        c.widget->setGeometry(ui::scaled(g.x(), a), ui::scaled(g.y(), a),
                              ui::scaled(g.width(), a), ui::scaled(g.height(), a));
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

namespace ui {

ScreenAdaptation fitToScreen(QMainWindow* window, const DesignSizes& design)
{
    const QScreen* screen = window->screen();
    if (!screen)
        return {};
    // Logical pixels: on a high-density screen this is the size the desktop shows.
    const QSize available = screen->availableGeometry().size();
    const ScreenAdaptation a = adaptToScreen(available.width(), available.height(), design);
    if (a.scale) {
        scaleControls(window->centralWidget(), a);
        window->centralWidget()->setFixedSize(a.windowWidth, a.windowHeight);
    }
    window->adjustSize();
    centreOnScreen(window);
    return a;
}

void centreOnScreen(QMainWindow* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    // The frame is known once the window system has one for the window; until then it counts 0.
    QWindow* handle = window->windowHandle();
    const QMargins frame = handle ? handle->frameMargins() : QMargins();
    window->move(centredFramePosition(screen->availableGeometry(), window->size().grownBy(frame)));
}

namespace {
// Centres the window at its first show that the program made (not the window system's).
class CentreOnFirstShow : public QObject {
public:
    explicit CentreOnFirstShow(QMainWindow* window) : QObject(window), window_(window) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != window_ || event->type() != QEvent::Show || event->spontaneous() ||
            !window_->windowHandle())
            return false;
        centreOnScreen(window_);
        // A window manager adds its frame while it maps the window: place once more when the
        // window first shows on screen, now with the frame's real size.
        QMainWindow* window = window_;
        window->windowHandle()->installEventFilter(
            new OnFirstExpose(window->windowHandle(), [window] { centreOnScreen(window); }));
        window->removeEventFilter(this);
        deleteLater();
        return false;
    }

private:
    QMainWindow* window_;
};
} // namespace

void centreWhenShown(QMainWindow* window)
{
    window->installEventFilter(new CentreOnFirstShow(window));
}

} // namespace ui
