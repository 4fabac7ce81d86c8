#include "app/application.h"

#include "gui/exception_handler.h"

#include <QByteArray>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>
#include <stdexcept>
#include <unistd.h>

namespace app {

CorvaleApplication::CorvaleApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool CorvaleApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (!ui::handleException(receiver, e))
            qWarning("unhandled exception: %s", e.what());
    } catch (...) {
        const std::runtime_error unknown("Unknown exception");
        if (!ui::handleException(receiver, unknown))
            qWarning("unhandled exception of unknown type");
    }
    return false;
}

bool loadQtTranslations(QCoreApplication& application)
{
    auto* translator = new QTranslator(&application);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void bringToFront(QWidget& window)
{
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
}

void prepareBrowserEnvironment()
{
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    flags += " --disable-background-networking --disable-component-update --no-first-run"
             " --disable-sync --autoplay-policy=no-user-gesture-required";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

} // namespace app
