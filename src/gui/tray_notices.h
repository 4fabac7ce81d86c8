#pragma once
// The tray icon's message as the way notifications reach the user where the desktop runs no
// notification service: a click on the message calls its action.
#include "desktop/notifier.h"

class QSystemTrayIcon;

namespace gui {

// Shows messages on tray (nothing while it is gone or there is no system tray).
desktop::Notifier::Fallback trayFallback(QSystemTrayIcon* tray);

} // namespace gui
