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
        QStringList actions;
        QVariantMap hints;
    };
    QList<Note> notes;
signals:
    Q_SCRIPTABLE void ActionInvoked(uint id, const QString& key);
public slots:
    Q_SCRIPTABLE uint Notify(const QString& app, uint, const QString& icon, const QString& summary,
                             const QString& body, const QStringList& actions,
                             const QVariantMap& hints, int)
    {
        notes << Note{app, icon, summary, body, actions, hints};
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
                                           QDBusConnection::ExportScriptableSlots |
                                               QDBusConnection::ExportScriptableSignals));
    ASSERT_TRUE(desktopSide.registerService("org.freedesktop.Notifications"));
    desktop::Notifier::instance().setBus(bus.connect("program"));

    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // The window is in front: the download panel tells the user already.
    desktop::tellDownloadEnded(window.windowHandle(), "歌手 - 在前面", true, {});
    window.hide();
    int foldersOpened = 0;
    desktop::tellDownloadEnded(window.windowHandle(), "歌手 - 第一首", true, {},
                               [&] { ++foldersOpened; });
    desktop::tellDownloadEnded(nullptr, "歌手 - 第二首", false, "连接超时");
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.notes.size() >= 2; }, 10000));
    ASSERT_EQ(service.notes.size(), 2); // the first sent is the first seen on one connection
    EXPECT_EQ(service.notes[0].summary, "下载完成");
    EXPECT_EQ(service.notes[0].body, "歌手 - 第一首");
    EXPECT_EQ(service.notes[1].summary, "下载失败");
    EXPECT_EQ(service.notes[1].body, "歌手 - 第二首：连接超时");
    EXPECT_EQ(service.notes[1].hints.value("desktop-entry"), QGuiApplication::desktopFileName());

    // A finished file's notification offers to open its folder; a failed one offers nothing.
    ASSERT_EQ(service.notes[0].actions.size(), 2);
    EXPECT_EQ(service.notes[0].actions[1], "打开文件夹");
    EXPECT_TRUE(service.notes[1].actions.isEmpty());
    emit service.ActionInvoked(2, service.notes[0].actions[0]); // another notification's
    emit service.ActionInvoked(1, "some-other-key");
    emit service.ActionInvoked(1, service.notes[0].actions[0]);
    ASSERT_TRUE(QTest::qWaitFor([&] { return foldersOpened > 0; }, 10000));
    EXPECT_EQ(foldersOpened, 1);

    desktop::Notifier::instance().setBus(QDBusConnection::sessionBus());
}

} // namespace

#include "notifier_test.moc"
