// What the engine does so that nothing is lost and nothing goes wrong silently: a resumed file
// is the same file (validators and If-Range), one writer per target, a record that follows the
// transfer, bounds on endless and crawling answers.
#include "core/gbk.h"
#include "download/queue_file.h"
#include "download/resume_record.h"
#include "download/tick_report.h"
#include "engine_test_support.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace enginetest;
using testsupport::Behaviour;
using testsupport::LoopbackServer;

namespace {

std::int64_t missingBytes(const download::ResumeRecord& record)
{
    std::int64_t n = 0;
    for (const auto& m : record.missing)
        n += m.stop - m.start;
    return n;
}

// count bytes of one letter: two "files" of the same length that differ in every byte.
std::string filled(char c, std::size_t count)
{
    return std::string(count, c);
}

} // namespace

TEST(EngineValidators, AFileThatChangedOnTheServerStartsOverInsteadOfMixingTwoFiles)
{
    const std::size_t size = 400000;
    LoopbackServer server;
    Behaviour first; // the old file: every answer brings 10,000 bytes, then nothing
    first.etag = "\"old\"";
    first.lastModified = "Mon, 07 Dec 2026 10:00:00 GMT";
    first.stallAfterBytes = 10000;
    server.addFixedFile("/song.mp3", filled('o', size), first);
    EngineRun run;
    run.stallAfterASecond();
    const std::string path = run.addRow(server.url("/song.mp3"), "song");
    ASSERT_TRUE(run.startAndWait());
    auto record = download::readResumeRecord(path);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->etag, "\"old\"");
    EXPECT_EQ(record->lastModified, "Mon, 07 Dec 2026 10:00:00 GMT");
    EXPECT_LT(missingBytes(*record), static_cast<std::int64_t>(size));
    // Every ranged request named the file it continues.
    EXPECT_EQ(server.lastRequestFor("/song.mp3").header("If-Range"), "\"old\"");

    // The server now has other bytes of the same length: the file starts over and holds only
    // the new bytes.
    Behaviour second;
    second.etag = "\"new\"";
    server.addFixedFile("/song.mp3", filled('n', size), second);
    download::HeadlessObserver again;
    again.folder = run.dir.folder();
    download::TransferEngine engine;
    engine.queue().append(run.engine.queue().at(0).entry);
    engine.setObserver(&again);
    engine.setSettings(EngineRun::quickSettings());
    engine.downbtnClick();
    ASSERT_TRUE(engine.waitIdle(std::chrono::minutes(1)));
    engine.setObserver(nullptr);
    EXPECT_EQ(readFile(path), filled('n', size));
    EXPECT_EQ(again.activeRows().at(0).status, download::statusEnded());
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

TEST(EngineValidators, AChangeUnderARunningTransferFailsTheFileAndTheNextFetchStartsOver)
{
    LoopbackServer server;
    Behaviour probe; // the probe sees one file, every ranged request another
    probe.etag = "\"one\"";
    probe.requestsBeforeNext = 1;
    Behaviour changed;
    changed.etag = "\"two\"";
    probe.next = std::make_shared<Behaviour>(changed);
    server.addGeneratedFile("/c.mp3", 300000, probe);
    EngineRun run;
    const std::string path = run.addRow(server.url("/c.mp3"), "c");
    ASSERT_TRUE(run.startAndWait());
    EXPECT_EQ(run.observer.activeRows().at(0).status, download::statusFailed());
    const auto memo = run.observer.memoLines();
    ASSERT_EQ(memo.size(), 2u);
    EXPECT_EQ(memo[1], gbk("服务器上的文件已改变，下次从头下载"));
    const auto record = download::readResumeRecord(path);
    ASSERT_TRUE(record);
    EXPECT_EQ(missingBytes(*record), 300000) << "nothing of the old file is kept";
}

