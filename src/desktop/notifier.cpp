#include "desktop/notifier.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QStringList>
#include <QVariantMap>
#include <QWindow>

namespace desktop {
namespace {
const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kActionKey = "corvale-action";
constexpr std::size_t kKeptActions = 64;
} // namespace

Notifier::Notifier() : bus_(QDBusConnection::sessionBus())
{
    setBus(bus_);
}

void Notifier::setBus(const QDBusConnection& bus)
{
    const QString service = QString::fromLatin1(kService);
    if (bus_.isConnected())
        bus_.disconnect(service, kPath, service, "ActionInvoked", this,
                        SLOT(actionInvoked(uint, QString)));
    bus_ = bus;
    actions_.clear();
    if (bus_.isConnected())
        bus_.connect(service, kPath, service, "ActionInvoked", this,
                     SLOT(actionInvoked(uint, QString)));
}

void Notifier::actionInvoked(uint id, const QString& key)
{
    const auto it = actions_.find(id);
    if (it == actions_.end() || key != QLatin1String(kActionKey))
        return;
    const std::function<void()> action = it->second;
    actions_.erase(it);
    if (action)
        action();
}

Notifier& Notifier::instance()
{
    static Notifier notifier;
    return notifier;
}

void Notifier::notify(const QString& summary, const QString& body, const Fallback& fallback,
                      const QString& actionText, std::function<void()> onAction)
{
    const QString service = QString::fromLatin1(kService);
    if (bus_.isConnected() && bus_.interface() &&
        bus_.interface()->isServiceRegistered(service).value()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            service, QStringLiteral("/org/freedesktop/Notifications"), service,
            QStringLiteral("Notify"));
        const QVariantMap hints{
            {QStringLiteral("desktop-entry"), QGuiApplication::desktopFileName()}};
        const bool withAction = !actionText.isEmpty() && onAction;
        const QStringList actions =
            withAction ? QStringList{QString::fromLatin1(kActionKey), actionText} : QStringList();
        call << QGuiApplication::applicationDisplayName() << 0U
             << QGuiApplication::desktopFileName() << summary << body << actions << hints << -1;
        const QDBusPendingCall pending = bus_.asyncCall(call);
        if (!withAction)
            return; // the answer (the notification's id) is not needed
        auto* watcher = new QDBusPendingCallWatcher(pending, this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, onAction = std::move(onAction)](QDBusPendingCallWatcher* w) {
                    const QDBusPendingReply<uint> reply = *w;
                    if (reply.isValid()) {
                        if (actions_.size() >= kKeptActions)
                            actions_.erase(actions_.begin());
                        actions_[reply.value()] = onAction;
                    }
                    w->deleteLater();
                });
        return;
    }
    if (fallback)
        fallback(summary, body, std::move(onAction));
}

void tellDownloadEnded(const QWindow* window, const QString& song, bool complete,
                       const QString& reason, std::function<void()> openFolder,
                       const Notifier::Fallback& fallback)
{
    if (window && window->isActive() && window->visibility() != QWindow::Minimized &&
        window->isVisible())
        return;
    if (complete)
        Notifier::instance().notify(QStringLiteral("下载完成"), song, fallback,
                                    QStringLiteral("打开文件夹"), std::move(openFolder));
    else
        Notifier::instance().notify(QStringLiteral("下载失败"),
                                    reason.isEmpty() ? song : song + QStringLiteral("：") + reason,
                                    fallback);
}

} // namespace desktop
