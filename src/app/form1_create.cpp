// Start-up and the three views.
#include "app/form1.h"

#include "app/application.h"
#include "app/program_folder.h"
#include "app/screen_adaptation.h"
#include "app/type_icons.h"
#include "browser/browser_control.h"
#include "ui/gbk_qt.h"
#include "ui/song_list_view.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QScreen>

void TForm1::FormCreate()
{
    // 1. A new transfer engine starts with ResumeRow, FileSize and ActiveWorkers at 0.
    ResultPageNumber = 2;
    ResultRowCount = 0;
    // 2. Hints for the whole application are on: every control shows its tool tip.
    // 3. The player browser's own Visible property is false and it lies behind its siblings.
    WebBrowser3->setBrowserVisible(false);
    if (QWidget* view = WebBrowser3->view())
        view->lower();
    // 4. Exceptions that escape a handler reach myexception.
    app::setExceptionHandler(
        [this](QObject* sender, const std::exception& e) { myexception(sender, e); });
    // 5.-7. Folders.
    ImageList1.clear();
    ProgramFolder = programFolderOverride_.empty() ? app::programFolder() : programFolderOverride_;
    SaveFolder = ProgramFolder + "music/";
    QDir().mkdir(ui::fromGbk(SaveFolder)); // one level; a failure shows when a download starts
    // 8.-11.
    ChooserRewrite = false;
    QuitConfirmed = false;
    OpenDialog1.initialDir = ui::fromGbk(ProgramFolder + "pic/");
    CardPicture = ProgramFolder + "pic/0103.jpg";
    SearchStopped = 0;
    // 12. Type icons, in MediaType order.
    fillTypeIcons();
    // 13.-15.
    showView(true, false, false);
    adaptToScreen();
    ListView1->setMultiSelect(true);
}

void TForm1::fillTypeIcons()
{
    ImageList1 = app::typeIcons();
    for (ui::SongListView* list : {ListView1, playListView, downloadlistview, cardlistview})
        if (list)
            list->setImageList(&ImageList1);
}

void TForm1::showView(bool search, bool download, bool card)
{
    ListView1->setVisible(search);
    SeSkinPanel1->setVisible(search);
    Iesetpanel->setVisible(download);
    setpanel->setVisible(card);
}

void TForm1::Button3Click()
{
    showView(true, false, false);
}

void TForm1::Button4Click()
{
    showView(false, true, false);
}

void TForm1::Button5Click()
{
    showView(false, false, true);
}

namespace {
void scaleChildren(QWidget* widget, const app::ScreenAdaptation& a)
{
    for (QObject* child : widget->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isWindow())
            continue;
        const QRect g = w->geometry();
        w->setGeometry(app::scaled(g.x(), a), app::scaled(g.y(), a), app::scaled(g.width(), a),
                       app::scaled(g.height(), a));
        QFont font = w->font();
        if (font.pixelSize() > 0)
            font.setPixelSize(app::scaled(font.pixelSize(), a));
        else
            font.setPointSizeF(font.pointSizeF() * a.scaleNumerator / a.scaleDenominator);
        w->setFont(font);
        scaleChildren(w, a);
    }
}
} // namespace

void TForm1::adaptToScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QSize size = screen->size();
    const app::DesignSizes design{centralWidget()->width(), centralWidget()->height(),
                                  Panel2->width(),          ListView1->width(),
                                  ListView1->height(),      SeSkinPanel1->height(),
                                  playListView->height()};
    const app::ScreenAdaptation a = app::adaptToScreen(size.width(), size.height(), design);
    if (a.scale) {
        scaleChildren(centralWidget(), a);
        centralWidget()->setFixedSize(a.windowWidth, a.windowHeight);
    }
    adjustSize();
    move(screen->availableGeometry().center() - rect().center());
}
