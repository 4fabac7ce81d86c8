#include "desktop/notifier.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QVariantMap>
#include <QWidget>

namespace desktop {
namespace {
const char* const kService = "org.freedesktop.Notifications";
}

Notifier::Notifier() : bus_(QDBusConnection::sessionBus()) {}

Notifier& Notifier::instance()
{
    static Notifier notifier;
    return notifier;
}

void Notifier::notify(const QString& summary, const QString& body, QSystemTrayIcon* tray)
{
    const QString service = QString::fromLatin1(kService);
    if (bus_.isConnected() && bus_.interface() &&
        bus_.interface()->isServiceRegistered(service).value()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            service, QStringLiteral("/org/freedesktop/Notifications"), service,
            QStringLiteral("Notify"));
        const QVariantMap hints{
            {QStringLiteral("desktop-entry"), QGuiApplication::desktopFileName()}};
        call << QGuiApplication::applicationDisplayName() << 0U
             << QGuiApplication::desktopFileName() << summary << body << QStringList() << hints
             << -1;
        bus_.asyncCall(call); // the answer (the notification's id) is not needed
        return;
    }
    if (tray && QSystemTrayIcon::isSystemTrayAvailable())
        tray->showMessage(summary, body, QSystemTrayIcon::Information);
}

void tellDownloadEnded(const QWidget* window, QSystemTrayIcon* tray, const QString& song,
                       bool complete, const QString& reason)
{
    if (window && window->isActiveWindow() && !window->isMinimized() && window->isVisible())
        return;
    if (complete)
        Notifier::instance().notify(QStringLiteral("下载完成"), song, tray);
    else
        Notifier::instance().notify(QStringLiteral("下载失败"),
                                    reason.isEmpty() ? song : song + QStringLiteral("：") + reason,
                                    tray);
}

} // namespace desktop
