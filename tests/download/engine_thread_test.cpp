// The engine on its own thread: the window's commands reach it at once or between the start
// loop's steps, and nothing the loop waits on holds the caller.
#include "download/engine_thread.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>

using namespace enginetest;
using testsupport::Behaviour;
using testsupport::LoopbackServer;

namespace {

struct ThreadRun : EngineRun {
    download::EngineThread thread{engine};

    std::uint64_t idOf(int row) { return engine.queue().at(row).id; }
    download::RowStatus statusOf(std::uint64_t id)
    {
        return engine.queue().find(id).value().status;
    }
    bool rangedRequestFor(LoopbackServer& server, const std::string& path)
    {
        for (const auto& request : server.requests())
            if (request.path == path && request.hasHeader("Range"))
                return true;
        return false;
    }
};

// The probe's answer comes after `delay`; every later request is answered at once.
Behaviour slowProbe(std::chrono::milliseconds delay)
{
    Behaviour probe;
    probe.headDelay = delay;
    probe.requestsBeforeNext = 1;
    probe.next = std::make_shared<Behaviour>();
    return probe;
}

} // namespace

TEST(EngineThread, APausedRowHoldsWhileItsProbeRunsAndContinuedItStartsWithoutAPress)
{
    LoopbackServer server;
    server.addGeneratedFile("/p.mp3", 300000, slowProbe(std::chrono::milliseconds(400)));
    ThreadRun run;
    const std::string path = run.addRow(server.url("/p.mp3"), "p");
    const std::uint64_t id = run.idOf(0);

    run.thread.start();
    // The press returns while the probe is still unanswered: the start loop runs elsewhere.
    EXPECT_TRUE(run.thread.busy());
    ASSERT_TRUE(waitFor([&] { return server.requestCount() >= 1; }));
    run.thread.pause({id});
    ASSERT_TRUE(run.thread.waitUntilIdle(std::chrono::seconds(60)));
    EXPECT_EQ(run.statusOf(id), download::RowStatus::Paused);
    EXPECT_TRUE(run.observer.activeRows().empty());
    EXPECT_FALSE(run.rangedRequestFor(server, "/p.mp3"));

    run.thread.resume({id});
    ASSERT_TRUE(waitFor([&] { return run.statusOf(id) == download::RowStatus::Complete; }));
    EXPECT_TRUE(holdsGenerated(path, 300000));
    EXPECT_EQ(run.observer.activeRows().size(), 1u);
}

TEST(EngineThread, ARowPausedWhileItWaitsForItsSlotIsPassedAndAStopEndsTheRest)
{
    LoopbackServer server;
    addSlowFile(server, "/slow.mp3");
    ThreadRun run;
    run.addRow(server.url("/slow.mp3"), "slow");
    std::vector<std::string> paths;
    for (int i = 1; i <= 4; ++i) {
        const std::string file = "/f" + std::to_string(i) + ".mp3";
        server.addGeneratedFile(file, 10000 * i);
        paths.push_back(run.addRow(server.url(file), "f" + std::to_string(i)));
    }
    const std::uint64_t running = run.idOf(0);
    const std::uint64_t waiting = run.idOf(3); // slot 0, behind the slow row
    const std::uint64_t last = run.idOf(4);

    run.thread.start();
    ASSERT_TRUE(waitFor(
        [&] { return run.engine.currentRow() == 3 && run.observer.activeRows().size() == 3; }));
    run.thread.pause({waiting});
    ASSERT_TRUE(waitFor([&] { return run.statusOf(last) == download::RowStatus::Complete; }));
    EXPECT_TRUE(holdsGenerated(paths[3], 40000));
    EXPECT_EQ(run.statusOf(waiting), download::RowStatus::Paused);
    EXPECT_EQ(run.statusOf(running), download::RowStatus::Running) << "the slow row still runs";
    // Deleted now, the paused row leaves nothing behind.
    run.thread.remove({waiting});
    EXPECT_FALSE(run.engine.queue().find(waiting));
    EXPECT_FALSE(std::filesystem::exists(paths[2]));
    EXPECT_EQ(run.observer.activeRows().size(), 4u);

    run.thread.stopAll();
    EXPECT_FALSE(run.thread.busy());
    EXPECT_FALSE(run.engine.DownloadsRunning());
    EXPECT_TRUE(run.countersAtRest());
    EXPECT_EQ(run.statusOf(running), download::RowStatus::Failed);
}

TEST(EngineThread, AFaultOfTheProgramInsideTheLoopReachesTheFailureHandler)
{
    LoopbackServer server;
    server.addGeneratedFile("/a.mp3", 10000);
    ThreadRun run;
    run.addRow(server.url("/a.mp3"), "a");
    run.engine.prepareWorkerClient = [](http::HttpClient&, int) {
        throw std::logic_error("broken invariant");
    };
    std::mutex mutex;
    std::string caught;
    run.thread.onFailure = [&](std::exception_ptr failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            std::lock_guard lock(mutex);
            caught = e.what();
        }
    };
    run.thread.start();
    ASSERT_TRUE(run.thread.waitUntilIdle(std::chrono::seconds(60)));
    std::lock_guard lock(mutex);
    EXPECT_EQ(caught, "broken invariant");
    EXPECT_FALSE(run.engine.startRunning());
}
