#include "player/playback/application_player.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>

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
    if (QString title = entry.title.trimmed(); !title.isEmpty())
        return title;
    if (nameLookup_)
        if (QString name = nameLookup_(entry.address).trimmed(); !name.isEmpty())
            return name;
    const QUrl url(entry.address);
    const QString path = url.isValid() ? url.path(QUrl::FullyDecoded) : entry.address;
    return QFileInfo(path).completeBaseName();
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
