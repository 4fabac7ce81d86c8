// The program itself started twice for one user: the second start ends at once with 0 and the
// first goes on.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtTest>
#include <gtest/gtest.h>

namespace {

TEST(SecondStart, EndsWithZeroAndLeavesTheFirstRunning)
{
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("DBUS_SESSION_BUS_ADDRESS"); // nothing reaches the desktop's bus
    const QStringList arguments{"--service-host", "127.0.0.1:9"};
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(CORVALE_PROGRAM, arguments);
    ASSERT_TRUE(first.waitForStarted(10000));
    const QString socket = QDir(runtime.path()).filePath("corvale.socket");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 60000));

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(CORVALE_PROGRAM, arguments);
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(QString::fromLocal8Bit(second.readAllStandardError()).contains("already running"))
        << "the first copy did not answer";
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    EXPECT_TRUE(first.waitForFinished(30000));
}

} // namespace
