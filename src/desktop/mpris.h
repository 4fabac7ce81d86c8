#pragma once
// The program's player on the session bus as an MPRIS2 media player, so that the desktop's
// media keys, its sound menu and playerctl see what plays and can pause it. Without a session
// bus nothing is published and the program plays as before.
#include "player/playback/application_player.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <functional>

namespace desktop {

inline constexpr char kMprisService[] = "org.mpris.MediaPlayer2.corvale";
inline constexpr char kMprisPath[] = "/org/mpris/MediaPlayer2";

// What a desktop shows for an entry: its title (the song's name, split into artist and title at
// " - " as the service names songs, or the file name of its address), the address, the length
// in microseconds when known, and an id for the entry's place in the list.
QVariantMap trackMetadata(const playback::PlaybackEngine::Entry& entry, int index,
                          double durationSeconds);
// "Playing", "Paused" or "Stopped".
QString playbackStatus(playback::PlaybackEngine::State state);

class MprisService : public QObject {
    Q_OBJECT
public:
    // raise: brings the main window to the front.
    MprisService(playback::ApplicationPlayer& player, std::function<void()> raise,
                 QObject* parent = nullptr);
    ~MprisService() override;

    // Publishes the player on bus; false when the bus is not there or the name is taken.
    bool publish(const QDBusConnection& bus);

    playback::ApplicationPlayer& player() { return player_; }
    void raiseWindow() const
    {
        if (raise_)
            raise_();
    }
    // The Player interface's properties as they are now.
    QVariantMap playerProperties() const;

private:
    void sendChanges();

    playback::ApplicationPlayer& player_;
    std::function<void()> raise_;
    QDBusConnection bus_;
    bool published_ = false;
    QVariantMap sent_; // the properties the bus was last told about
};

} // namespace desktop
