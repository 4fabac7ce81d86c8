// The transfer engine when answers go wrong: what is refused, what is retried, what fails
// and says why, and what a later fetch of the same target resumes.
#include "core/gbk.h"
#include "download/resume_record.h"
#include "download/target_file.h"
#include "download/tick_report.h"
#include "engine_test_support.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <map>
#include <set>
#include <sys/resource.h>
#include <thread>

using namespace enginetest;
using testsupport::Behaviour;
using testsupport::LoopbackServer;

TEST(EngineChecks, AWrongContentRangeOrAnOverlongLengthIsNeverWritten)
{
    LoopbackServer server;
    Behaviour shifted;
    shifted.rangeShift = 1000;
    server.addGeneratedFile("/shift.mp3", 500000, shifted);
    Behaviour overlong;
    overlong.lengthFactor = 10;
    server.addGeneratedFile("/long.mp3", 50000, overlong);
    EngineRun run;
    const std::string shift = run.addRow(server.url("/shift.mp3"), "shift");
    const std::string longer = run.addRow(server.url("/long.mp3"), "long");
    ASSERT_TRUE(run.startAndWait());

    // Only the first range (asked from 0, answered from 0) is right; the others never reach
    // the file, and the file fails saying how much is missing.
    const std::string data = readFile(shift);
    EXPECT_EQ(data.size(), 100000u);
    EXPECT_EQ(testsupport::firstGeneratedMismatch(0, data), -1);
    EXPECT_EQ(std::filesystem::file_size(longer), 0u);
    const auto active = run.observer.activeRows();
    ASSERT_EQ(active.size(), 2u);
    EXPECT_EQ(active[0].status, download::statusFailed());
    EXPECT_EQ(active[1].status, download::statusFailed());
    // Two lines per file (the two may fail in either order): the name, then the reason.
    const auto memo = run.observer.memoLines();
    ASSERT_EQ(memo.size(), 4u);
    std::map<std::string, std::string> reasons{{memo[0], memo[1]}, {memo[2], memo[3]}};
    EXPECT_EQ(reasons["shift" + gbk("不能下载")].rfind(
                  gbk("还缺400000字节（服务器送出的片段起点不对）"), 0),
              0u);
    EXPECT_EQ(reasons["long" + gbk("不能下载")].rfind(gbk("还缺500000字节"), 0), 0u);
    // Both keep a record of what is missing.
    const auto record = download::readResumeRecord(shift);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->size, 500000);
    EXPECT_EQ(record->missing.front(), (download::ByteSpan{100000, 200000}));
}

TEST(EngineChecks, RetriesThatMeetIgnoredRangesOrAnErrorStatusStillGiveTheExactFile)
{
    LoopbackServer server;
    Behaviour cut; // every worker's first answer breaks off
    cut.dropAfterBytes = 30000;
    cut.requestsBeforeNext = 5;
    Behaviour ignoring = cut;
    Behaviour whole;
    whole.ranges = testsupport::RangeMode::Ignore;
    ignoring.next = std::make_shared<Behaviour>(whole);
    server.addGeneratedFile("/ignore.mp3", 700001, afterTheProbe(ignoring));

    Behaviour failing = cut;
    Behaviour unavailable;
    unavailable.status = 503;
    unavailable.requestsBeforeNext = 5;
    unavailable.next = std::make_shared<Behaviour>();
    failing.next = std::make_shared<Behaviour>(unavailable);
    server.addGeneratedFile("/status.mp3", 700001, afterTheProbe(failing));

    EngineRun run;
    const std::string ignore = run.addRow(server.url("/ignore.mp3"), "ignore");
    const std::string status = run.addRow(server.url("/status.mp3"), "status");
    ASSERT_TRUE(run.startAndWait());
    EXPECT_TRUE(holdsGenerated(ignore, 700001));
    EXPECT_TRUE(holdsGenerated(status, 700001));
    EXPECT_TRUE(run.observer.memoLines().empty());
    EXPECT_FALSE(std::filesystem::exists(ignore + ".part"));
}

