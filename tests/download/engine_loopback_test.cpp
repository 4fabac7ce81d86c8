// The transfer engine against the loopback server: whole files, three at a time, and the
// server's faults.
#include "core/line_file.h"
#include "download/tick_report.h"
#include "download/transfer_plan.h"
#include "engine_state_access.h"
#include "engine_test_support.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

using namespace enginetest;
using testsupport::Behaviour;
using testsupport::LoopbackServer;

namespace {

std::set<std::string> rangesAskedFor(const LoopbackServer& server, const std::string& path)
{
    std::set<std::string> ranges;
    for (const auto& r : server.requests())
        if (r.path == path && r.header("Range"))
            ranges.insert(*r.header("Range"));
    return ranges;
}

} // namespace

TEST(EngineIntegrity, FourFilesThreeAtATimeArriveByteForByte)
{
    LoopbackServer server;
    const std::int64_t sizes[] = {64 << 20, 1, 900, 1000003};
    EngineRun run;
    std::vector<std::string> paths;
    for (int i = 0; i < 4; ++i) {
        const std::string path = "/f" + std::to_string(i) + ".mp3";
        server.addGeneratedFile(path, sizes[i]);
        paths.push_back(run.addRow(server.url(path), "song" + std::to_string(i)));
    }
    ASSERT_TRUE(run.startAndWait());
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(holdsGenerated(paths[i], sizes[i]));
    EXPECT_TRUE(run.countersAtRest());

    const auto active = run.observer.activeRows();
    ASSERT_EQ(active.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(active[i].file.listRow, i);
        EXPECT_EQ(active[i].status, download::statusEnded());
        EXPECT_EQ(active[i].endNotifications, 5) << "every worker ends exactly once";
        EXPECT_EQ(active[i].fileEndNotifications, 1);
        EXPECT_FALSE(std::filesystem::exists(paths[i] + ".part"))
            << "no record beside a whole file";
        EXPECT_EQ(active[i].file.targetPath, paths[i]);
    }
    EXPECT_EQ(rangesAskedFor(server, "/f3.mp3"),
              (std::set<std::string>{"bytes=0-200000", "bytes=200000-400000", "bytes=400000-600000",
                                     "bytes=600000-800000", "bytes=800000-1000003"}));
    // The engine's requests carry the fixed headers.
    const auto last = server.lastRequestFor("/f3.mp3");
    EXPECT_EQ(last.header("User-Agent").value_or(""), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(last.header("Accept").value_or(""), "text/html, */*");
    EXPECT_TRUE(run.observer.memoLines().empty());
}

TEST(EngineIntegrity, ThreeFilesRunAtOnceOnFifteenConnections)
{
    LoopbackServer server;
    Behaviour slow;
    slow.trickleChunk = 1000;
    slow.trickleDelay = std::chrono::milliseconds(50);
    EngineRun run;
    for (int i = 0; i < 3; ++i) {
        server.addGeneratedFile("/t" + std::to_string(i) + ".mp3", 3000000, slow);
        run.addRow(server.url("/t" + std::to_string(i) + ".mp3"), "t" + std::to_string(i));
    }
    run.engine.downbtnClick(); // hands the three rows to the three slots without waiting
    EXPECT_EQ(run.engine.activeWorkers(), 15);
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(run.engine.slotWorkers(s), 5);
        EXPECT_EQ(run.engine.slotRow(s), s);
    }
    run.engine.StopAllTransfers();
    EXPECT_TRUE(run.countersAtRest());
}

