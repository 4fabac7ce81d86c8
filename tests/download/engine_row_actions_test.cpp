// The row actions against a running engine: a running file paused keeps its file and record and
// continues where it stopped; a complete one fetched again starts from byte 0 over itself.
#include "download/resume_record.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace enginetest;
using download::RowStatus;

TEST(EngineRowActions, PauseKeepsTheFileContinueResumesRedownloadStartsOver)
{
    constexpr std::int64_t kSize = 400000;
    testsupport::LoopbackServer server;
    testsupport::Behaviour slow; // slow enough to be paused while it runs
    slow.trickleChunk = 4096;
    slow.trickleDelay = std::chrono::milliseconds(20);
    server.addGeneratedFile("/slow.mp3", kSize, slow);
    EngineRun run;
    run.engine.setSettings([] {
        auto s = EngineRun::quickSettings();
        s.recordEveryBytes = 16384; // the record follows the transfer closely
        return s;
    }());
    const std::string path = run.addRow(server.url("/slow.mp3"), "slow");
    const std::uint64_t id = run.engine.queue().at(0).id;
    const auto status = [&] { return run.engine.queue().at(0).status; };

    run.engine.downbtnClick();
    ASSERT_TRUE(waitFor([&] {
        const auto p = run.engine.runningProgress();
        return !p.empty() && p.front().done > 0;
    }));
    run.engine.pauseRow(id);
    ASSERT_TRUE(run.engine.waitIdle(std::chrono::seconds(60)));
    ASSERT_TRUE(waitFor([&] { return status() == RowStatus::Paused; }));
    EXPECT_TRUE(std::filesystem::exists(path));
    const auto record = download::readResumeRecord(path);
    ASSERT_TRUE(record) << "the record stays for the resume";
    std::int64_t missing = 0;
    for (const auto& span : record->missing)
        missing += span.stop - span.start;
    EXPECT_LT(missing, kSize) << "what arrived before the pause is kept";

    // A paused row is passed over by "开始下载" until it is continued.
    const std::size_t requests = server.requestCount();
    run.engine.downbtnClick();
    EXPECT_EQ(server.requestCount(), requests);
    EXPECT_EQ(status(), RowStatus::Paused);
    run.engine.continueRow(id);
    EXPECT_EQ(status(), RowStatus::Waiting);
    server.setBehaviour("/slow.mp3", {});
    ASSERT_TRUE(run.startAndWait());
    ASSERT_TRUE(waitFor([&] { return status() == RowStatus::Complete; }));
    EXPECT_TRUE(holdsGenerated(path, kSize));

    // 重新下载 of a complete row: from byte 0, over its own file (no "(1)" beside it).
    run.engine.redownloadRow(id);
    EXPECT_EQ(status(), RowStatus::Waiting);
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_TRUE(run.startAndWait());
    ASSERT_TRUE(waitFor([&] { return status() == RowStatus::Complete; }));
    EXPECT_TRUE(holdsGenerated(path, kSize));
    EXPECT_FALSE(std::filesystem::exists(run.dir.folder() + "slow(1).mp3"));
    EXPECT_TRUE(run.countersAtRest());
}
