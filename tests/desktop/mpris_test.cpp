// The program's player as the desktop sees it over a private session bus: playerctl reads its
// status and entry and drives it; every change is announced with PropertiesChanged.
#include "desktop/mpris.h"
#include "private_bus.h"
#include "support/encoded_media.h"
#include "support/loopback_server.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

namespace {

using State = playback::PlaybackEngine::State;

// Collects the Player properties announced with PropertiesChanged.
class ChangeListener : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;
public slots:
    void onChanged(const QString& interface, const QVariantMap& changed, const QStringList&)
    {
        if (interface == "org.mpris.MediaPlayer2.Player")
            changes << changed;
    }
};

class MprisTest : public ::testing::Test {
protected:
    desktoptest::PrivateBus bus;
    QTemporaryDir dir;
    std::unique_ptr<playback::ApplicationPlayer> player;
    std::unique_ptr<desktop::MprisService> service;
    int raised = 0;

    void SetUp() override
    {
        ASSERT_TRUE(bus.running());
        playback::EngineOptions options;
        options.forceSilent = true;
        player = std::make_unique<playback::ApplicationPlayer>(options);
        service = std::make_unique<desktop::MprisService>(*player, [this] { ++raised; });
        ASSERT_TRUE(service->publish(bus.connect("program")));
    }
    void TearDown() override
    {
        service.reset();
        player.reset();
    }
    QString song(const QString& name, double seconds)
    {
        const QString path = dir.path() + "/" + name;
        std::ofstream(path.toStdString(), std::ios::binary)
            << testsupport::encodedTone(testsupport::Tone::Mp3, seconds);
        return "file://" + path;
    }
    QString playerctl(const QStringList& arguments)
    {
        return bus.run("playerctl", QStringList{"--player=corvale"} + arguments);
    }
};

TEST_F(MprisTest, PlayerctlSeesTheEntryAndDrivesThePlayer)
{
    EXPECT_EQ(playerctl({"status"}), "Stopped");
    // Nothing to play: playerctl is told it cannot, and the status stays.
    EXPECT_TRUE(playerctl({"play-pause"}).startsWith("<failed"));
    EXPECT_EQ(player->engine().state(), State::Idle);

    const playback::ApplicationPlayer::ViewId view = player->newView();
    const QString second = song("b.mp3", 30);
    // The window names the rows it plays from; the list itself may name its entries.
    player->setNameLookup([second](const QString& address) {
        return address == second ? QString("歌手丙 - 第三首") : QString();
    });
    player->take(view, {{song("a.mp3", 30), "歌手甲 - 第一首", {}},
                        {second, {}, {}},
                        {song("c.mp3", 30), {}, {}}});
    player->engine().play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return player->engine().state() == State::Playing; }, 20000));
    EXPECT_EQ(playerctl({"status"}), "Playing");
    EXPECT_EQ(playerctl({"metadata", "--format", "{{artist}}|{{title}}"}), "歌手甲|第一首");
    EXPECT_TRUE(playerctl({"metadata", "xesam:url"}).endsWith("/a.mp3"));
    // The length is known once the file is open: 30 s, in microseconds, within a frame.
    const qlonglong length = playerctl({"metadata", "mpris:length"}).toLongLong();
    EXPECT_NEAR(length / 1e6, 30.0, 0.1);

    EXPECT_EQ(playerctl({"play-pause"}), "");
    EXPECT_EQ(player->engine().state(), State::Paused);
    EXPECT_EQ(playerctl({"status"}), "Paused");
    EXPECT_EQ(playerctl({"play-pause"}), "");
    EXPECT_NE(player->engine().state(), State::Paused);

    // Next goes to the second entry, named by the window's row.
    EXPECT_EQ(playerctl({"next"}), "");
    EXPECT_EQ(player->engine().index(), 1);
    EXPECT_EQ(playerctl({"metadata", "--format", "{{artist}}|{{title}}"}), "歌手丙|第三首");
    // The third has no name anywhere: its file name stands for it.
    EXPECT_EQ(playerctl({"next"}), "");
    EXPECT_EQ(player->engine().index(), 2);
    EXPECT_EQ(playerctl({"metadata", "title"}), "c");
    EXPECT_TRUE(playerctl({"metadata", "artist"}).startsWith("<failed"));
    // After the last entry there is no next; the one before it is there.
    EXPECT_TRUE(playerctl({"next"}).startsWith("<failed"));
    EXPECT_EQ(player->engine().index(), 2);
    EXPECT_EQ(playerctl({"previous"}), "");
    EXPECT_EQ(player->engine().index(), 1);

    EXPECT_EQ(playerctl({"stop"}), "");
    EXPECT_EQ(player->engine().state(), State::Stopped);
    EXPECT_EQ(playerctl({"status"}), "Stopped");
}