TEST(EngineIntegrity, SixRowsWaitForTheirSlotsAndAPressFetchesOnlyWhatIsNotThereYet)
{
    LoopbackServer server;
    EngineRun run;
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) {
        const std::string path = "/s" + std::to_string(i) + ".mp3";
        server.addGeneratedFile(path, 300000 + i * 1000);
        paths.push_back(run.addRow(server.url(path), "six" + std::to_string(i)));
    }
    ASSERT_TRUE(run.startAndWait());
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(holdsGenerated(paths[i], 300000 + i * 1000));
    auto active = run.observer.activeRows();
    ASSERT_EQ(active.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(active[i].file.listRow, i);
        EXPECT_EQ(run.engine.queue().at(i).status, download::RowStatus::Complete);
    }
    EXPECT_EQ(run.engine.resumeRow(), 0) << "the next press looks at every row again";

    // Every row is complete: a second press fetches nothing and says so.
    ASSERT_TRUE(run.startAndWait());
    EXPECT_EQ(run.observer.activeRows().size(), 6u);
    EXPECT_EQ(run.observer.memoLines(),
              std::vector<std::string>{core::utf8ToGbk("没有要下载的文件")});
    EXPECT_FALSE(std::filesystem::exists(run.dir.folder() + "six5(1).mp3"));
}

TEST(EngineIntegrity, TheResumeRowFollowsRowsThatAreDeletedOrCleared)
{
    LoopbackServer server;
    for (int i = 0; i < 3; ++i)
        server.addGeneratedFile("/n" + std::to_string(i) + ".mp3", 20000 + i);
    EngineRun run;
    for (int i = 0; i < 5; ++i)
        run.addRow(server.url("/old.mp3"), "old" + std::to_string(i));
    // A start that ended part-way left the resume row at the fifth row; the list is cleared
    // and one row is added: the press fetches it.
    download::TransferEngineTestAccess::setResumeRow(run.engine, 4);
    run.engine.queue().clear();
    EXPECT_EQ(run.engine.resumeRow(), 0);
    const std::string first = run.addRow(server.url("/n0.mp3"), "new0");
    ASSERT_TRUE(run.startAndWait());
    EXPECT_TRUE(holdsGenerated(first, 20000));

    // Deleting rows before the resume row moves it down with its row; deleting the row itself
    // leaves it on the row that slid into its place.
    const std::string second = run.addRow(server.url("/n1.mp3"), "new1");
    const std::string third = run.addRow(server.url("/n2.mp3"), "new2");
    download::TransferEngineTestAccess::setResumeRow(run.engine, 2);
    run.engine.queue().remove(0);
    EXPECT_EQ(run.engine.resumeRow(), 1);
    run.engine.queue().remove(0);
    EXPECT_EQ(run.engine.resumeRow(), 0);
    ASSERT_TRUE(run.startAndWait());
    EXPECT_FALSE(std::filesystem::exists(second)) << "its row was deleted";
    EXPECT_TRUE(holdsGenerated(third, 20002));
}

TEST(EngineFaults, RedirectsAndFilesWithoutLengthArriveWholeAndSkippedRowsSayWhy)
{
    LoopbackServer server;
    Behaviour chunked;
    chunked.framing = testsupport::BodyFraming::Chunked;
    server.addGeneratedFile("/chunked.mp3", 300007, chunked);
    Behaviour relative;
    relative.status = 302;
    relative.location = "/real.mp3";
    server.addGeneratedFile("/moved.mp3", 1, relative);
    server.addGeneratedFile("/real.mp3", 1000003);
    Behaviour loop;
    loop.status = 301;
    loop.location = server.url("/loop.mp3"); // absolute, and for ever
    server.addGeneratedFile("/loop.mp3", 1, loop);

    EngineRun run;
    const std::string whole = run.addRow(server.url("/chunked.mp3"), "nolength");
    run.addRow(server.url("/missing.mp3"), "missing"); // 404
    const std::string moved = run.addRow(server.url("/moved.mp3"), "moved");
    run.addRow("http://127.0.0.1:" + std::to_string(testsupport::refusedPort()) + "/x.mp3",
               "refused");
    run.addRow("http://nohostpath", "nopath");
    run.addRow(server.url("/loop.mp3"), "loop");
    ASSERT_NO_THROW(run.engine.downbtnClick());
    ASSERT_TRUE(run.engine.waitIdle(std::chrono::seconds(60)));

    EXPECT_TRUE(holdsGenerated(whole, 300007));
    EXPECT_TRUE(holdsGenerated(moved, 1000003));
    EXPECT_EQ(rangesAskedFor(server, "/real.mp3").count("bytes=800000-1000003"), 1u);
    const auto active = run.observer.activeRows();
    ASSERT_EQ(active.size(), 2u);
    EXPECT_EQ(active[0].status, download::statusEnded());
    EXPECT_EQ(active[1].status, download::statusEnded());
    EXPECT_EQ(active[0].endNotifications, 1) << "a file without a length has one connection";

    // One memo line per skipped row, naming the row and the reason; nothing is created.
    const auto memo = run.observer.memoLines();
    ASSERT_EQ(memo.size(), 4u);
    const std::string cannot = core::utf8ToGbk("不能下载：");
    EXPECT_EQ(memo[0].rfind("missing" + cannot + "404", 0), 0u) << memo[0];
    EXPECT_EQ(memo[1].rfind("refused" + cannot + "Socket Error # 111", 0), 0u) << memo[1];
    EXPECT_EQ(memo[2].rfind("nopath" + cannot, 0), 0u) << memo[2];
    EXPECT_EQ(memo[3], "loop" + cannot + core::utf8ToGbk("重定向超过5次"));
    namespace fs = std::filesystem;
    EXPECT_FALSE(fs::exists(run.dir.path / "missing.mp3"));
    EXPECT_FALSE(fs::exists(run.dir.path / "loop.mp3"));
    EXPECT_FALSE(run.engine.probing());
}

