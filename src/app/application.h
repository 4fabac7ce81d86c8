#pragma once
#include <QApplication>

namespace app {

// Hands exceptions that escape an event handler to the window's handler (gui/exception_handler.h).
class CorvaleApplication : public QApplication {
    Q_OBJECT
public:
    CorvaleApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Loads Qt's own texts (dialog buttons, the file dialog) in the window's language, Simplified
// Chinese, from the system's Qt translations; false when they are not installed.
bool loadQtTranslations(QCoreApplication& application);

// Shows the window restored and in front, with the keyboard focus.
void bringToFront(QWidget& window);

// Chromium refuses to run as root with its sandbox; call before the application object exists.
void prepareBrowserEnvironment();

} // namespace app
