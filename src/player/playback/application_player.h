#pragma once
// The program's one player. Every player shown in a page (the play panel, a card preview) is a
// view of it: a view holds a list of entries, and pressing play (or next) in a view hands that
// list to the one engine, which stops whatever another view was playing. Outside the pages the
// desktop (media keys, the sound menu) asks the same player what plays and tells it to pause.
#include "player/playback/playback_engine.h"

#include <QObject>

#include <functional>

namespace playback {

class ApplicationPlayer : public QObject {
    Q_OBJECT
public:
    using ViewId = quint64;
    static constexpr ViewId kNoView = 0;

    explicit ApplicationPlayer(EngineOptions options = {}, QObject* parent = nullptr);

    // The program's player, made on first use; it goes before the application object does.
    static ApplicationPlayer& instance();

    PlaybackEngine& engine() { return engine_; }
    const PlaybackEngine& engine() const { return engine_; }

    // The name an entry goes by: its list's title for it, else what the lookup knows of its
    // address (the window's play list names its rows), else the file name decoded from the
    // address, without its extension.
    using NameLookup = std::function<QString(const QString& address)>;
    void setNameLookup(NameLookup lookup) { nameLookup_ = std::move(lookup); }
    QString nameOf(const PlaybackEngine::Entry& entry) const;

    // A number for a new view, never handed out before.
    ViewId newView() { return ++lastView_; }
    ViewId holder() const { return holder_; }
    // The view's list goes to the engine (stopping what plays) unless the view holds it already.
    void take(ViewId view, std::vector<PlaybackEngine::Entry> entries);
    // The view goes away: what it plays stops and the player holds no view.
    void release(ViewId view);

signals:
    void holderChanged(ViewId previous, ViewId now);

private:
    PlaybackEngine engine_;
    ViewId holder_ = kNoView;
    ViewId lastView_ = kNoView;
    NameLookup nameLookup_;
};

} // namespace playback