TEST(EngineFaults, ResetsAtRandomOffsetsAndStallsAreRetriedToTheExactFile)
{
    LoopbackServer server;
    Behaviour resets;
    resets.dropMin = 20000;
    resets.dropMax = 300000;
    resets.seed = 7;
    server.addGeneratedFile("/reset.mp3", 3000017, resets);
    Behaviour stalls; // the first answer to each worker stalls mid-body
    stalls.stallAfterBytes = 100000;
    stalls.requestsBeforeNext = 5;
    stalls.next = std::make_shared<Behaviour>();
    Behaviour probeFirst;
    probeFirst.requestsBeforeNext = 1;
    probeFirst.next = std::make_shared<Behaviour>(stalls);
    server.addGeneratedFile("/stall.mp3", 1000003, probeFirst);
    EngineRun run;
    run.stallAfterASecond();
    const std::string reset = run.addRow(server.url("/reset.mp3"), "reset");
    const std::string stall = run.addRow(server.url("/stall.mp3"), "stall");
    ASSERT_TRUE(run.startAndWait());
    EXPECT_TRUE(holdsGenerated(reset, 3000017));
    EXPECT_TRUE(holdsGenerated(stall, 1000003));
    EXPECT_TRUE(run.countersAtRest());
    for (const auto& row : run.observer.activeRows()) {
        EXPECT_EQ(row.status, download::statusEnded());
        EXPECT_EQ(row.endNotifications, 5);
    }
    // The stalled ranges were asked again from their first missing byte.
    const auto asked = rangesAskedFor(server, "/stall.mp3");
    EXPECT_EQ(asked.count("bytes=100000-200000"), 1u);
    EXPECT_EQ(asked.count("bytes=900000-1000003"), 1u);
}

TEST(EngineFaults, AServerThatIgnoresRangesStillGivesTheExactFile)
{
    LoopbackServer server;
    Behaviour ignore;
    ignore.ranges = testsupport::RangeMode::Ignore;
    server.addGeneratedFile("/whole.mp3", 1000003, ignore);
    server.addGeneratedFile("/tiny.mp3", 3, ignore);
    EngineRun run;
    const std::string whole = run.addRow(server.url("/whole.mp3"), "whole");
    const std::string tiny = run.addRow(server.url("/tiny.mp3"), "tiny");
    ASSERT_TRUE(run.startAndWait());
    EXPECT_TRUE(holdsGenerated(whole, 1000003));
    EXPECT_TRUE(holdsGenerated(tiny, 3));
}

