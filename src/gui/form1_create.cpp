// Start-up: the shared state, the type icons, the fit to the screen, the names the desktop reads.
#include "gui/form1.h"

#include "core/gbk_qt.h"
#include "desktop/program_folder.h"
#include "gui/card_panel.h"
#include "gui/download_panel.h"
#include "gui/exception_handler.h"
#include "gui/play_list_view.h"
#include "gui/play_panel.h"
#include "gui/screen_placement.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"
#include "gui/type_icons.h"
#include "player/playback/application_player.h"

#include <QDir>
#include <QGroupBox>
#include <QPointer>
#include <QToolButton>
#include <QUrl>

#include <vector>

namespace {

// The tool buttons keep the focus where it is when clicked, but the Tab key reaches them; those
// without a name of their own are named by their hint.
void describeToolButtons(TForm1& f)
{
    for (QToolButton* button : f.findChildren<QToolButton*>()) {
        button->setFocusPolicy(Qt::TabFocus);
        if (button->accessibleName().isEmpty())
            button->setAccessibleName(button->toolTip());
        if (button->toolTip().isEmpty())
            button->setToolTip(button->accessibleName());
        button->setAccessibleDescription(button->toolTip());
    }
}

// The name of the row whose address is address, in the lists songs are played from.
QString rowName(const TForm1& f, const QString& address)
{
    const QString wanted = QUrl(address).toString(QUrl::FullyEncoded);
    for (const std::vector<core::SongEntry>& rows :
         {f.playPanel()->rows(), f.cardPanel()->rows(), f.searchPanel()->rows()})
        for (const core::SongEntry& e : rows) {
            const QString rowAddress = core::fromGbk(e.sub(core::SubItem::Address));
            if (!rowAddress.isEmpty() && QUrl(rowAddress).toString(QUrl::FullyEncoded) == wanted)
                return core::fromGbk(e.sub(core::SubItem::Name));
        }
    return {};
}

} // namespace

void TForm1::FormCreate()
{
    // Exceptions that escape a handler reach myexception instead of ending the program.
    ui::setExceptionHandler([this](QObject* sender, const std::exception& e) {
        downloadPanel_->myexception(sender, e);
    });
    // Downloads go to "music" beside the program unless the user picks another folder.
    std::string& saveFolder = downloadPanel_->SaveFolder;
    saveFolder = programFolderOverride_.empty() ? desktop::startSaveFolder(ProgramFolder)
                                                : ProgramFolder + "music/";
    QDir().mkdir(core::fromGbk(saveFolder)); // one level; a failure shows when a download starts
    // No chooser rewrite or quit answer is pending.
    downloadPanel_->ChooserRewrite = false;
    QuitConfirmed = false;
    // The lists show a type icon per row, in MediaType order.
    fillTypeIcons();
    // The window opens on the search view, fitted to the screen, with a multi-row result list.
    showView(true, false, false);
    adaptToScreen();
    searchPanel_->ListView1->setMultiSelect(true);
    describeToolButtons(*this);
    // The desktop shows a playing song by its row's name.
    playback::ApplicationPlayer::instance().setNameLookup(
        [form = QPointer<TForm1>(this)](const QString& address) {
            return form ? rowName(*form, address) : QString();
        });
}

void TForm1::fillTypeIcons()
{
    ImageList1 = ui::typeIcons();
    searchPanel_->setTypeIcons(&ImageList1);
    playPanel_->playListView->setImageList(&ImageList1);
    cardPanel_->setTypeIcons(&ImageList1);
    downloadPanel_->setTypeIcons(ImageList1);
}

void TForm1::adaptToScreen()
{
    const ui::DesignSizes design{
        centralWidget()->width(),          centralWidget()->height(),         Panel2->width(),
        searchPanel_->ListView1->width(),  searchPanel_->ListView1->height(), playPanel_->height(),
        playPanel_->playListView->height()};
    ui::fitToScreen(this, design);
    ui::centreWhenShown(this);
}
