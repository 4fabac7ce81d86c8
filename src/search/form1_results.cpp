// Placeholder handlers of result parsing, charts and the result list; the search subsystem
// replaces this file.
#include "app/form1.h"

#include "ui/song_list_view.h"

void TForm1::buildResultList()
{
    ListView1 = new ui::SongListView(centralWidget());
    ListView1->setObjectName("ListView1");
    ListView1->setGeometry(121, 73, 575, 311);
}

void TForm1::Button7Click() {}
void TForm1::Button9Click() {}
void TForm1::manlistbtnClick() {}
void TForm1::womanlistbtnClick() {}
void TForm1::musiclistClick() {}
void TForm1::menubtnClick() {}
void TForm1::WebBrowser2ProgressChange(int, int) {}
void TForm1::WebBrowser2DocumentComplete() {}
void TForm1::ListView1SelectItem(int, bool) {}
void TForm1::ListView1DblClick() {}