TEST(EngineFaults, OnlyThreeOfFiveConnectsSucceedFor900Bytes)
{
    LoopbackServer server;
    server.addGeneratedFile("/n.mp3", 900);
    EngineRun run;
    run.engine.prepareWorkerClient = [](http::HttpClient& client, int index) {
        if (index >= 3)
            client.port = testsupport::refusedPort();
    };
    const std::string path = run.addRow(server.url("/n.mp3"), "nine");
    ASSERT_TRUE(run.startAndWait());
    EXPECT_EQ(run.engine.connectedCount(), 3);
    EXPECT_TRUE(holdsGenerated(path, 900));
    EXPECT_EQ(rangesAskedFor(server, "/n.mp3"),
              (std::set<std::string>{"bytes=0-300", "bytes=300-600", "bytes=600-900"}));
    EXPECT_EQ(run.observer.activeRows().at(0).endNotifications, 3);
}

TEST(EngineFaults, AllConnectsRefusedEndsTheFileFailedWithTheReason)
{
    LoopbackServer server;
    server.addGeneratedFile("/z.mp3", 900);
    EngineRun run;
    run.engine.prepareWorkerClient = [](http::HttpClient& client, int) {
        client.port = testsupport::refusedPort();
    };
    run.addRow(server.url("/z.mp3"), "zero");
    ASSERT_TRUE(run.startAndWait());
    const auto active = run.observer.activeRows();
    ASSERT_EQ(active.size(), 1u);
    EXPECT_EQ(active[0].status, download::statusFailed());
    const auto memo = run.observer.memoLines();
    ASSERT_EQ(memo.size(), 2u);
    EXPECT_EQ(memo[0], "zero" + core::utf8ToGbk("不能下载"));
    EXPECT_EQ(memo[1].rfind("Socket Error # 111", 0), 0u) << memo[1];
    EXPECT_TRUE(run.countersAtRest());
}

TEST(EngineFaults, AnErrorAnswerNeverGoesIntoTheFile)
{
    LoopbackServer server;
    server.addGeneratedFile("/e.mp3", 20000);
    TempDir dir;
    download::HeadlessObserver observer;
    observer.folder = dir.folder();
    const std::string path = dir.folder() + "e.mp3";
    {
        std::ofstream(path) << "old";
    }
    download::TransferEngine engine;
    engine.queue().append({"1", "e", server.url("/e.mp3"), "20K", "mp3", path});
    engine.setObserver(&observer);
    engine.setSettings(EngineRun::quickSettings());
    // The server answers the probe, then fails every ranged request.
    engine.prepareWorkerClient = [&](http::HttpClient&, int index) {
        if (index != 0)
            return;
        Behaviour failing;
        failing.status = 500;
        failing.errorBody = std::string(4000, 'E');
        server.setBehaviour("/e.mp3", failing);
    };
    engine.downbtnClick();
    ASSERT_TRUE(engine.waitIdle(std::chrono::seconds(60)));
    // The existing file (no record beside it) is left alone; the new one gets nothing.
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(std::filesystem::file_size(dir.folder() + "e(1).mp3"), 0u);
    EXPECT_EQ(observer.activeRows().at(0).endNotifications, 5);
    EXPECT_EQ(observer.activeRows().at(0).status, download::statusFailed());
    EXPECT_EQ(engine.activeWorkers(), 0);
}

// Long names and names that climb out of the folder once went to the generated fallback name;
// they are made safe in their own folder now, under a name a person recognises.
TEST(EngineFaults, LongAndEscapingNamesAreMadeSafeInTheirFolder)
{
    LoopbackServer server;
    server.addGeneratedFile("/long.mp3", 4000);
    server.addGeneratedFile("/esc.wma", 5000);
    EngineRun run;
    std::filesystem::create_directories(run.dir.path / "music");
    run.observer.folder = run.dir.folder() + "music/";
    run.observer.search = " abc ";
    const std::string longName(300, 'n');
    run.engine.queue().append(download::DownloadRow{"1", longName, server.url("/long.mp3"), "4K",
                                                    "mp3",
                                                    run.observer.folder + longName + ".mp3"});
    run.engine.queue().append(download::DownloadRow{"2", "../escaped", server.url("/esc.wma"), "5K",
                                                    "wma", run.observer.folder + "../escaped.wma"});
    ASSERT_TRUE(run.startAndWait());
    EXPECT_TRUE(holdsGenerated(run.observer.folder + std::string(242, 'n') + ".mp3", 4000));
    EXPECT_TRUE(holdsGenerated(run.observer.folder + "_escaped.wma", 5000));
    EXPECT_FALSE(std::filesystem::exists(run.dir.path / "escaped.wma"));
    const auto active = run.observer.activeRows();
    ASSERT_EQ(active.size(), 2u);
    EXPECT_EQ(active[1].file.targetPath, run.observer.folder + "_escaped.wma");
}

