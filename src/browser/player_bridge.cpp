#include "browser/player_bridge.h"

#include <algorithm>
#include <cmath>

namespace browser {
namespace {

using State = playback::PlaybackEngine::State;

QString stateName(State state)
{
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

PlayerBridge::PlayerBridge(playback::ApplicationPlayer& player, QObject* parent)
    : QObject(parent), player_(player)
{
    connect(&player.engine(), &playback::PlaybackEngine::changed, this, [this] {
        for (auto it = players_.cbegin(); it != players_.cend(); ++it)
            if (holds(*it)) {
                sendIfChanged(it.key());
                return;
            }
    });
    connect(
        &player, &playback::ApplicationPlayer::holderChanged, this,
        [this](playback::ApplicationPlayer::ViewId before, playback::ApplicationPlayer::ViewId) {
            for (auto it = players_.begin(); it != players_.end(); ++it) {
                if (it->id == before)
                    it->played = true;
                sendIfChanged(it.key());
            }
        });
}

PlayerBridge::~PlayerBridge()
{
    detachAll();
}

void PlayerBridge::attach(const QString& name, std::vector<playback::PlaybackEngine::Entry> entries,
                          const QString& sourceError)
{
    players_.insert(name, {player_.newView(), std::move(entries), sourceError, false, {}});
}

void PlayerBridge::detachAll()
{
    const QHash<QString, Player> players = std::exchange(players_, {});
    for (const Player& p : players)
        player_.release(p.id);
}

void PlayerBridge::control(const QString& name, const QString& action)
{
    const auto it = players_.constFind(name);
    if (it == players_.constEnd())
        return;
    const bool starts = action == QLatin1String("play") || action == QLatin1String("next");
    if (!holds(*it)) {
        if (!starts)
            return; // a list standing still has nothing to pause or stop
        player_.take(it->id, it->entries);
    }
    playback::PlaybackEngine& engine = player_.engine();
    if (action == QLatin1String("play"))
        engine.play();
    else if (action == QLatin1String("pause"))
        engine.pause();
    else if (action == QLatin1String("stop"))
        engine.stop();
    else if (action == QLatin1String("next"))
        engine.next();
    else if (action == QLatin1String("previous"))
        engine.previous();
}

void PlayerBridge::seek(const QString& name, double seconds)
{
    const auto it = players_.constFind(name);
    if (it != players_.constEnd() && holds(*it))
        player_.engine().seek(seconds);
}

void PlayerBridge::setVolume(const QString& name, double volume)
{
    if (players_.contains(name))
        player_.engine().setVolume(volume);
}

QVariantMap PlayerBridge::view(const QString& name) const
{
    const auto it = players_.constFind(name);
    if (it == players_.constEnd())
        return {};
    const bool held = holds(*it);
    const playback::PlaybackEngine& engine = player_.engine();
    const auto& entries = held ? engine.entries() : it->entries;
    const int count = static_cast<int>(entries.size());
    const State state = held ? engine.state() : it->played ? State::Stopped : State::Idle;
    const int index = held ? engine.index() : -1;
    // Before the first play the first entry is shown; after the last, the last.
    const int shown = count == 0 ? -1 : std::clamp(index, 0, count - 1);
    QVariantMap v;
    v["state"] = entries.empty() ? QStringLiteral("empty") : stateName(state);
    v["index"] = index;
    v["count"] = count;
    v["title"] = shown >= 0 ? player_.nameOf(entries[static_cast<size_t>(shown)]) : QString();
    v["address"] = shown >= 0 ? entries[static_cast<size_t>(shown)].address : QString();
    v["number"] = shown + 1;
    v["time"] = held ? std::floor(engine.position()) : 0.0;
    v["duration"] = held ? std::floor(engine.duration()) : 0.0;
    v["canSeek"] = held && engine.canSeek();
    v["volume"] = static_cast<int>(std::lround(engine.volume() * 100));
    v["status"] = entries.empty() && !it->sourceError.isEmpty()
                      ? it->sourceError
                      : playback::PlaybackEngine::statusTextFor(state, entries.empty(),
                                                                engine.silentOutput());
    v["notice"] = held ? engine.notice() : QString();
    return v;
}

void PlayerBridge::sendIfChanged(const QString& name)
{
    const auto it = players_.find(name);
    if (it == players_.end())
        return;
    QVariantMap now = view(name);
    if (now != it->last) { // the engine reports more often than the view changes
        it->last = now;
        emit changed(name, now);
    }
}

} // namespace browser
