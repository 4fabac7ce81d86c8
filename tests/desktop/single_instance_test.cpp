// One running copy: a later start finds the first one, asks it to come to the front and ends.
#include "desktop/single_instance.h"

#include <QDir>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <gtest/gtest.h>

#include <future>

namespace {

TEST(SingleInstance, ALaterStartFindsTheFirstAndAsksItToComeToTheFront)
{
    QTemporaryDir dir;
    auto first = std::make_unique<desktop::SingleInstance>(dir.path());
    QSignalSpy activated(first.get(), &desktop::SingleInstance::activationRequested);
    ASSERT_TRUE(first->claim());

    desktop::SingleInstance second(dir.path());
    EXPECT_FALSE(second.claim());
    // The second start waits for an answer while the first one's event loop runs here.
    std::future<bool> answered =
        std::async(std::launch::async, [&second] { return second.activateRunning(); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return activated.count() == 1; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return answered.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        10000));
    EXPECT_TRUE(answered.get());

    // When the first copy is gone the next start is the first again.
    first.reset();
    desktop::SingleInstance third(dir.path());
    EXPECT_TRUE(third.claim());
    EXPECT_FALSE(desktop::SingleInstance(dir.path()).claim());
}

// What a later start may send: every whole line is answered, even several in one write; a line
// that never ends (more than 4 KiB without a break) closes its connection, and the copy keeps
// answering others.
TEST(SingleInstance, EachLineOfAWriteIsAnsweredAndAnEndlessLineClosesItsConnection)
{
    QTemporaryDir dir;
    desktop::SingleInstance first(dir.path());
    QSignalSpy activated(&first, &desktop::SingleInstance::activationRequested);
    ASSERT_TRUE(first.claim());
    const QString socketPath = QDir(dir.path()).filePath("corvale.socket");

    QLocalSocket twoLines;
    twoLines.connectToServer(socketPath);
    ASSERT_TRUE(twoLines.waitForConnected(5000));
    twoLines.write("raise\nraise\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return twoLines.bytesAvailable() >= 6; }, 10000));
    EXPECT_EQ(twoLines.readAll(), "ok\nok\n");
    EXPECT_EQ(activated.count(), 2);

    QLocalSocket endless;
    endless.connectToServer(socketPath);
    ASSERT_TRUE(endless.waitForConnected(5000));
    endless.write(QByteArray(4097, 'x'));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return endless.state() == QLocalSocket::UnconnectedState; }, 10000));
    EXPECT_EQ(activated.count(), 2);

    // A line that comes in two writes is one line.
    twoLines.write("rai");
    twoLines.flush();
    twoLines.write("se\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return twoLines.bytesAvailable() >= 3; }, 10000));
    EXPECT_EQ(twoLines.readAll(), "ok\n");
    EXPECT_EQ(activated.count(), 3);
}

TEST(SingleInstance, NoCopyRunningMeansNoAnswer)
{
    QTemporaryDir dir;
    EXPECT_FALSE(desktop::SingleInstance(dir.path()).activateRunning(1000));
}

} // namespace
