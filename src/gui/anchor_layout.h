#pragma once
// A layout that keeps every control of a panel where the panel's design puts it and hands the
// room the panel has beyond its design size to the controls that should take it: a list or a
// shown browser grows, the controls beside or below it move with its far edge, everything else
// stays. At the design size the result is the design, pixel for pixel, which box layouts with
// their spacing and size hints do not reproduce.
#include <QLayout>
#include <QRect>
#include <initializer_list>
#include <utility>
#include <vector>

namespace gui {

// Which share of the extra width and height moves a control and which share it grows by:
// {0, 1, 0, 0} grows with the width, {1, 0, 0, 0} follows the right edge, {0, 0, 0.5, 0.5} takes
// the lower half of the extra height.
struct Stretch {
    double moveX = 0;
    double growX = 0;
    double moveY = 0;
    double growY = 0;
};

class AnchorLayout : public QLayout {
public:
    explicit AnchorLayout(QWidget* parent);
    ~AnchorLayout() override;

    // The parent's design size, and each control's design rectangle in the parent.
    void setDesignSize(const QSize& size);
    QSize designSize() const { return design_; }
    void addWidget(QWidget* widget, const QRect& design, Stretch stretch = {});
    // A control whose design place changes while the program runs (a list that shrinks when a
    // player shows below it).
    void setDesignGeometry(QWidget* widget, const QRect& design);
    QRect designGeometry(const QWidget* widget) const;
    // The design rectangle that places the control where it is now: a control resized by hand
    // keeps that size as its design.
    QRect designOfPlace(const QWidget* widget) const;
    void setStretch(QWidget* widget, Stretch stretch);

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    struct Entry {
        QLayoutItem* item;
        QRect design;
        Stretch stretch;
    };
    void place(const Entry& entry) const;
    QSize extra() const;
    std::vector<Entry> entries_;
    QSize design_;
};

// Puts every child control of `panel` under an AnchorLayout at its present geometry, with the
// panel's present size as the design size. The controls listed take their stretch; every other
// control moves with the far edges of the listed ones it lies beyond (a button right of a growing
// list follows its right edge, a label under it follows its bottom). Returns the layout.
AnchorLayout* anchorChildren(QWidget* panel,
                             std::initializer_list<std::pair<QWidget*, Stretch>> stretching = {});

} // namespace gui
