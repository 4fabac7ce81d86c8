#pragma once
// The player stand-in. Pages shown in the window may embed the RealPlayer or the Windows Media
// Player control by class identifier; neither exists here. After such a page has loaded, each of
// those OBJECT elements is replaced, in the rendered page only, by a small player: play, pause,
// stop, previous, next, the entry's name, a position slider with the time, a volume
// slider and a status line. The sound comes from
// the native playback engine (every media type); the page's player drives it over a web
// channel into the isolated world.
//
// The page's own scripts never run, and a local page cannot read other local files. So the
// source is read here: the OBJECT's source parameter is taken from the page by a script in the
// isolated world, a list file it names is read in C++ (unless the program handed over that
// list's entries with the page), and its entries go to the engine.
#include "browser/browser_control.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>
#include <vector>

class QWebChannel;
class QWebEnginePage;

namespace browser {

class PlayerBridge;

// Lists the program handed over, by the local path of the list file they stand for.
using PlayerLists = QHash<QString, std::vector<PlayerEntry>>;

// What one player object plays, or why it plays nothing.
struct PlayerSource {
    std::vector<PlayerEntry> entries;
    QString error; // a Chinese sentence for the player's status line, or empty
};

// The generated pages are GBK and name no character set, so the browser decodes them with its
// default (windows-1252). This gives back the GBK text of such a decoded string; text decoded
// with any other character set is returned as it is.
QString asGbkPageText(const QString& decoded, const QString& charset);

// Entries of a Real list (.rpm, .ram): one address per line, blank lines and "#" comments
// skipped. Relative addresses are resolved against base.
std::vector<PlayerEntry> parseRealList(const QString& text, const QUrl& base);
// Entries of a Windows Media list (.asx): every <ref href="..."> in order, with the title of
// its <entry> when it has one.
std::vector<PlayerEntry> parseAsxList(const QString& text, const QUrl& base);
// The entries of an OBJECT's source parameter as the page gives it: "file:///" + a local path
// (the list file is read and parsed by its name, or by its content when the name says
// nothing), another local or remote media address (a single entry). A trailing blank after a
// local path that does not exist is dropped, as the desktop's file system drops it.
// A source that names a list in `given` plays the entries given for it, whatever the file on
// disk holds now (or whether it is there at all).
PlayerSource resolvePlayerSource(const QString& source, const QUrl& pageUrl,
                                 const PlayerLists& given = {});
// An address as a list gives it, made absolute against the list's own address.
PlayerEntry playerEntry(const QString& address, const QString& title, const QUrl& base);

// Watches a page and installs the player into every document it loads. Each player is a view of
// the program's one player; a new load ends them (and what one of them plays).
class PlayerStandIn : public QObject {
    Q_OBJECT
public:
    explicit PlayerStandIn(QWebEnginePage* page);

    // The entries a player whose source names the list file listPath plays, from the next
    // document on; they replace what was given for that path before.
    void giveList(const QString& listPath, const std::vector<PlayerEntry>& entries);

signals:
    void playersInstalled(int count);

private:
    void onLoadFinished(bool ok);
    void install(quint64 generation, const QVariant& found);
    void endPlayers();

    QWebEnginePage* page_;
    QWebChannel* channel_;
    PlayerBridge* bridge_;
    quint64 generation_ = 0;
    int playerCount_ = 0; // players of the current document
    PlayerLists given_;
};

// The script of the player, run in the isolated world: called with null it lists the player
// objects of the document; called with the data of each object it replaces them and connects
// them to their engines over the web channel (whose client script must be defined first).
const char* playerStandInScript();

} // namespace browser
