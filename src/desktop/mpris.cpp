#include "desktop/mpris.h"

#include "desktop/mpris_adaptors.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include <cmath>

namespace desktop {

QVariantMap trackMetadata(const playback::PlaybackEngine::Entry& entry, int index,
                          double durationSeconds)
{
    QVariantMap m;
    m["mpris:trackid"] = QVariant::fromValue(
        QDBusObjectPath(QStringLiteral("/io/github/corvale/track/%1").arg(index)));
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
    const auto* adaptor = findChild<MprisPlayerAdaptor*>();
    QVariantMap p;
    p["PlaybackStatus"] = adaptor->playbackStatus();
    p["Metadata"] = adaptor->metadata();
    p["CanGoNext"] = adaptor->canGoNext();
    p["CanGoPrevious"] = adaptor->canGoPrevious();
    p["CanPlay"] = adaptor->canPlay();
    p["CanPause"] = adaptor->canPause();
    return p;
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
