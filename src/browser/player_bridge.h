#pragma once
// What the players in a page see of the program's player, over the web channel into the page's
// isolated world. One bridge serves every player of the page (it is published once, before any
// document connects): the buttons call control() with the player's name, and every change of a
// player's view (state, entry, time, status line) is sent as changed(name, view). A player whose
// list the program's player is not playing shows its list standing still.
#include "player/playback/application_player.h"

#include <QHash>
#include <QObject>
#include <QVariantMap>

#include <vector>

namespace browser {

class PlayerBridge : public QObject {
    Q_OBJECT
public:
    explicit PlayerBridge(playback::ApplicationPlayer& player, QObject* parent = nullptr);
    ~PlayerBridge() override;

    // Publishes a player's list under a name. sourceError: why the player's source gave no
    // entries, shown while its list is empty.
    void attach(const QString& name, std::vector<playback::PlaybackEngine::Entry> entries,
                const QString& sourceError);
    // Every player goes; what one of them plays stops.
    void detachAll();

    // action: play, pause, stop, previous or next.
    Q_INVOKABLE void control(const QString& name, const QString& action);
    // Moves what the named player plays to seconds; nothing when it does not play or cannot.
    Q_INVOKABLE void seek(const QString& name, double seconds);
    // The program player's volume, 0 to 1 (every player shows the one volume).
    Q_INVOKABLE void setVolume(const QString& name, double volume);
    // state (idle, connecting, playing, paused, stopped, ended, empty), index, count, title (the
    // entry's name), address, time and duration in whole seconds, canSeek, volume (0 to 100),
    // status, notice.
    Q_INVOKABLE QVariantMap view(const QString& name) const;

signals:
    void changed(const QString& name, const QVariantMap& view);

private:
    struct Player {
        playback::ApplicationPlayer::ViewId id = playback::ApplicationPlayer::kNoView;
        std::vector<playback::PlaybackEngine::Entry> entries;
        QString sourceError;
        bool played = false; // it held the program's player once: it shows "stopped", not "idle"
        QVariantMap last;
    };
    bool holds(const Player& p) const { return p.id == player_.holder(); }
    void sendIfChanged(const QString& name);

    playback::ApplicationPlayer& player_;
    QHash<QString, Player> players_;
};

} // namespace browser
