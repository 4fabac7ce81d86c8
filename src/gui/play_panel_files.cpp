// Saving the play list to a list file (Real, Windows Media, M3U8, XSPF), and loading one back
// as an ordinary play list and playing it.
#include "gui/play_panel.h"

#include "core/gbk_qt.h"
#include "core/line_file.h"
#include "gui/play_list_model.h"
#include "player/list_files.h"
#include "player/list_formats.h"
#include "player/play_list.h"
#include "player/player_pages.h"

#include <QDateTime>
#include <QFileInfo>

namespace gui {
namespace {

// A path chosen in a dialog, as the file system names it (UTF-8 on this platform).
std::filesystem::path chosenPath(const QString& fileName)
{
    const QByteArray utf8 = fileName.toUtf8();
    return std::filesystem::path(std::string(utf8.constData(), static_cast<size_t>(utf8.size())));
}

} // namespace

void PlayPanel::playsavebtnClick()
{
    if (model->rows().empty())
        dragplaybtnClick();
    const std::vector<core::SongEntry> rows = this->rows();
    if (rows.empty())
        return;

    const bool real = player::isRealType(rows.front().sub(core::SubItem::TypeText));
    const QDateTime now = QDateTime::currentDateTime();
    const std::string stamp =
        player::nameStamp(now.date().year(), now.date().month(), now.date().day(),
                          now.time().hour(), now.time().minute(), now.time().second());
    SaveDialog1.fileName = core::fromGbk(player::proposedListName(
        stamp, core::toGbk(searchWords_ ? searchWords_() : QString()), real));
    SaveDialog1.filterIndex = player::saveFilterIndex(real);
    if (!SaveDialog1.Execute(this, true))
        return;
    // The typed extension decides the format; a name without one takes the chosen filter's.
    const player::ListFormat format =
        player::saveFormat(core::toGbk(SaveDialog1.fileName), SaveDialog1.filterIndex);
    core::writeLines(chosenPath(SaveDialog1.fileName), player::listFileLines(format, rows));
}

void PlayPanel::playloadbtnClick()
{
    OpenDialog2.filterIndex = 1;
    if (!OpenDialog2.Execute(this, false))
        return;
    model->clear();
    const std::filesystem::path path = chosenPath(OpenDialog2.fileName);
    const std::string bytes = core::readFileBytes(path);
    const std::string chosen = core::toGbk(OpenDialog2.fileName);
    const player::ListFormat format = player::loadFormat(chosen);
    const std::string folder = core::toGbk(QFileInfo(OpenDialog2.fileName).absolutePath()) + "/";
    const std::vector<core::SongEntry> rows = player::readListFile(format, bytes, folder);
    model->assign(rows);
    // The two formats the player pages name: the page names the chosen file itself, and its
    // player plays the rows read from it. The others play through the Windows Media list
    // written from the rows.
    if (format == player::ListFormat::Real || format == player::ListFormat::WindowsMedia) {
        handOver(chosen, rows, player::isRealListName(chosen));
        PlayChosenListFile(chosen);
    } else if (!rows.empty()) {
        PlayOwnMediaList(rows);
    }
}

} // namespace gui
