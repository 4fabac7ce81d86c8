#pragma once
// The playback engine behind every player in the shown pages: a list of addresses played in
// order, with play, pause, stop, previous, next, seek and volume. Each entry is decoded on a thread
// of its own (DecodeSession); the samples go to the sound device, or to a silent output that keeps
// playback speed when there is none. Entries that cannot be played are told and passed over;
// .ram entries are opened in place. Everything here runs on the thread that owns the engine
// (the window thread); the decoding threads only post back to it.
#include "player/playback/audio_output.h"
#include "player/playback/byte_source.h"
#include "player/playback/decode_session.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

namespace playback {

struct EngineOptions {
    bool forceSilent = false; // the silent output even when a sound device exists
    SourceOptions source;
    int tickMs = 50;
};

class PlaybackEngine : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Connecting, Playing, Paused, Stopped, Ended };
    Q_ENUM(State)

    struct Entry {
        QString address;
        QString title;
        QString failure; // set once the entry could not be played (the user's text)
    };

    explicit PlaybackEngine(EngineOptions options = {}, QObject* parent = nullptr);
    ~PlaybackEngine() override;

    // Replaces the list and stops whatever plays.
    void setEntries(std::vector<Entry> entries);

    void play();     // resumes a pause, starts the current entry again after a stop, else the first
    void pause();    // holds the position
    void stop();     // back to the entry's start
    void next();     // the following entry; past the last the list has ended
    void previous(); // the entry before the current one, from its start; none before the first
    // Moves the current entry to seconds (clamped to its length) and plays on from there (or
    // stays paused there); false when the entry cannot be moved (see canSeek).
    bool seek(double seconds);
    // 0 to 1; kept for every entry that follows.
    void setVolume(double volume);
    double volume() const { return volume_; }

    State state() const { return state_; }
    int index() const { return index_; } // the current entry, -1 before the first play
    const std::vector<Entry>& entries() const { return entries_; }
    double position() const;                      // seconds played of the current entry
    double duration() const { return duration_; } // of the current entry, 0 when unknown
    // The current entry is open, its length is known and its source reads from anywhere (an
    // HTTP server that ignores ranges cannot).
    bool canSeek() const { return session_ && seekable_ && duration_ > 0; }
    bool silentOutput() const { return output_->silent(); }
    QString statusText() const; // the player's status line
    // The status line of a player in this state that is not playing anything.
    static QString statusTextFor(State state, bool emptyList, bool silent);
    QString notice() const { return notice_; } // the last entry that could not be played, and why

signals:
    void changed(); // state, entry, status or the whole seconds of the position changed
    void audioStarted(int index); // the first samples of an entry went out
    void entryFailed(int index, const QString& address, const QString& reason);
    void seeked(double seconds); // the position moved to seconds other than by playing on

private:
    void startEntry(int index, double fromSeconds = 0);
    void retireSession();
    void failEntry(int index, const QString& userText, const QString& logText);
    void onOpened(quint64 generation, double duration, bool seekable);
    void onFailed(quint64 generation, const QString& userText, const QString& logText);
    void onListOpened(quint64 generation, const std::vector<player::RamItem>& items);
    void tick();
    void setState(State state);

    EngineOptions options_;
    std::unique_ptr<AudioOutput> output_;
    std::vector<Entry> entries_;
    std::unique_ptr<DecodeSession> session_;
    std::vector<std::unique_ptr<DecodeSession>> retiring_; // aborted, still ending
    QTimer ticker_;
    quint64 generation_ = 0; // counts started entries; late reports of older ones are dropped
    State state_ = State::Idle;
    int index_ = -1;
    double duration_ = 0;
    bool opened_ = false;
    bool seekable_ = false;
    double startSeconds_ = 0; // where the current session began in the entry
    double volume_ = 1.0;
    bool audioStartedSent_ = false;
    qint64 lastWholeSecond_ = -1;
    QString notice_;
};

} // namespace playback
