#include "browser/player_bridge.h"

#include <algorithm>
#include <cmath>

namespace browser {
namespace {

QString stateName(playback::PlaybackEngine::State state)
{
    using State = playback::PlaybackEngine::State;
    switch (state) {
    case State::Idle:
        return QStringLiteral("idle");
    case State::Connecting:
        return QStringLiteral("connecting");
    case State::Playing:
        return QStringLiteral("playing");
    case State::Paused:
        return QStringLiteral("paused");
    case State::Stopped:
        return QStringLiteral("stopped");
    case State::Ended:
        return QStringLiteral("ended");
    }
    return {};
}

} // namespace

void PlayerBridge::attach(const QString& name, playback::PlaybackEngine* engine,
                          const QString& sourceError)
{
    players_.insert(name, {engine, sourceError, {}});
    connect(engine, &playback::PlaybackEngine::changed, this, [this, name] {
        const auto it = players_.find(name);
        if (it == players_.end())
            return;
        QVariantMap now = view(name);
        if (now != it->last) { // the engine reports more often than the view changes
            it->last = now;
            emit changed(name, now);
        }
    });
}

void PlayerBridge::detachAll()
{
    for (const Player& p : std::as_const(players_))
        if (p.engine)
            p.engine->disconnect(this);
    players_.clear();
}

void PlayerBridge::control(const QString& name, const QString& action)
{
    const auto it = players_.constFind(name);
    if (it == players_.constEnd() || !it->engine)
        return;
    playback::PlaybackEngine* engine = it->engine;
    if (action == QLatin1String("play"))
        engine->play();
    else if (action == QLatin1String("pause"))
        engine->pause();
    else if (action == QLatin1String("stop"))
        engine->stop();
    else if (action == QLatin1String("next"))
        engine->next();
}

QVariantMap PlayerBridge::view(const QString& name) const
{
    const auto it = players_.constFind(name);
    if (it == players_.constEnd() || !it->engine)
        return {};
    const playback::PlaybackEngine* engine = it->engine;
    const auto& entries = engine->entries();
    const int index = engine->index();
    const int count = static_cast<int>(entries.size());
    // Before the first play the first entry is shown; after the last, the last.
    const int shown = count == 0 ? -1 : std::clamp(index, 0, count - 1);
    QVariantMap v;
    v["state"] = entries.empty() ? QStringLiteral("empty") : stateName(engine->state());
    v["index"] = index;
    v["count"] = count;
    v["title"] = shown >= 0 ? entries[static_cast<size_t>(shown)].title : QString();
    v["address"] = shown >= 0 ? entries[static_cast<size_t>(shown)].address : QString();
    v["number"] = shown + 1;
    v["time"] = std::floor(engine->position());
    v["duration"] = std::floor(engine->duration());
    v["status"] =
        entries.empty() && !it->sourceError.isEmpty() ? it->sourceError : engine->statusText();
    v["notice"] = engine->notice();
    return v;
}

} // namespace browser
