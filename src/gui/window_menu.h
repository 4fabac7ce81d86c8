#pragma once
// The window menu behind the ≡ button (还原, 最小化, 收缩, 缩为图标) and the tray icon whose menu
// (还原) brings back a window shrunk to an icon.
#include <QObject>
#include <QRect>

class QAction;
class QMainWindow;
class QMenu;
class QSystemTrayIcon;
class QToolButton;
class QWidget;

namespace gui {

class WindowMenu : public QObject {
    Q_OBJECT
public:
    // The ≡ button goes into `buttonParent` at its design place.
    WindowMenu(QMainWindow* window, QWidget* buttonParent);

    QToolButton* windowMenuButton = nullptr;
    QMenu* SeSkinPopupMenu1 = nullptr; // window menu
    QMenu* SeSkinPopupMenu2 = nullptr; // tray menu
    QAction* CustomItem1 = nullptr;    // 还原
    QAction* CustomItem2 = nullptr;    // 最小化
    QAction* CustomItem3 = nullptr;    // 收缩
    QAction* CustomItem4 = nullptr;    // 缩为图标
    QAction* CustomItem7 = nullptr;    // tray: 还原
    QSystemTrayIcon* trayIcon = nullptr;

    void CustomItem1Click();
    void CustomItem2Click();
    void CustomItem3Click();
    void CustomItem4Click();
    void CustomItem7Click();
    bool rolledUp() const { return rolledUp_; }

private:
    QMainWindow* window_;
    bool rolledUp_ = false;
    QRect geometryBeforeRollUp_;
};

} // namespace gui
