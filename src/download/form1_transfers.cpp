// Placeholder handlers of the transfer engine; the download subsystem replaces this file.
#include "app/form1.h"

#include "download/engine_window_adapter.h"
#include "download/transfer_engine.h"

#include <QPlainTextEdit>
#include <QTimer>

void TForm1::connectTransferHandlers() {}
void TForm1::downbtnClick() {}
bool TForm1::DownloadsRunning() const { return false; }
void TForm1::StopAllTransfers() { Timer1->stop(); }
void TForm1::Timer1Timer() {}
void TForm1::WriteFinalReport() {}
void TForm1::downloadnowSelectItem(int, bool) {}
void TForm1::myexception(QObject*, const std::exception& e)
{
    downinimemo->appendPlainText(QString::fromUtf8(e.what()));
}
