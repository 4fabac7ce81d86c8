#include "gui/status_bar.h"

#include <QHBoxLayout>

namespace ui {

PanelStatusBar::PanelStatusBar(const std::vector<int>& widths, QWidget* parent) : QWidget(parent)
{
    setObjectName("statusBar");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(2);
    for (int width : widths) {
        auto* panel = new QLabel(this);
        panel->setFixedWidth(width);
        panel->setObjectName("statusPanel");
        layout->addWidget(panel);
        panels_.push_back(panel);
    }
    layout->addStretch(1);
}

void PanelStatusBar::setPanelText(int index, const QString& text)
{
    if (index >= 0 && index < panelCount())
        panels_[static_cast<size_t>(index)]->setText(text);
}

QString PanelStatusBar::panelText(int index) const
{
    return index >= 0 && index < panelCount() ? panels_[static_cast<size_t>(index)]->text()
                                              : QString();
}

} // namespace ui
