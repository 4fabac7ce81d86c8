#include "desktop/mpris.h"

#include "mpris_player_adaptor.h"
#include "mpris_root_adaptor.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace desktop {

QVariantMap trackMetadata(const playback::PlaybackEngine::Entry& entry, int index,
                          double durationSeconds)
{
    QVariantMap m;
    m["mpris:trackid"] = QVariant::fromValue(trackId(index));
    QString title = entry.title.trimmed();
    if (title.isEmpty())
        title = QFileInfo(QUrl(entry.address).path()).completeBaseName();
    const qsizetype dash = title.indexOf(QStringLiteral(" - "));
    if (dash > 0) {
        m["xesam:artist"] = QStringList{title.left(dash).trimmed()};
        title = title.mid(dash + 3).trimmed();
    }
    m["xesam:title"] = title;
    m["xesam:url"] = entry.address;
    if (durationSeconds > 0)
        m["mpris:length"] = static_cast<qlonglong>(std::llround(durationSeconds * 1e6));
    return m;
}

QDBusObjectPath trackId(int index)
{
    return QDBusObjectPath(QStringLiteral("/io/github/corvale/track/%1").arg(index));
}

QString playbackStatus(playback::PlaybackEngine::State state)
{
    using State = playback::PlaybackEngine::State;
    switch (state) {
    case State::Connecting:
    case State::Playing:
        return QStringLiteral("Playing");
    case State::Paused:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

MprisService::MprisService(playback::ApplicationPlayer& player, std::function<void()> raise,
                           QObject* parent)
    : QObject(parent), player_(player), raise_(std::move(raise)),
      bus_(QStringLiteral("corvale-no-bus"))
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    connect(&player.engine(), &playback::PlaybackEngine::changed, this, &MprisService::sendChanges);
    connect(&player.engine(), &playback::PlaybackEngine::seeked, this, [this](double seconds) {
        sendChanges(); // the position's other properties first, then the jump itself
        emit Seeked(std::llround(seconds * 1e6));
    });
    connect(&player, &playback::ApplicationPlayer::holderChanged, this, &MprisService::sendChanges);
}

MprisService::~MprisService()
{
    if (published_) {
        bus_.unregisterService(QString::fromLatin1(kMprisService));
        bus_.unregisterObject(QString::fromLatin1(kMprisPath));
    }
}

bool MprisService::publish(const QDBusConnection& bus)
{
    if (published_ || !bus.isConnected())
        return published_;
    bus_ = bus;
    if (!bus_.registerObject(QString::fromLatin1(kMprisPath), this,
                             QDBusConnection::ExportAdaptors))
        return false;
    if (!bus_.registerService(QString::fromLatin1(kMprisService))) {
        bus_.unregisterObject(QString::fromLatin1(kMprisPath));
        return false;
    }
    published_ = true;
    sent_ = playerProperties();
    return true;
}

QVariantMap MprisService::playerProperties() const
{
    QVariantMap p;
    p["PlaybackStatus"] = playbackStatus();
    p["Metadata"] = metadata();
    p["Volume"] = volume();
    p["CanGoNext"] = canGoNext();
    p["CanGoPrevious"] = canGoPrevious();
    p["CanPlay"] = canPlay();
    p["CanPause"] = canPause();
    p["CanSeek"] = canSeek();
    return p;
}

QString MprisService::identity() const
{
    return QStringLiteral("Corvale");
}

QString MprisService::desktopEntry() const
{
    return QGuiApplication::desktopFileName();
}

QString MprisService::playbackStatus() const
{
    return desktop::playbackStatus(engine().state());
}

QVariantMap MprisService::metadata() const
{
    const auto& entries = engine().entries();
    const int index = engine().index();
    if (index < 0 || index >= static_cast<int>(entries.size()))
        return {};
    playback::PlaybackEngine::Entry entry = entries[static_cast<size_t>(index)];
    entry.title = player_.nameOf(entry);
    return trackMetadata(entry, index, engine().duration());
}

double MprisService::volume() const
{
    return engine().volume();
}

void MprisService::setVolume(double volume)
{
    engine().setVolume(volume);
}

qlonglong MprisService::position() const
{
    return static_cast<qlonglong>(std::llround(engine().position() * 1e6));
}

bool MprisService::canGoNext() const
{
    return engine().index() + 1 < static_cast<int>(engine().entries().size());
}

bool MprisService::canGoPrevious() const
{
    const int count = static_cast<int>(engine().entries().size());
    return std::min(engine().index(), count) > 0;
}

bool MprisService::canPlay() const
{
    return !engine().entries().empty();
}

bool MprisService::canPause() const
{
    return canPlay();
}

bool MprisService::canSeek() const
{
    return engine().canSeek();
}

void MprisService::Raise()
{
    if (raise_)
        raise_();
}

void MprisService::Next()
{
    if (canGoNext())
        engine().next();
}

void MprisService::Previous()
{
    engine().previous();
}

void MprisService::Pause()
{
    engine().pause();
}

void MprisService::PlayPause()
{
    using State = playback::PlaybackEngine::State;
    if (engine().state() == State::Playing || engine().state() == State::Connecting)
        engine().pause();
    else
        Play();
}

void MprisService::Stop()
{
    engine().stop();
}

void MprisService::Play()
{
    if (canPlay())
        engine().play();
}

void MprisService::Seek(qlonglong offset)
{
    if (!canSeek())
        return;
    const double to = engine().position() + static_cast<double>(offset) / 1e6;
    if (to >= engine().duration())
        Next();
    else
        engine().seek(std::max(0.0, to));
}

void MprisService::SetPosition(const QDBusObjectPath& track, qlonglong position)
{
    const double to = static_cast<double>(position) / 1e6;
    if (!canSeek() || track != trackId(engine().index()) || to < 0 || to > engine().duration())
        return;
    engine().seek(to);
}

void MprisService::sendChanges()
{
    if (!published_)
        return;
    const QVariantMap now = playerProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (sent_.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    sent_ = now;
    if (changed.isEmpty())
        return; // the position moves on its own; desktops ask for it
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kMprisPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    bus_.send(signal);
}

} // namespace desktop
