#include "gui/window_menu.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QToolButton>

namespace gui {

WindowMenu::WindowMenu(QMainWindow* window, QWidget* buttonParent)
    : QObject(window), window_(window)
{
    windowMenuButton = new QToolButton(buttonParent);
    windowMenuButton->setObjectName("windowMenuButton");
    windowMenuButton->setText("≡");
    windowMenuButton->setToolTip("窗口菜单");
    windowMenuButton->setAccessibleName("窗口菜单");
    windowMenuButton->setGeometry(650, 7, 30, 26);
    windowMenuButton->setFocusPolicy(Qt::NoFocus);
    windowMenuButton->setPopupMode(QToolButton::InstantPopup);

    SeSkinPopupMenu1 = new QMenu(window);
    CustomItem1 = SeSkinPopupMenu1->addAction("还原");
    CustomItem2 = SeSkinPopupMenu1->addAction("最小化");
    CustomItem3 = SeSkinPopupMenu1->addAction("收缩");
    CustomItem4 = SeSkinPopupMenu1->addAction("缩为图标");
    windowMenuButton->setMenu(SeSkinPopupMenu1);

    SeSkinPopupMenu2 = new QMenu(window);
    CustomItem7 = SeSkinPopupMenu2->addAction("还原");
    trayIcon = new QSystemTrayIcon(window);
    trayIcon->setToolTip("Corvale");
    trayIcon->setContextMenu(SeSkinPopupMenu2);

    connect(CustomItem1, &QAction::triggered, this, &WindowMenu::CustomItem1Click);
    connect(CustomItem2, &QAction::triggered, this, &WindowMenu::CustomItem2Click);
    connect(CustomItem3, &QAction::triggered, this, &WindowMenu::CustomItem3Click);
    connect(CustomItem4, &QAction::triggered, this, &WindowMenu::CustomItem4Click);
    connect(CustomItem7, &QAction::triggered, this, &WindowMenu::CustomItem7Click);
    connect(trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) {
                if (r == QSystemTrayIcon::DoubleClick || r == QSystemTrayIcon::Trigger)
                    CustomItem7Click();
            });
}

void WindowMenu::CustomItem1Click()
{
    if (rolledUp_) {
        window_->centralWidget()->show();
        window_->setGeometry(geometryBeforeRollUp_);
        rolledUp_ = false;
    }
    trayIcon->hide();
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
}

void WindowMenu::CustomItem2Click()
{
    window_->showMinimized();
}

void WindowMenu::CustomItem3Click()
{
    // Rolled up, only the window's title bar stays on screen.
    if (rolledUp_)
        return;
    geometryBeforeRollUp_ = window_->geometry();
    rolledUp_ = true;
    window_->centralWidget()->hide();
    window_->resize(window_->width(), 0);
}

void WindowMenu::CustomItem4Click()
{
    // Without a system tray a hidden window could never be brought back: minimise instead.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        window_->showMinimized();
        return;
    }
    trayIcon->setIcon(window_->windowIcon());
    trayIcon->show();
    window_->hide();
}

void WindowMenu::CustomItem7Click()
{
    CustomItem1Click();
}

} // namespace gui
