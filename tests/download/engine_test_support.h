#pragma once
// A headless engine over a temporary music folder, for the engine's network tests.
#include "core/gbk.h"
#include "download/headless_observer.h"
#include "download/transfer_engine.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>

namespace enginetest {

struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        char pattern[] = "/tmp/corvale-engine-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string folder() const { return path.string() + "/"; }
};

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct EngineRun {
    TempDir dir;
    download::HeadlessObserver observer;
    download::TransferEngine engine;

    EngineRun()
    {
        observer.folder = dir.folder();
        observer.search = "abc";
        engine.setObserver(&observer);
        engine.setSettings(quickSettings());
    }
    // Retries after pauses of milliseconds (a connection counts as stalled after the usual
    // time; tests of stalls shorten it with stallAfter).
    static download::TransferSettings quickSettings()
    {
        download::TransferSettings s;
        s.retryPauses = {std::chrono::milliseconds(5), std::chrono::milliseconds(10),
                         std::chrono::milliseconds(20), std::chrono::milliseconds(40)};
        return s;
    }
    ~EngineRun()
    {
        engine.shutdown();
        engine.setObserver(nullptr);
    }

    // A connection silent for a second counts as stalled (long enough for a slow sanitizer
    // build, short enough for a test).
    void stallAfterASecond()
    {
        auto s = quickSettings();
        s.stallTime = std::chrono::seconds(1);
        engine.setSettings(s);
    }

    // Appends a download-list row whose save path is the folder + name + "." + type.
    std::string addRow(const std::string& url, const std::string& name,
                       const std::string& type = "mp3")
    {
        download::DownloadRow row;
        row.caption = std::to_string(engine.queue().size() + 1);
        row.name = name;
        row.address = url;
        row.sizeText = "1M";
        row.typeText = type;
        row.savePath = dir.folder() + name + "." + type;
        engine.queue().append(row);
        return row.savePath;
    }

    // Presses the start button and waits until every worker has ended.
    bool startAndWait(std::chrono::seconds limit = std::chrono::seconds(120))
    {
        engine.downbtnClick();
        return engine.waitIdle(limit);
    }

    // Every worker counted out: no slot busy, no worker counted as running.
    bool countersAtRest() const
    {
        return engine.activeWorkers() == 0 && engine.slotWorkers(0) == 0 &&
               engine.slotWorkers(1) == 0 && engine.slotWorkers(2) == 0;
    }
};

inline std::string gbk(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

// The probe gets the file as it is; every later request is answered by `then`.
inline testsupport::Behaviour afterTheProbe(const testsupport::Behaviour& then)
{
    testsupport::Behaviour probe;
    probe.requestsBeforeNext = 1;
    probe.next = std::make_shared<testsupport::Behaviour>(then);
    return probe;
}

// A file of five million bytes served in a slow trickle: about ten seconds per range.
inline void addSlowFile(testsupport::LoopbackServer& server, const std::string& path)
{
    testsupport::Behaviour slow;
    slow.trickleChunk = 2000;
    slow.trickleDelay = std::chrono::milliseconds(20);
    server.addGeneratedFile(path, 5000000, slow);
}

// Polls until done() holds or a minute has passed; false when it never did.
inline bool waitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 6000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

// The file is the loopback server's generated content of that size, byte for byte.
inline ::testing::AssertionResult holdsGenerated(const std::string& path, std::int64_t size)
{
    const std::string data = readFile(path);
    if (static_cast<std::int64_t>(data.size()) != size)
        return ::testing::AssertionFailure()
               << path << " has " << data.size() << " bytes, expected " << size;
    if (const std::int64_t bad = testsupport::firstGeneratedMismatch(0, data); bad >= 0)
        return ::testing::AssertionFailure() << path << " differs at byte " << bad;
    return ::testing::AssertionSuccess();
}

} // namespace enginetest
