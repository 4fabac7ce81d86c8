// Saving the play list to a Real (.rpm) or Windows Media (.asx) list file, and loading one
// back and playing it.
#include "app/form1.h"

#include "core/line_file.h"
#include "player/list_files.h"
#include "player/play_list.h"
#include "player/player_pages.h"
#include "ui/gbk_qt.h"
#include "ui/song_list_view.h"

#include <QDateTime>
#include <QLineEdit>

namespace {

std::vector<core::SongEntry> playRows(const ui::SongListView* list)
{
    std::vector<core::SongEntry> rows;
    rows.reserve(static_cast<size_t>(list->rowCount()));
    for (int i = 0; i < list->rowCount(); ++i)
        rows.push_back(list->rowAt(i));
    return rows;
}

// A path chosen in a dialog, as the file system names it (UTF-8 on this platform).
std::filesystem::path chosenPath(const QString& fileName)
{
    const QByteArray utf8 = fileName.toUtf8();
    return std::filesystem::path(std::string(utf8.constData(), static_cast<size_t>(utf8.size())));
}

} // namespace

void TForm1::playsavebtnClick()
{
    std::vector<core::SongEntry> rows = playRows(playListView);
    if (rows.empty() || player::isLoadedList(rows)) {
        dragplaybtnClick();
        rows = playRows(playListView);
    }
    if (rows.empty() || player::isLoadedList(rows))
        return;

    const bool real = player::isRealType(rows.front().sub(core::SubItem::TypeText));
    const std::vector<std::string> lines =
        real ? player::realListLines(rows) : player::mediaListLines(rows, player::kSavedListTitle);

    const QDateTime now = QDateTime::currentDateTime();
    const std::string stamp =
        player::nameStamp(now.date().year(), now.date().month(), now.date().day(),
                          now.time().hour(), now.time().minute(), now.time().second());
    SaveDialog1.fileName =
        ui::fromGbk(player::proposedListName(stamp, ui::toGbk(Edit1->text()), real));
    SaveDialog1.filterIndex = player::saveFilterIndex(real);
    if (!SaveDialog1.Execute(this, true))
        return;
    core::writeLines(chosenPath(SaveDialog1.fileName), lines);
}

void TForm1::playloadbtnClick()
{
    OpenDialog2.filterIndex = 1;
    if (!OpenDialog2.Execute(this, false))
        return;
    playListView->clearRows();
    const std::vector<std::string> lines = core::readLines(chosenPath(OpenDialog2.fileName));
    const std::string chosen = ui::toGbk(OpenDialog2.fileName);
    const std::vector<core::SongEntry> rows =
        player::isRealListName(chosen) ? player::readRealList(lines) : player::readMediaList(lines);
    for (const core::SongEntry& row : rows)
        playListView->appendRow(row);
    PlayChosenListFile(chosen);
}
