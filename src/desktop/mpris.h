#pragma once
// The program's player on the session bus as an MPRIS2 media player, so that the desktop's
// media keys, its sound menu and playerctl see what plays and can pause it. Without a session
// bus nothing is published and the program plays as before.
#include "player/playback/application_player.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

namespace desktop {

inline constexpr char kMprisService[] = "org.mpris.MediaPlayer2.corvale";
inline constexpr char kMprisPath[] = "/org/mpris/MediaPlayer2";

// What a desktop shows for an entry: its title (the entry's name, split into artist and title
// at " - " as the service names songs, or the file name of its address), the address, the
// length in microseconds when known, and an id for the entry's place in the list.
QVariantMap trackMetadata(const playback::PlaybackEngine::Entry& entry, int index,
                          double durationSeconds);
// "Playing", "Paused" or "Stopped".
QString playbackStatus(playback::PlaybackEngine::State state);
// The track id of the entry at index, as Metadata names it.
QDBusObjectPath trackId(int index);

// The object published at /org/mpris/MediaPlayer2. Its properties and methods carry the names
// of the two MPRIS2 interfaces; the adaptors that qdbusxml2cpp generates from the interface XML
// beside this file forward the bus's calls to them.
class MprisService : public QObject {
    Q_OBJECT
    // org.mpris.MediaPlayer2
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ noStrings)
    Q_PROPERTY(QStringList SupportedMimeTypes READ noStrings)
    // org.mpris.MediaPlayer2.Player
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    // raise: brings the main window to the front.
    MprisService(playback::ApplicationPlayer& player, std::function<void()> raise,
                 QObject* parent = nullptr);
    ~MprisService() override;

    // Publishes the player on bus; false when the bus is not there or the name is taken.
    bool publish(const QDBusConnection& bus);

    // The Player interface's properties as they are now.
    QVariantMap playerProperties() const;

    bool canQuit() const { return false; } // the window's close path asks the user first
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const;
    QString desktopEntry() const;
    QStringList noStrings() const { return {}; } // no URI schemes or types are opened

    QString playbackStatus() const;
    QString loopStatus() const { return QStringLiteral("None"); }
    void setLoopStatus(const QString&) {} // the list plays once
    double rate() const { return 1.0; }
    void setRate(double) {}
    bool shuffle() const { return false; }
    void setShuffle(bool) {}
    QVariantMap metadata() const;
    double volume() const;
    void setVolume(double volume);
    qlonglong position() const; // microseconds
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canPlay() const;
    bool canPause() const;
    bool canSeek() const;
    bool canControl() const { return true; }

    void Raise();
    void Quit() {} // CanQuit is false
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    // offset in microseconds from the position; past the end goes to the next entry.
    void Seek(qlonglong offset);
    // To position (microseconds) when trackId is the current entry's and the position lies
    // within it; otherwise nothing.
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position);
    void OpenUri(const QString&) {} // no URI schemes are offered

signals:
    void Seeked(qlonglong position);

private:
    playback::PlaybackEngine& engine() const { return player_.engine(); }
    void sendChanges();

    playback::ApplicationPlayer& player_;
    std::function<void()> raise_;
    QDBusConnection bus_;
    bool published_ = false;
    QVariantMap sent_; // the properties the bus was last told about
};

} // namespace desktop
