#pragma once
// What the players in a page see of their playback engines, over the web channel into the
// page's isolated world. One bridge serves every player of the page (it is published once, before
// any document connects): the buttons call control() with the player's name, and every change of
// a player's view (state, entry, time, status line) is sent as changed(name, view).
#include "player/playback/playback_engine.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

namespace browser {

class PlayerBridge : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Publishes an engine under a name. sourceError: why the player's source gave no entries,
    // shown while its list is empty.
    void attach(const QString& name, playback::PlaybackEngine* engine, const QString& sourceError);
    void detachAll();

    // action: play, pause, stop or next.
    Q_INVOKABLE void control(const QString& name, const QString& action);
    // state (idle, connecting, playing, paused, stopped, ended, empty), index, count, title,
    // address, time and duration in whole seconds, status, notice.
    Q_INVOKABLE QVariantMap view(const QString& name) const;

signals:
    void changed(const QString& name, const QVariantMap& view);

private:
    struct Player {
        QPointer<playback::PlaybackEngine> engine;
        QString sourceError;
        QVariantMap last;
    };
    QHash<QString, Player> players_;
};

} // namespace browser
