// Placeholder handlers of the download panel; the download subsystem replaces this file.
#include "app/form1.h"

#include "download/engine_window_adapter.h"
#include "download/transfer_engine.h"
#include "ui/song_list_view.h"

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

void TForm1::buildDownloadPanel()
{
    Iesetpanel = new QGroupBox("下载", centralWidget());
    Iesetpanel->setObjectName("Iesetpanel");
    Iesetpanel->setGeometry(121, 73, 575, 509);
    downloadlistview = new ui::SongListView(Iesetpanel);
    downloadlistview->setGeometry(8, 24, 559, 180);
    downloadnow = new ui::SongListView(Iesetpanel);
    downloadnow->setGeometry(8, 250, 559, 100);
    downinimemo = new QPlainTextEdit(Iesetpanel);
    downinimemo->setGeometry(8, 400, 559, 100);
}

void TForm1::connectDownloadHandlers() {}
void TForm1::dragdownbtnClick() {}
void TForm1::downloadbtnClick() {}
void TForm1::delbtnClick() {}
void TForm1::delallbtnClick() {}
void TForm1::SeSkinButton3Click() {}
void TForm1::SeSkinButton1Click() {}
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