TEST(EngineLocks, ASecondEngineNeverTouchesATargetAnotherOneIsWriting)
{
    LoopbackServer server;
    Behaviour slow;
    slow.trickleChunk = 16 * 1024;
    slow.trickleDelay = std::chrono::milliseconds(20);
    server.addGeneratedFile("/first.mp3", 600000, slow);
    server.addGeneratedFile("/second.mp3", 200000);
    EngineRun one;
    const std::string target = one.addRow(server.url("/first.mp3"), "song");
    one.engine.downbtnClick();
    ASSERT_TRUE(waitFor([&] { return download::resumeRecordExists(target); }));

    // Another engine (as another process would) gets a row of another address with the same
    // save path: the file is taken, so the next free name is used.
    download::HeadlessObserver other;
    other.folder = one.dir.folder();
    download::TransferEngine two;
    two.queue().append({"1", "song", server.url("/second.mp3"), "1M", "mp3", target});
    two.setObserver(&other);
    two.setSettings(EngineRun::quickSettings());
    two.downbtnClick();
    ASSERT_TRUE(two.waitIdle(std::chrono::minutes(1)));
    two.setObserver(nullptr);
    ASSERT_TRUE(one.engine.waitIdle(std::chrono::minutes(1)));

    EXPECT_EQ(other.activeRows().at(0).file.targetPath, one.dir.folder() + "song(1).mp3");
    EXPECT_TRUE(holdsGenerated(one.dir.folder() + "song(1).mp3", 200000));
    EXPECT_TRUE(holdsGenerated(target, 600000)) << "the first file is whole";
    EXPECT_EQ(one.observer.activeRows().at(0).status, download::statusEnded());
}

TEST(EngineRecords, ACrashCostsOnlyWhatArrivedSinceTheRecordWasLastRewritten)
{
    const std::int64_t size = 2000000;
    LoopbackServer server;
    Behaviour stalls; // each connection gets half of its range, then silence: it never ends
    stalls.stallAfterBytes = 200000;
    server.addGeneratedFile("/big.mp3", size, stalls);
    TempDir dataFolder;
    const std::string listPath = dataFolder.folder() + "download-list.txt";
    download::QueueFile listFile(listPath);

    EngineRun run;
    auto settings = EngineRun::quickSettings();
    settings.recordEveryBytes = 64 * 1024;
    settings.recordEvery = std::chrono::hours(1);
    settings.bufferSize = 16 * 1024;
    run.engine.setSettings(settings);
    run.engine.queue().onChanged = [&](const auto& rows, std::uint64_t version) {
        listFile.save(rows, version);
    };
    const std::string path = run.addRow(server.url("/big.mp3"), "big");
    run.engine.downbtnClick();
    // What a crash leaves behind: the record as it is on disk while the file runs, and the
    // file (which holds at least what the record counts as there).
    std::string crashRecord;
    ASSERT_TRUE(waitFor([&] {
        const auto record = download::readResumeRecord(path);
        if (!record || missingBytes(*record) > size - 300000)
            return false;
        crashRecord = readFile(download::resumeRecordPath(path));
        return true;
    }));
    const std::string crashFile = readFile(path);
    const std::string crashList = readFile(listPath);
    run.engine.shutdown();
    {
        std::ofstream(path, std::ios::binary) << crashFile;
        std::ofstream(download::resumeRecordPath(path), std::ios::binary) << crashRecord;
        std::ofstream(listPath, std::ios::binary) << crashList;
    }
    const auto record = download::readResumeRecord(path);
    ASSERT_TRUE(record);
    const std::int64_t missing = missingBytes(*record);

    // The program starts again: the list comes back from its file with the row waiting, and
    // a press fetches only what the record says is missing.
    server.setBehaviour("/big.mp3", {});
    const std::int64_t servedBefore = server.bodyBytesServed("/big.mp3");
    download::HeadlessObserver again;
    again.folder = run.dir.folder();
    download::TransferEngine engine;
    engine.queue().replace(download::QueueFile(listPath).load().rows);
    ASSERT_EQ(engine.queue().size(), 1);
    EXPECT_EQ(engine.queue().at(0).status, download::RowStatus::Waiting);
    EXPECT_EQ(engine.queue().at(0).savePath(), path);
    engine.setObserver(&again);
    engine.setSettings(EngineRun::quickSettings());
    engine.downbtnClick();
    ASSERT_TRUE(engine.waitIdle(std::chrono::minutes(1)));
    engine.setObserver(nullptr);
    EXPECT_TRUE(holdsGenerated(path, size));
    const std::int64_t served = server.bodyBytesServed("/big.mp3") - servedBefore;
    EXPECT_LE(served, missing + 5) << "each range asks one byte past its end at most";
    EXPECT_EQ(engine.queue().at(0).status, download::RowStatus::Complete);
}

