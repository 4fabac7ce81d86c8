#pragma once
#include <QLabel>
#include <QWidget>
#include <vector>

namespace ui {

// A status bar of fixed-width panels whose texts are set by index.
class PanelStatusBar : public QWidget {
    Q_OBJECT
public:
    PanelStatusBar(const std::vector<int>& widths, QWidget* parent = nullptr);
    void setPanelText(int index, const QString& text);
    QString panelText(int index) const;
    int panelCount() const { return static_cast<int>(panels_.size()); }

private:
    std::vector<QLabel*> panels_;
};

} // namespace ui
