#pragma once
// The engine without a window: the download list is a vector of rows, the active list and the
// displays are records that tests and the benchmark read. Safe to call from worker threads.
#include "download/transfer_engine.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace download {

class HeadlessObserver : public TransferObserver {
public:
    // Inputs (set before a start, read on the starting thread).
    std::vector<DownloadRow> rows;
    std::string search;
    std::string folder;
    int connections = 5;
    bool quit = false;
    // Called from processMessages (the start loop's message processing), if set.
    std::function<void()> onProcessMessages;

    struct ActiveRow {
        ActiveFile file;
        std::string status; // GBK status text
        int endNotifications = 0;
    };
    std::vector<ActiveRow> activeRows() const;
    int timerEnables() const;
    bool timerEnabled() const;
    int allEndedEvents() const;
    std::string lastProgressText() const;

    int downloadRowCount() override;
    DownloadRow downloadRow(int index) override;
    std::string searchText() override { return search; }
    std::string saveFolder() override { return folder; }
    int connectionsPerFile() override { return connections; }
    bool quitConfirmed() override { return quit; }
    void processMessages() override;
    int addActiveRow(const ActiveFile& file) override;
    void setBarsMaximum(std::int64_t) override {}
    void setTimerEnabled(bool enabled) override;
    void progress(int tag, std::int64_t count) override;
    void workerEnded(int slot, int worker, int activeRow, bool slotFree, bool allEnded) override;

private:
    mutable std::mutex mutex_;
    std::vector<ActiveRow> active_;
    int timerEnables_ = 0;
    bool timerEnabled_ = false;
    int allEnded_ = 0;
    int lastTag_ = 0;
    std::int64_t lastCount_ = -1;
};

} // namespace download
