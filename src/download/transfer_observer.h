#pragma once
// What the transfer engine tells whoever shows it (the window's adapter, or a headless record),
// and the few things it asks. The engine knows no window: only this interface.
#include "download/active_file.h"

#include <cstdint>
#include <string>

namespace download {

class TransferObserver {
public:
    virtual ~TransferObserver() = default;

    // ---- asked when "开始下载" is pressed, on the thread that presses it ----------------------
    virtual std::string searchText() = 0; // the search words (GBK), for fallback names
    virtual std::string saveFolder() = 0; // SaveFolder (GBK, ends in '/')
    virtual int connectionsPerFile() = 0; // connections a file opens

    // ---- display changes, from the start loop's thread ---------------------------------------
    // Appends the active-list row `index` of a started file ("正在下载", "0", list row) and
    // selects the download-list row and the new active row. The engine numbers the rows:
    // each call's index is one more than the last.
    virtual void addActiveRow(int index, const ActiveFile& file) = 0;
    virtual void setBarsMaximum(std::int64_t maximum) = 0;
    virtual void setTimerEnabled(bool enabled) = 0;
    // One memo line: a row skipped before any transfer began (its name and the reason), or a
    // press that found nothing to fetch.
    virtual void rowSkipped(const std::string& line) = 0;
    // The probe client's end notification.
    virtual void probeEnded() = 0;

    // ---- from any thread; the window carries them to its own thread --------------------------
    // The latest progress event of the client with this tag (status panel 0).
    virtual void progress(int tag, std::int64_t count) = 0;
    // The file of an active row has ended: complete, or failed with its reason. Comes before
    // the end of the file's last worker.
    virtual void fileEnded(int activeRow, const FileOutcome& outcome) = 0;
    // Worker `worker` of `slot`, fetching the file of `activeRow`, has ended and is counted out.
    virtual void workerEnded(int slot, int worker, int activeRow) = 0;

    // ---- decided by the window's adapter on the user-interface thread --------------------------
    // After a change above, no worker runs any more (the final report and the timer's stop).
    virtual void allWorkersEnded() {}
};

} // namespace download
