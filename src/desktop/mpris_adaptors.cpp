#include "desktop/mpris_adaptors.h"

#include <QGuiApplication>

#include <algorithm>
#include <cmath>

namespace desktop {

using State = playback::PlaybackEngine::State;

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service)
{
}

QString MprisRootAdaptor::identity() const
{
    return QStringLiteral("Corvale");
}

QString MprisRootAdaptor::desktopEntry() const
{
    return QGuiApplication::desktopFileName();
}

void MprisRootAdaptor::Raise()
{
    service_->raiseWindow();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service)
{
    setAutoRelaySignals(false);
}

QString MprisPlayerAdaptor::playbackStatus() const
{
    return desktop::playbackStatus(engine().state());
}

QVariantMap MprisPlayerAdaptor::metadata() const
{
    const auto& entries = engine().entries();
    const int index = engine().index();
    if (index < 0 || index >= static_cast<int>(entries.size()))
        return {};
    playback::PlaybackEngine::Entry entry = entries[static_cast<size_t>(index)];
    entry.title = service_->player().nameOf(entry);
    return trackMetadata(entry, index, engine().duration());
}

qlonglong MprisPlayerAdaptor::position() const
{
    return static_cast<qlonglong>(std::llround(engine().position() * 1e6));
}

bool MprisPlayerAdaptor::canGoNext() const
{
    return engine().index() + 1 < static_cast<int>(engine().entries().size());
}

bool MprisPlayerAdaptor::canGoPrevious() const
{
    const int count = static_cast<int>(engine().entries().size());
    return std::min(engine().index(), count) > 0;
}

bool MprisPlayerAdaptor::canPlay() const
{
    return !engine().entries().empty();
}

bool MprisPlayerAdaptor::canPause() const
{
    return canPlay();
}

void MprisPlayerAdaptor::Next()
{
    if (canGoNext())
        engine().next();
}

void MprisPlayerAdaptor::Previous()
{
    engine().previous();
}

void MprisPlayerAdaptor::Pause()
{
    engine().pause();
}

void MprisPlayerAdaptor::PlayPause()
{
    if (engine().state() == State::Playing || engine().state() == State::Connecting)
        engine().pause();
    else
        Play();
}

void MprisPlayerAdaptor::Stop()
{
    engine().stop();
}

void MprisPlayerAdaptor::Play()
{
    if (canPlay())
        engine().play();
}

} // namespace desktop