TEST(EngineChecks, TwoRowsOfTheSameNameGiveTwoFiles)
{
    LoopbackServer server;
    server.addGeneratedFile("/a/song.mp3", 300000);
    server.addGeneratedFile("/b/song.mp3", 200000);
    EngineRun run;
    const std::string first = run.addRow(server.url("/a/song.mp3"), "song");
    run.addRow(server.url("/b/song.mp3"), "song");
    ASSERT_TRUE(run.startAndWait());
    EXPECT_TRUE(holdsGenerated(first, 300000));
    EXPECT_TRUE(holdsGenerated(run.dir.folder() + "song(1).mp3", 200000));
    EXPECT_EQ(run.observer.activeRows().at(1).file.targetPath, run.dir.folder() + "song(1).mp3");
}

TEST(EngineChecks, AFullDiskFailsTheFileWithTheSystemsReason)
{
    LoopbackServer server;
    server.addGeneratedFile("/big.mp3", 4000000);
    EngineRun run;
    const std::string path = run.addRow(server.url("/big.mp3"), "big");
    // Files of this process may not grow past 1 MiB; the signal is ignored, so writes fail.
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1 << 20;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool idle = run.startAndWait();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(idle);

    const auto active = run.observer.activeRows();
    ASSERT_EQ(active.size(), 1u);
    EXPECT_EQ(active[0].status, download::statusFailed());
    const auto memo = run.observer.memoLines();
    ASSERT_EQ(memo.size(), 2u);
    EXPECT_EQ(memo[1], gbk("写入文件出错：File too large"));
    EXPECT_TRUE(run.countersAtRest());
}

TEST(EngineChecks, AStopDuringARetryPauseEndsAtOnceAndKeepsTheRecord)
{
    LoopbackServer server;
    Behaviour unavailable;
    unavailable.status = 503;
    server.addGeneratedFile("/wait.mp3", 400000, afterTheProbe(unavailable));
    EngineRun run;
    auto settings = EngineRun::quickSettings();
    settings.retryPauses = {std::chrono::hours(1)};
    run.engine.setSettings(settings);
    const std::string path = run.addRow(server.url("/wait.mp3"), "wait");
    run.engine.downbtnClick();
    // Every worker has had its first answer and now pauses for an hour.
    ASSERT_TRUE(waitFor([&] { return server.requestCount() >= 6; }));
    run.engine.StopAllTransfers(); // returns once every worker has ended
    EXPECT_TRUE(run.countersAtRest());
    EXPECT_EQ(server.requestCount(), 6u);
    EXPECT_EQ(run.observer.activeRows().at(0).status, download::statusFailed());
    const auto record = download::readResumeRecord(path);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->missing.size(), 5u);
}

TEST(EngineChecks, CuttingTheRetryPausesShortAsksAgainAtOnce)
{
    LoopbackServer server;
    Behaviour unavailable;
    unavailable.status = 503;
    unavailable.requestsBeforeNext = 5; // every worker's first answer; then the file is served
    unavailable.next = std::make_shared<Behaviour>();
    server.addGeneratedFile("/later.mp3", 400000, afterTheProbe(unavailable));
    EngineRun run;
    auto settings = EngineRun::quickSettings();
    settings.retryPauses = {std::chrono::hours(1)};
    run.engine.setSettings(settings);
    const std::string path = run.addRow(server.url("/later.mp3"), "later");
    run.engine.downbtnClick();
    // A worker may reach its pause after a cut, so cut until every range has been asked again.
    ASSERT_TRUE(waitFor([&] {
        run.engine.cutRetryPausesShort();
        return server.requestCount() >= 11;
    }));
    ASSERT_TRUE(run.engine.waitIdle(std::chrono::minutes(1)));
    EXPECT_EQ(run.observer.activeRows().at(0).status, download::statusEnded());
    EXPECT_TRUE(holdsGenerated(path, 400000));
}

