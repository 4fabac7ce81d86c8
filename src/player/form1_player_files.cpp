// Saving the play list to a list file (Real, Windows Media, M3U8, XSPF), and loading one back
// as an ordinary play list and playing it.
#include "app/form1.h"

#include "core/line_file.h"
#include "player/list_files.h"
#include "player/list_formats.h"
#include "player/play_list.h"
#include "player/player_pages.h"
#include "gui/gbk_qt.h"
#include "gui/song_list_view.h"

#include <QDateTime>
#include <QFileInfo>
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
    if (playListView->rowCount() == 0)
        dragplaybtnClick();
    const std::vector<core::SongEntry> rows = playRows(playListView);
    if (rows.empty())
        return;

    const bool real = player::isRealType(rows.front().sub(core::SubItem::TypeText));
    const QDateTime now = QDateTime::currentDateTime();
    const std::string stamp =
        player::nameStamp(now.date().year(), now.date().month(), now.date().day(),
                          now.time().hour(), now.time().minute(), now.time().second());
    SaveDialog1.fileName =
        ui::fromGbk(player::proposedListName(stamp, ui::toGbk(searchWords()), real));
    SaveDialog1.filterIndex = player::saveFilterIndex(real);
    if (!SaveDialog1.Execute(this, true))
        return;
    // The typed extension decides the format; a name without one takes the chosen filter's.
    const player::ListFormat format =
        player::saveFormat(ui::toGbk(SaveDialog1.fileName), SaveDialog1.filterIndex);
    core::writeLines(chosenPath(SaveDialog1.fileName), player::listFileLines(format, rows));
}

void TForm1::playloadbtnClick()
{
    OpenDialog2.filterIndex = 1;
    if (!OpenDialog2.Execute(this, false))
        return;
    playListView->clearRows();
    const std::filesystem::path path = chosenPath(OpenDialog2.fileName);
    const std::string bytes = core::readFileBytes(path);
    const std::string chosen = ui::toGbk(OpenDialog2.fileName);
    const player::ListFormat format = player::loadFormat(chosen);
    const std::string folder = ui::toGbk(QFileInfo(OpenDialog2.fileName).absolutePath()) + "/";
    const std::vector<core::SongEntry> rows = player::readListFile(format, bytes, folder);
    for (const core::SongEntry& row : rows)
        playListView->appendRow(row);
    // The two formats the player pages name play through the chosen file itself; the others
    // through the Windows Media list written from the rows.
    if (format == player::ListFormat::Real || format == player::ListFormat::WindowsMedia)
        PlayChosenListFile(chosen);
    else if (!rows.empty())
        PlayOwnMediaList(rows);
}
