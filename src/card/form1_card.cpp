// Placeholder handlers of the card panel; the card subsystem replaces this file.
#include "app/form1.h"

#include "browser/webengine_browser.h"
#include "ui/song_list_view.h"

#include <QGroupBox>

void TForm1::buildCardPanel()
{
    setpanel = new QGroupBox("音乐贺卡", centralWidget());
    setpanel->setObjectName("setpanel");
    setpanel->setGeometry(121, 73, 575, 509);
    cardlistview = new ui::SongListView(setpanel);
    cardlistview->setGeometry(8, 24, 559, 60);
    WebBrowser4 = new browser::WebEngineBrowser(browser::WebEngineBrowser::Kind::Shown, setpanel, this);
    WebBrowser4->view()->setGeometry(8, 120, 559, 200);
}

void TForm1::connectCardHandlers() {}
void TForm1::dragcardbtnClick() {}
void TForm1::cancelbtnClick() {}
void TForm1::htmlrunbtnClick() {}
void TForm1::h1btnClick() {}
void TForm1::h2btnClick() {}
void TForm1::h3btnClick() {}
void TForm1::h4btnClick() {}
void TForm1::bigbtnClick() {}
void TForm1::strongbtnClick() {}
void TForm1::ibtnClick() {}
void TForm1::ubtnClick() {}
void TForm1::centrebtnClick() {}
void TForm1::colorcomboxChange() {}
void TForm1::fontsizecomboxChange() {}
void TForm1::backbtnClick() {}
void TForm1::cardsurebtnClick() {}
void TForm1::previewbtnClick() {}
void TForm1::picbtnClick() {}
void TForm1::iesetbtnClick() {}