TEST(EngineResume, OnlyTheMissingBytesAreFetchedAgainUnlessTheLengthChanged)
{
    LoopbackServer server;
    Behaviour stalling; // each worker gets 100,000 bytes, then nothing more
    stalling.stallAfterBytes = 100000;
    stalling.requestsBeforeNext = 5;
    Behaviour unavailable;
    unavailable.status = 503;
    stalling.next = std::make_shared<Behaviour>(unavailable);
    server.addGeneratedFile("/same.mp3", 2000000, afterTheProbe(stalling));
    server.addGeneratedFile("/changed.mp3", 2000000, afterTheProbe(stalling));

    EngineRun run;
    run.stallAfterASecond();
    const std::string same = run.addRow(server.url("/same.mp3"), "same");
    const std::string changed = run.addRow(server.url("/changed.mp3"), "changed");
    ASSERT_TRUE(run.startAndWait());
    const auto record = download::readResumeRecord(same);
    ASSERT_TRUE(record);
    std::int64_t missing = 0;
    for (const auto& m : record->missing)
        missing += m.stop - m.start;
    EXPECT_EQ(missing, 2000000 - 5 * 100000);

    // The program runs again with the same rows: the same file resumes in place; the other,
    // now of another length, starts over in place; a file with a damaged record beside it
    // starts over too.
    server.setBehaviour("/same.mp3", {});
    server.addGeneratedFile("/changed.mp3", 1500000);
    server.addGeneratedFile("/damaged.mp3", 300000);
    const std::string damaged = run.dir.folder() + "damaged.mp3";
    std::ofstream(damaged) << "partial";
    std::ofstream(damaged + ".part") << "corvale-part 1\nsize 300000\nmissing 5 2\n";
    const std::int64_t servedBefore = server.bodyBytesServed("/same.mp3");

    download::HeadlessObserver again;
    again.folder = run.dir.folder();
    download::TransferEngine engine;
    for (const download::QueueRow& row : run.engine.queue().rows())
        engine.queue().append(row.entry);
    download::DownloadRow third = run.engine.queue().at(1).texts();
    third.name = "damaged";
    third.address = server.url("/damaged.mp3");
    third.savePath = damaged;
    engine.queue().append(third);
    engine.setObserver(&again);
    // No range is split here: on a loaded machine a slow range would be, and the bytes in flight
    // past the new boundary would count as served twice.
    auto noSplits = EngineRun::quickSettings();
    noSplits.minSplit = noSplits.minSlowSplit = std::int64_t{1} << 40;
    engine.setSettings(noSplits);
    engine.downbtnClick();
    ASSERT_TRUE(engine.waitIdle(std::chrono::seconds(60)));
    engine.setObserver(nullptr);

    EXPECT_TRUE(holdsGenerated(same, 2000000));
    EXPECT_TRUE(holdsGenerated(changed, 1500000));
    EXPECT_TRUE(holdsGenerated(damaged, 300000));
    const std::int64_t served = server.bodyBytesServed("/same.mp3") - servedBefore;
    EXPECT_GE(served, missing);
    EXPECT_LE(served, missing + 5) << "each range asks one byte past its end at most";
    const auto active = again.activeRows();
    ASSERT_EQ(active.size(), 3u);
    EXPECT_EQ(active[0].file.targetPath, same);
    EXPECT_EQ(active[1].file.targetPath, changed);
    EXPECT_EQ(active[2].file.targetPath, damaged);
    for (const std::string& path : {same, changed, damaged})
        EXPECT_FALSE(std::filesystem::exists(path + ".part")) << path;
}

TEST(EngineResume, FinishedConnectionsTakeOverHalfOfARunningRangeAndTheFileStaysExact)
{
    LoopbackServer server;
    Behaviour slow;
    slow.trickleChunk = 64 * 1024;
    slow.trickleDelay = std::chrono::milliseconds(5);
    const std::int64_t size = 6 << 20;
    server.addGeneratedFile("/split.mp3", size, slow);
    EngineRun run;
    const std::string path = run.addRow(server.url("/split.mp3"), "split");
    // A record that leaves the whole file to one range: the other four connections find
    // nothing of their own and take over halves of running ranges.
    download::createEmptyFile(path);
    ASSERT_TRUE(download::writeResumeRecord(path, {size, server.url("/split.mp3"), {{0, size}}}));
    ASSERT_TRUE(run.startAndWait());
    EXPECT_TRUE(holdsGenerated(path, size));
    std::set<std::string> ranges;
    for (const auto& r : server.requests())
        if (r.header("Range"))
            ranges.insert(*r.header("Range"));
    EXPECT_GE(ranges.size(), 5u);
    EXPECT_EQ(ranges.count("bytes=0-" + std::to_string(size)), 1u);
    EXPECT_EQ(run.observer.activeRows().at(0).endNotifications, 5);
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}
