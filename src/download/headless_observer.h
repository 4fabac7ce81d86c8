#pragma once
// The engine without a window: the active list and the memo are records that tests and the
// benchmark read (the download list is the engine's queue). Safe to call from worker threads.
#include "download/transfer_engine.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace download {

class HeadlessObserver : public TransferObserver {
public:
    // Inputs (set before a start, read on the starting thread).
    std::string search;
    std::string folder;
    int connections = 5;

    struct ActiveRow {
        ActiveFile file;
        std::string status; // GBK status text
        int endNotifications = 0;
        int fileEndNotifications = 0;
    };
    std::vector<ActiveRow> activeRows() const;
    // The memo: a line per skipped row, two per failed file (GBK).
    std::vector<std::string> memoLines() const;
    bool timerEnabled() const;

    std::string searchText() override { return search; }
    std::string saveFolder() override { return folder; }
    int connectionsPerFile() override { return connections; }
    void addActiveRow(int index, const ActiveFile& file) override;
    // A headless run has no bars, no probe display and no status bar.
    void setBarsMaximum(std::int64_t) override {}
    void setTimerEnabled(bool enabled) override;
    void rowSkipped(const std::string& line) override;
    void probeEnded() override {}
    void progress(int, std::int64_t) override {}
    void fileEnded(int activeRow, const FileOutcome& outcome) override;
    void workerEnded(int slot, int worker, int activeRow) override;

private:
    mutable std::mutex mutex_;
    std::vector<ActiveRow> active_;
    std::vector<std::string> memo_;
    bool timerEnabled_ = false;
};

} // namespace download