TEST(EngineBounds, AnEndlessBodyStopsAtTheLimitAndSaysWhy)
{
    LoopbackServer server;
    Behaviour chunked;
    chunked.framing = testsupport::BodyFraming::Chunked;
    server.addGeneratedFile("/endless.mp3", 3000000, chunked);
    EngineRun run;
    auto settings = EngineRun::quickSettings();
    settings.unknownLengthLimit = 1000000;
    run.engine.setSettings(settings);
    const std::string path = run.addRow(server.url("/endless.mp3"), "endless");
    ASSERT_TRUE(run.startAndWait());
    EXPECT_EQ(run.observer.activeRows().at(0).status, download::statusFailed());
    EXPECT_LE(std::filesystem::file_size(path), 1000000u);
    EXPECT_EQ(run.observer.memoLines(),
              (std::vector<std::string>{"endless" + gbk("不能下载"),
                                        gbk("文件超过1000000字节仍未结束")}));
}

TEST(EngineBounds, ACrawlingOrStallingServerIsGivenUpEvenWhenEachTryBringsSomething)
{
    LoopbackServer server;
    Behaviour crawl; // far below the lowest speed, but never silent long enough to stall
    crawl.trickleChunk = 512;
    crawl.trickleDelay = std::chrono::milliseconds(50);
    server.addGeneratedFile("/crawl.mp3", 400000, afterTheProbe(crawl));
    Behaviour stall; // every answer brings 100,000 bytes and then nothing
    stall.stallAfterBytes = 100000;
    server.addGeneratedFile("/stall.mp3", 2000000, afterTheProbe(stall));
    EngineRun run;
    auto settings = EngineRun::quickSettings();
    settings.stallTime = std::chrono::seconds(1);
    settings.lowestSpeed = 64 * 1024;
    settings.lowestSpeedTime = std::chrono::milliseconds(300);
    run.engine.setSettings(settings);
    run.observer.connections = 1;
    const std::string crawling = run.addRow(server.url("/crawl.mp3"), "crawl");
    const std::string stalling = run.addRow(server.url("/stall.mp3"), "stall");
    ASSERT_TRUE(run.startAndWait());
    const auto active = run.observer.activeRows();
    ASSERT_EQ(active.size(), 2u);
    EXPECT_EQ(active[0].status, download::statusFailed());
    EXPECT_EQ(active[1].status, download::statusFailed());
    const auto crawlRecord = download::readResumeRecord(crawling);
    const auto stallRecord = download::readResumeRecord(stalling);
    ASSERT_TRUE(crawlRecord && stallRecord);
    EXPECT_GT(missingBytes(*crawlRecord), 0);
    // Five tries of at most 100,000 bytes each (fewer when a slow machine makes one of them
    // crawl too), then the file fails.
    EXPECT_GE(missingBytes(*stallRecord), 2000000 - 5 * 100000);
    EXPECT_LT(missingBytes(*stallRecord), 2000000);
    bool saysWhy = false;
    for (const std::string& line : run.observer.memoLines())
        saysWhy = saysWhy || line.find(gbk("连接速度低于每秒65536字节")) != std::string::npos;
    EXPECT_TRUE(saysWhy);
}
