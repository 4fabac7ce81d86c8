// Download reports reach a notification service on a private bus: one when a file finishes,
// one with the reason when it fails, none while the window is active and in front.
#include "desktop/notifier.h"
#include "private_bus.h"

#include <QDBusConnection>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// A desktop's notification service, as small as the test needs: it keeps what it was sent.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Note {
        QString app, icon, summary, body;
        QVariantMap hints;
    };
    QList<Note> notes;
public slots:
    Q_SCRIPTABLE uint Notify(const QString& app, uint, const QString& icon, const QString& summary,
                             const QString& body, const QStringList&, const QVariantMap& hints, int)
    {
        notes << Note{app, icon, summary, body, hints};
        return static_cast<uint>(notes.size());
    }
};

TEST(Notifications, FinishedAndFailedDownloadsAreToldOnceEachButNotToAWindowInFront)
{
    desktoptest::PrivateBus bus;
    ASSERT_TRUE(bus.running());
    QDBusConnection desktopSide = bus.connect("desktop");
    FakeNotifications service;
    ASSERT_TRUE(desktopSide.registerObject("/org/freedesktop/Notifications", &service,
                                           QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(desktopSide.registerService("org.freedesktop.Notifications"));
    desktop::Notifier::instance().setBus(bus.connect("program"));

    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // The window is in front: the download panel tells the user already.
    desktop::tellDownloadEnded(&window, nullptr, "歌手 - 在前面", true, {});
    window.hide();
    desktop::tellDownloadEnded(&window, nullptr, "歌手 - 第一首", true, {});
    desktop::tellDownloadEnded(nullptr, nullptr, "歌手 - 第二首", false, "连接超时");
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.notes.size() >= 2; }, 10000));
    ASSERT_EQ(service.notes.size(), 2); // the first sent is the first seen on one connection
    EXPECT_EQ(service.notes[0].summary, "下载完成");
    EXPECT_EQ(service.notes[0].body, "歌手 - 第一首");
    EXPECT_EQ(service.notes[1].summary, "下载失败");
    EXPECT_EQ(service.notes[1].body, "歌手 - 第二首：连接超时");
    EXPECT_EQ(service.notes[1].hints.value("desktop-entry"), QGuiApplication::desktopFileName());

    desktop::Notifier::instance().setBus(QDBusConnection::sessionBus());
}

} // namespace

#include "notifier_test.moc"
