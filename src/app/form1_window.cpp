// The window menu, the tray icon and the close path.
#include "app/form1.h"

#include "gui/dialogs.h"
#include "gui/download_panel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QSystemTrayIcon>
#include <QWidget>

void TForm1::CustomItem1Click()
{
    if (rolledUp_) {
        centralWidget()->show();
        setGeometry(geometryBeforeRollUp_);
        rolledUp_ = false;
    }
    trayIcon->hide();
    showNormal();
    raise();
    activateWindow();
}

void TForm1::CustomItem2Click()
{
    showMinimized();
}

void TForm1::CustomItem3Click()
{
    // Rolled up, only the window's title bar stays on screen.
    if (rolledUp_)
        return;
    geometryBeforeRollUp_ = geometry();
    rolledUp_ = true;
    centralWidget()->hide();
    resize(width(), 0);
}

void TForm1::CustomItem4Click()
{
    // Without a system tray a hidden window could never be brought back: minimise instead.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        showMinimized();
        return;
    }
    trayIcon->setIcon(windowIcon());
    trayIcon->show();
    hide();
}

void TForm1::CustomItem7Click()
{
    CustomItem1Click();
}

void TForm1::FormCloseQuery(bool& canClose)
{
    canClose = true;
    if (QuitConfirmed || !downloadPanel_->DownloadsRunning())
        return;
    if (ui::askYesNo(this, "还存在下载进程，确定退出吗？"))
        QuitConfirmed = true;
    else
        canClose = false;
}

void TForm1::FormClose()
{
    downloadPanel_->StopAllTransfers();
    trayIcon->hide();
    if (endProcess)
        endProcess(0);
    else
        QApplication::exit(0);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        event->ignore();
        return;
    }
    event->accept();
    FormClose();
}
