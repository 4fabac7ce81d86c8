#include "gui/anchor_layout.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace gui {
namespace {
int share(double part, int extra)
{
    return static_cast<int>(std::lround(part * extra));
}
} // namespace

AnchorLayout::AnchorLayout(QWidget* parent) : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
    setSizeConstraint(QLayout::SetDefaultConstraint);
}

AnchorLayout::~AnchorLayout()
{
    for (Entry& entry : entries_)
        delete entry.item;
}

void AnchorLayout::setDesignSize(const QSize& size)
{
    design_ = size;
    invalidate();
}

void AnchorLayout::addWidget(QWidget* widget, const QRect& design, Stretch stretch)
{
    addChildWidget(widget);
    entries_.push_back({new QWidgetItem(widget), design, stretch});
    invalidate();
}

void AnchorLayout::setDesignGeometry(QWidget* widget, const QRect& design)
{
    for (Entry& entry : entries_)
        if (entry.item->widget() == widget) {
            entry.design = design;
            place(entry);
        }
}

QRect AnchorLayout::designGeometry(const QWidget* widget) const
{
    for (const Entry& entry : entries_)
        if (entry.item->widget() == widget)
            return entry.design;
    return {};
}

QRect AnchorLayout::designOfPlace(const QWidget* widget) const
{
    for (const Entry& entry : entries_)
        if (entry.item->widget() == widget) {
            const QSize room = extra();
            const Stretch& s = entry.stretch;
            const QRect now = widget->geometry();
            return {now.x() - share(s.moveX, room.width()), now.y() - share(s.moveY, room.height()),
                    now.width() - share(s.growX, room.width()),
                    now.height() - share(s.growY, room.height())};
        }
    return {};
}

void AnchorLayout::setStretch(QWidget* widget, Stretch stretch)
{
    for (Entry& entry : entries_)
        if (entry.item->widget() == widget) {
            entry.stretch = stretch;
            place(entry);
        }
}

void AnchorLayout::addItem(QLayoutItem* item)
{
    // Items that come without a design place (QLayout::addWidget) keep their present geometry.
    const QRect design = item->widget() ? item->widget()->geometry() : item->geometry();
    entries_.push_back({item, design, {}});
    invalidate();
}

int AnchorLayout::count() const
{
    return static_cast<int>(entries_.size());
}

QLayoutItem* AnchorLayout::itemAt(int index) const
{
    return index >= 0 && index < count() ? entries_[static_cast<size_t>(index)].item : nullptr;
}

QLayoutItem* AnchorLayout::takeAt(int index)
{
    if (index < 0 || index >= count())
        return nullptr;
    QLayoutItem* item = entries_[static_cast<size_t>(index)].item;
    entries_.erase(entries_.begin() + index);
    return item;
}

QSize AnchorLayout::minimumSize() const
{
    return design_;
}

QSize AnchorLayout::sizeHint() const
{
    return minimumSize();
}

void AnchorLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    for (const Entry& entry : entries_)
        place(entry);
}

// Places are counted from the parent's own top left corner, not from its contents rectangle:
// the design counts them so.
QSize AnchorLayout::extra() const
{
    const QWidget* parent = parentWidget();
    if (!parent)
        return {};
    return {std::max(0, parent->width() - design_.width()),
            std::max(0, parent->height() - design_.height())};
}

void AnchorLayout::place(const Entry& entry) const
{
    QWidget* widget = entry.item->widget();
    if (!parentWidget() || !widget)
        return;
    const QSize room = extra();
    const QRect& d = entry.design;
    const Stretch& s = entry.stretch;
    widget->setGeometry(d.x() + share(s.moveX, room.width()), d.y() + share(s.moveY, room.height()),
                        d.width() + share(s.growX, room.width()),
                        d.height() + share(s.growY, room.height()));
}

namespace {
// How far a control that is not listed moves: as far as the far edge of each listed control it
// lies wholly to the right of (sharing some rows) or wholly below (sharing some columns).
Stretch inferredStretch(const QRect& control, const std::vector<std::pair<QRect, Stretch>>& listed)
{
    Stretch s;
    for (const auto& [rect, stretch] : listed) {
        const bool sharesRows = rect.top() <= control.bottom() && control.top() <= rect.bottom();
        const bool sharesColumns = rect.left() <= control.right() && control.left() <= rect.right();
        if (sharesRows && rect.right() < control.left())
            s.moveX = std::max(s.moveX, stretch.moveX + stretch.growX);
        if (sharesColumns && rect.bottom() < control.top())
            s.moveY = std::max(s.moveY, stretch.moveY + stretch.growY);
    }
    return s;
}
} // namespace

AnchorLayout* anchorChildren(QWidget* panel,
                             std::initializer_list<std::pair<QWidget*, Stretch>> stretching)
{
    std::vector<std::pair<QRect, Stretch>> listed;
    for (const auto& [widget, stretch] : stretching)
        listed.emplace_back(widget->geometry(), stretch);
    auto* layout = new AnchorLayout(panel);
    layout->setDesignSize(panel->size());
    for (QObject* child : panel->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow())
            continue;
        const auto own =
            std::find_if(stretching.begin(), stretching.end(),
                         [widget](const auto& entry) { return entry.first == widget; });
        layout->addWidget(widget, widget->geometry(),
                          own != stretching.end() ? own->second
                                                  : inferredStretch(widget->geometry(), listed));
    }
    return layout;
}

} // namespace gui
