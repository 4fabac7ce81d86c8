#pragma once
// The small flat buttons of the window's tool bars: a one-character caption, a hint, 25 by 25
// pixels. They never take the focus, so the focus stays in the list or box whose selection the
// button acts on.
#include <QString>

class QToolButton;
class QWidget;

namespace ui {

// A tool button named objectName at (left, top) in bar.
QToolButton* toolButton(QWidget* bar, const QString& objectName, const QString& caption,
                        const QString& hint, int left, int top);

} // namespace ui
