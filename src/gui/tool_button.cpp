#include "gui/tool_button.h"

#include <QToolButton>

namespace ui {

QToolButton* toolButton(QWidget* bar, const QString& objectName, const QString& caption,
                        const QString& hint, int left, int top)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(objectName);
    button->setText(caption);
    button->setToolTip(hint);
    button->setGeometry(left, top, 25, 25);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(true);
    return button;
}

} // namespace ui