TEST_F(MprisTest, EveryChangeIsAnnouncedAndRaiseReachesTheWindow)
{
    QDBusConnection desktopSide = bus.connect("desktop");
    ChangeListener listener;
    ASSERT_TRUE(desktopSide.connect(desktop::kMprisService, desktop::kMprisPath,
                                    "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                    &listener, SLOT(onChanged(QString, QVariantMap, QStringList))));
    const auto announced = [&](const QString& property, const QVariant& value) {
        return QTest::qWaitFor(
            [&] {
                return std::any_of(
                    listener.changes.begin(), listener.changes.end(),
                    [&](const QVariantMap& m) { return m.value(property) == value; });
            },
            20000);
    };
    player->take(player->newView(), {{song("c.mp3", 30), "歌手乙 - 第二首", {}}});
    EXPECT_TRUE(announced("CanPlay", true));
    EXPECT_TRUE(announced("CanGoNext", true)); // before the first entry, the first is next
    player->engine().play();
    EXPECT_TRUE(announced("PlaybackStatus", "Playing"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            for (const QVariantMap& m : listener.changes) {
                const QVariant metadata = m.value("Metadata");
                if (metadata.isValid() &&
                    qdbus_cast<QVariantMap>(metadata).value("xesam:title") == "第二首")
                    return true;
            }
            return false;
        },
        20000));
    player->engine().pause();
    EXPECT_TRUE(announced("PlaybackStatus", "Paused"));
    // Changes that leave the properties as they were are not announced again.
    const qsizetype count = listener.changes.size();
    player->engine().pause();
    QDBusMessage ping = QDBusMessage::createMethodCall(desktop::kMprisService, desktop::kMprisPath,
                                                       "org.freedesktop.DBus.Peer", "Ping");
    EXPECT_EQ(desktopSide.call(ping).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(listener.changes.size(), count);

    EXPECT_FALSE(bus.run("dbus-send",
                         {"--session", "--print-reply", "--dest=" + QString(desktop::kMprisService),
                          desktop::kMprisPath, "org.mpris.MediaPlayer2.Raise"})
                     .startsWith("<"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised == 1; }, 5000));
}

// Collects the positions announced with Seeked.
class SeekListener : public QObject {
    Q_OBJECT
public:
    QList<qlonglong> positions;
public slots:
    void onSeeked(qlonglong position) { positions << position; }
};

TEST_F(MprisTest, PlayerctlSeeksSetsTheVolumeAndSeekedArrives)
{
    QDBusConnection desktopSide = bus.connect("desktop");
    SeekListener listener;
    ASSERT_TRUE(desktopSide.connect(desktop::kMprisService, desktop::kMprisPath,
                                    "org.mpris.MediaPlayer2.Player", "Seeked", &listener,
                                    SLOT(onSeeked(qlonglong))));
    const QString first = song("a.mp3", 60);
    player->take(player->newView(), {{first, {}, {}}, {song("b.mp3", 60), {}, {}}});
    // Nothing open yet: nothing to seek, and playerctl is told so.
    EXPECT_TRUE(playerctl({"position", "30"}).startsWith("<failed"));
    EXPECT_TRUE(listener.positions.isEmpty());
    player->engine().play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return player->engine().state() == State::Playing; }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return service->canSeek(); }, 20000));

    struct Step {
        QStringList arguments;
        double from, to; // where the position lands, in seconds
        int index;       // the entry that plays after the step
    };
    const Step steps[] = {
        {{"position", "30"}, 30, 34, 0},
        {{"position", "10-"}, 20, 25, 0}, // relative: Seek(-10 s) from where it got to
        {{"position", "5+"}, 25, 31, 0},  // relative: Seek(+5 s)
        {{"position", "0"}, 0, 4, 0},
        {{"position", "100+"}, 0, 4, 1}, // past the end: the next entry
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.arguments.join(' ').toStdString());
        const qsizetype seeks = listener.positions.size();
        EXPECT_EQ(playerctl(step.arguments), "");
        ASSERT_TRUE(QTest::qWaitFor([&] { return player->engine().index() == step.index; }, 5000));
        const double at = player->engine().position();
        EXPECT_GE(at, step.from);
        EXPECT_LT(at, step.to);
        if (step.index == 0) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return listener.positions.size() > seeks; }, 5000));
            EXPECT_GE(listener.positions.last() / 1e6, step.from);
            EXPECT_LT(listener.positions.last() / 1e6, step.to);
            EXPECT_GE(playerctl({"position"}).toDouble(), step.from);
        }
    }
    // SetPosition for another entry than the one playing does nothing.
    EXPECT_FALSE(bus.run("dbus-send",
                         {"--session", "--print-reply", "--dest=" + QString(desktop::kMprisService),
                          desktop::kMprisPath, "org.mpris.MediaPlayer2.Player.SetPosition",
                          "objpath:" + desktop::trackId(0).path(), "int64:40000000"})
                     .startsWith("<"));
    EXPECT_LT(player->engine().position(), 10.0);

    const struct {
        QString asked;
        double kept;
    } volumes[] = {{"0.5", 0.5}, {"0.2", 0.2}, {"1.5", 1.0}};
    for (const auto& v : volumes) {
        EXPECT_EQ(playerctl({"volume", v.asked}), "");
        EXPECT_DOUBLE_EQ(player->engine().volume(), v.kept);
        EXPECT_DOUBLE_EQ(playerctl({"volume"}).toDouble(), v.kept);
    }
}

TEST_F(MprisTest, ASourceThatCannotSeekSaysSo)
{
    testsupport::LoopbackServer server;
    testsupport::Behaviour noRanges;
    noRanges.ranges = testsupport::RangeMode::Ignore;
    server.addFixedFile("/plain.mp3", testsupport::encodedTone(testsupport::Tone::Mp3, 30),
                        noRanges);
    player->take(player->newView(), {{QString::fromStdString(server.url("/plain.mp3")), {}, {}}});
    player->engine().play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return player->engine().position() > 0.5; }, 20000));
    EXPECT_FALSE(service->canSeek());
    EXPECT_EQ(playerctl({"metadata", "title"}), "plain");
    EXPECT_TRUE(playerctl({"position", "20"}).startsWith("<failed"));
    EXPECT_LT(player->engine().position(), 10.0);
}

TEST(MprisWithoutBus, PublishingFailsQuietly)
{
    playback::EngineOptions options;
    options.forceSilent = true;
    playback::ApplicationPlayer player(options);
    desktop::MprisService service(player, {});
    EXPECT_FALSE(
        service.publish(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "no-bus")));
    QDBusConnection::disconnectFromBus("no-bus");
}

} // namespace

#include "mpris_test.moc"
