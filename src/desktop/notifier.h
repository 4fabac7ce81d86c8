#pragma once
// Desktop notifications: a message through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), or the tray icon's message where no such
// service runs.
#include <QDBusConnection>
#include <QString>

#include <functional>

class QSystemTrayIcon;
class QWidget;

namespace desktop {

class Notifier {
public:
    // The program's notifier, on the session bus.
    static Notifier& instance();

    // Tests point it at a bus of their own.
    void setBus(const QDBusConnection& bus) { bus_ = bus; }
    // Sends summary and body; the tray shows them when the bus has no notification service.
    void notify(const QString& summary, const QString& body, QSystemTrayIcon* tray = nullptr);

private:
    Notifier();
    QDBusConnection bus_;
};

// Tells the user that a download ended (finished, or failed for reason), unless the window is
// active and in front: then the download panel says it already.
void tellDownloadEnded(const QWidget* window, QSystemTrayIcon* tray, const QString& song,
                       bool complete, const QString& reason);

} // namespace desktop
