// The close path.
#include "gui/dialogs.h"
#include "gui/download_panel.h"
#include "gui/form1.h"
#include "gui/window_menu.h"

#include <QApplication>
#include <QCloseEvent>
#include <QSystemTrayIcon>

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
    windowMenu_->trayIcon->hide();
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
