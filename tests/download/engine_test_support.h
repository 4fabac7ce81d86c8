#pragma once
// A headless engine over a temporary music folder, for the engine's network tests.
#include "core/gbk.h"
#include "download/headless_observer.h"
#include "download/transfer_engine.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
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
    }
    ~EngineRun()
    {
        engine.shutdown();
        engine.setObserver(nullptr);
    }

    // Appends a download-list row whose save path is the folder + name + "." + type.
    std::string addRow(const std::string& url, const std::string& name,
                       const std::string& type = "mp3")
    {
        download::DownloadRow row;
        row.caption = std::to_string(observer.rows.size() + 1);
        row.name = name;
        row.address = url;
        row.sizeText = "1M";
        row.typeText = type;
        row.savePath = dir.folder() + name + "." + type;
        observer.rows.push_back(row);
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
        return engine.ActiveWorkers.load() == 0 && engine.SlotWorkers[0].load() == 0 &&
               engine.SlotWorkers[1].load() == 0 && engine.SlotWorkers[2].load() == 0;
    }
};

} // namespace enginetest
