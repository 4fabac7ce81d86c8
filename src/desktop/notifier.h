#pragma once
// Desktop notifications: a message through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), or through the caller's fallback (the
// window's tray icon) where no such service runs. A message may carry one action (a button of
// the notification; a click on the fallback's message).
#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <map>

class QWindow;

namespace desktop {

class Notifier : public QObject {
    Q_OBJECT
public:
    // The program's notifier, on the session bus.
    static Notifier& instance();

    // Tests point it at a bus of their own.
    void setBus(const QDBusConnection& bus);
    // Shows summary and body where the desktop has no notification service; a click on the
    // message calls onAction.
    using Fallback = std::function<void(const QString& summary, const QString& body,
                                        std::function<void()> onAction)>;

    // Sends summary and body; the fallback shows them when the bus has no notification service.
    // With an action text, the notification offers that action, and choosing it calls onAction.
    void notify(const QString& summary, const QString& body, const Fallback& fallback = {},
                const QString& actionText = {}, std::function<void()> onAction = {});

private slots:
    void actionInvoked(uint id, const QString& key);

private:
    Notifier();
    QDBusConnection bus_;
    std::map<uint, std::function<void()>> actions_; // by notification id, the latest kept
};

// Tells the user that a download ended (finished, or failed for reason), unless the window is
// active and in front: then the download panel says it already. A finished file's message
// offers "打开文件夹", which calls openFolder.
void tellDownloadEnded(const QWindow* window, const QString& song, bool complete,
                       const QString& reason, std::function<void()> openFolder = {},
                       const Notifier::Fallback& fallback = {});

} // namespace desktop
