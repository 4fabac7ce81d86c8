// One running copy: a later start finds the first one, asks it to come to the front and ends.
#include "desktop/single_instance.h"

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

TEST(SingleInstance, NoCopyRunningMeansNoAnswer)
{
    QTemporaryDir dir;
    EXPECT_FALSE(desktop::SingleInstance(dir.path()).activateRunning(1000));
}

} // namespace