// A save folder that is not there once raised out of the start loop; the row fails alone now.
TEST(EngineFaults, AMissingFolderFailsItsRowWithoutLeavingTheStart)
{
    LoopbackServer server;
    server.addGeneratedFile("/a.mp3", 4000);
    EngineRun run;
    run.observer.folder = run.dir.folder() + "missing/";
    run.engine.queue().append(download::DownloadRow{"1", "a", server.url("/a.mp3"), "4K", "mp3",
                                                    run.observer.folder + "a.mp3"});
    EXPECT_NO_THROW(run.engine.downbtnClick());
    EXPECT_FALSE(run.engine.probing());
    EXPECT_FALSE(run.engine.startRunning());
    EXPECT_TRUE(run.observer.activeRows().empty());
    EXPECT_EQ(run.engine.queue().at(0).status, download::RowStatus::Failed);
    EXPECT_EQ(run.engine.queue().at(0).failure,
              gbk("保存目录不存在：") + run.dir.folder() + "missing");
    EXPECT_FALSE(std::filesystem::exists(run.dir.path / "missing"));
}

TEST(EngineControl, APressDuringTheStartLoopDoesNothing)
{
    LoopbackServer server;
    server.addGeneratedFile("/r0.mp3", 10000);
    server.addGeneratedFile("/r1.mp3", 20000);
    EngineRun run;
    run.addRow(server.url("/r0.mp3"), "r0");
    run.addRow(server.url("/r1.mp3"), "r1");
    int nested = 0;
    run.engine.betweenSteps = [&] {
        ++nested;
        run.engine.downbtnClick(); // re-entered between the start loop's steps
    };
    ASSERT_TRUE(run.startAndWait());
    EXPECT_GE(nested, 2);
    EXPECT_EQ(run.observer.activeRows().size(), 2u);
    EXPECT_TRUE(run.countersAtRest());
}

TEST(EngineControl, APressWhileWorkersRunKeepsTheirCountAndAStopFromTheWaitEndsAll)
{
    LoopbackServer server;
    addSlowFile(server, "/slow.mp3");
    EngineRun run;
    run.addRow(server.url("/slow.mp3"), "slow");
    run.engine.downbtnClick();
    EXPECT_EQ(run.engine.activeWorkers(), 5);
    EXPECT_TRUE(run.engine.DownloadsRunning());

    // A second press passes over the running row, starts the next two and waits for the
    // busy slot of the fourth; the running workers stay counted. A stop (the window closing)
    // from inside that wait ends it all.
    for (int i = 1; i <= 3; ++i) {
        const std::string path = "/f" + std::to_string(i) + ".mp3";
        server.addGeneratedFile(path, 10000);
        run.addRow(server.url(path), "f" + std::to_string(i));
    }
    int waitPumps = 0;
    int lowest = 100;
    run.engine.betweenSteps = [&] {
        lowest = std::min(lowest, run.engine.activeWorkers());
        if (run.engine.currentRow() == 3 && ++waitPumps == 3)
            run.engine.StopAllTransfers();
    };
    run.engine.downbtnClick();
    EXPECT_GE(waitPumps, 3);
    EXPECT_GE(lowest, 5);
    EXPECT_FALSE(run.engine.startRunning());
    EXPECT_TRUE(run.countersAtRest());
    EXPECT_FALSE(run.engine.DownloadsRunning());
    EXPECT_FALSE(run.observer.timerEnabled());
    const auto active = run.observer.activeRows();
    ASSERT_EQ(active.size(), 3u) << "nothing started after the stop";
    EXPECT_EQ(active[0].endNotifications, 5);
}
