#include "gui/tray_notices.h"

#include <QPointer>
#include <QSystemTrayIcon>

#include <utility>

namespace gui {
namespace {

const char* const kMessagesName = "corvale-tray-messages";

// The action of the tray's latest message; one per tray, which owns it.
class TrayMessages : public QObject {
public:
    explicit TrayMessages(QSystemTrayIcon* tray) : QObject(tray)
    {
        setObjectName(kMessagesName);
        connect(tray, &QSystemTrayIcon::messageClicked, this, [this] {
            if (action)
                action();
        });
    }
    std::function<void()> action;
};

} // namespace

desktop::Notifier::Fallback trayFallback(QSystemTrayIcon* tray)
{
    return [tray = QPointer<QSystemTrayIcon>(tray)](const QString& summary, const QString& body,
                                                    std::function<void()> onAction) {
        if (!tray || !QSystemTrayIcon::isSystemTrayAvailable())
            return;
        auto* messages = static_cast<TrayMessages*>(
            tray->findChild<QObject*>(kMessagesName, Qt::FindDirectChildrenOnly));
        if (!messages)
            messages = new TrayMessages(tray);
        messages->action = std::move(onAction);
        tray->showMessage(summary, body, QSystemTrayIcon::Information);
    };
}

} // namespace gui
