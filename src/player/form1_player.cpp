// Placeholder handlers of the play panel; the player subsystem replaces this file.
#include "app/form1.h"

#include "browser/webengine_browser.h"
#include "ui/song_list_view.h"

#include <QGroupBox>
#include <QLabel>

void TForm1::buildPlayPanel()
{
    SeSkinPanel1 = new QGroupBox(centralWidget());
    SeSkinPanel1->setObjectName("SeSkinPanel1");
    SeSkinPanel1->setGeometry(121, 384, 575, 201);
    playListView = new ui::SongListView(SeSkinPanel1);
    playListView->setGeometry(8, 56, 561, 137);
    WebBrowser3 = new browser::WebEngineBrowser(browser::WebEngineBrowser::Kind::Shown, SeSkinPanel1, this);
    WebBrowser3->view()->setGeometry(8, 128, 561, 73);
}

void TForm1::connectPlayerHandlers() {}
void TForm1::dragplaybtnClick() {}
void TForm1::playdelbtnClick() {}
void TForm1::playclearClick() {}
void TForm1::playsavebtnClick() {}
void TForm1::playloadbtnClick() {}
void TForm1::SeSkinButton4Click() {}
void TForm1::ShowRealPage(const std::string&, int) {}
void TForm1::ShowMediaPage(const std::string&, int, int) {}
void TForm1::PlayChosenListFile(const std::string&) {}
void TForm1::WebBrowser3ProgressChange(int, int) {}
void TForm1::WebBrowser3DocumentComplete() {}
