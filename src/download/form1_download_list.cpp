// Placeholder handlers of the download list; the download subsystem replaces this file.
#include "app/form1.h"

#include "ui/song_list_view.h"

#include <QGroupBox>
#include <QPlainTextEdit>

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

void TForm1::connectDownloadHandlers()
{
    connectTransferHandlers();
}
void TForm1::dragdownbtnClick() {}
void TForm1::downloadbtnClick() {}
void TForm1::delbtnClick() {}
void TForm1::delallbtnClick() {}
void TForm1::SeSkinButton3Click() {}
void TForm1::SeSkinButton1Click() {}
