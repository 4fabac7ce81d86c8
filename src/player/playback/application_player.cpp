#include "player/playback/application_player.h"

#include <QCoreApplication>
#include <QPointer>

namespace playback {
namespace {

QPointer<ApplicationPlayer>& theInstance()
{
    static QPointer<ApplicationPlayer> player;
    return player;
}

// Runs while the application object is being destroyed, before its platform parts (the sound
// device among them) are gone.
void destroyInstance()
{
    delete theInstance().data();
}

} // namespace

ApplicationPlayer::ApplicationPlayer(EngineOptions options, QObject* parent)
    : QObject(parent), engine_(options)
{
}

ApplicationPlayer& ApplicationPlayer::instance()
{
    QPointer<ApplicationPlayer>& player = theInstance();
    if (!player) {
        player = new ApplicationPlayer();
        qAddPostRoutine(destroyInstance);
    }
    return *player;
}

QString ApplicationPlayer::nameOf(const PlaybackEngine::Entry& entry) const
{
    if (!entry.title.trimmed().isEmpty() || !nameLookup_)
        return entry.title.trimmed();
    return nameLookup_(entry.address);
}

void ApplicationPlayer::take(ViewId view, std::vector<PlaybackEngine::Entry> entries)
{
    if (view == holder_)
        return;
    const ViewId previous = std::exchange(holder_, view);
    engine_.setEntries(std::move(entries));
    emit holderChanged(previous, holder_);
}

void ApplicationPlayer::release(ViewId view)
{
    if (view != holder_ || view == kNoView)
        return;
    holder_ = kNoView;
    engine_.setEntries({});
    emit holderChanged(view, kNoView);
}

} // namespace playback
