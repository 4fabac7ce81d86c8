#pragma once
// The transfer engine: "开始下载" walks the download list from the resume row, learns each
// file's size with a probe on IdHTTP1 (following redirects), waits for the row's slot (row index
// mod 3), prepares the target file and hands the file to that slot, which fetches it on up to
// five connections, one worker thread (tmp3download) and HTTP client each. The file's segment
// map says which bytes are still missing and who works on them; ranges that end short are asked
// again, finished connections take over half of a running range, and a file counts as complete
// only when every byte is on disk.
//
// Plain C++: threads, sockets and files, no widgets. The start loop runs on the thread that calls
// it: the window's EngineThread (engine_thread.h) runs it on a thread of its own, tests and the
// benchmark call it directly. The window reads the engine's state from its own thread (the
// counters the tick needs are atomic, the rest is guarded) and sees the engine through a
// TransferObserver (transfer_observer.h); the window's adapter carries every display change
// onto the user-interface thread.
#include "download/active_file.h"
#include "download/download_queue.h"
#include "download/engine_limits.h"
#include "download/file_transfer.h"
#include "download/resume_record.h"
#include "download/row_state.h"
#include "download/target_file.h"
#include "download/tick_report.h"
#include "download/transfer_observer.h"
#include "download/transfer_settings.h"
#include "http/http_client.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace download {

class TransferEngine {
public:
    static constexpr int kSlots = kSlotCount;
    static constexpr int kMaxWorkers = kWorkersPerSlot;
    static constexpr int kClientRoom = 11;
    static constexpr int kProbeTag = 6789;

    TransferEngine();
    // Stops every transfer and waits for the worker threads.
    ~TransferEngine();
    TransferEngine(const TransferEngine&) = delete;
    TransferEngine& operator=(const TransferEngine&) = delete;

    void setObserver(TransferObserver* observer) { observer_ = observer; }
    // The download list the engine works from. The resume row follows its removals.
    DownloadQueue& queue() { return queue_; }
    // Set before a start (tests shorten the times).
    void setSettings(TransferSettings settings) { settings_ = std::move(settings); }
    const TransferSettings& settings() const { return settings_; }

    // ---- engine state, read only (any thread)
    // ----------------------------------------------------
    int resumeRow() const { return queue_.markAt(resumeMark_); }
    int currentRow() const { return queue_.markAt(currentMark_); }
    std::int64_t fileSize() const { return FileSize.load(); }
    std::int64_t slotSize(int s) const { return SlotSize[s].load(); }
    int connectedCount() const { return ConnectedCount.load(); }
    int slotRow(int s) const { return SlotRow[s].load(); }
    bool probing() const { return Probing.load(); }
    int elapsedSeconds() const { return ElapsedSeconds.load(); }
    std::int64_t lastByteSum() const { return LastByteSum.load(); }
    // The target of the latest started file (the start loop's thread).
    const std::string& targetPath() const { return TargetPath; }
    // The file of an active-list row as it was started (empty for an unknown row).
    ActiveFile activeFile(int activeRow) const;
    bool startRunning() const { return startRunning_.load(); }
    // How far each running file has come, by its list row's id.
    std::vector<RowProgress> runningProgress() const;
    // Any thread:
    int activeWorkers() const { return ActiveWorkers.load(); }
    int slotWorkers(int s) const { return SlotWorkers[s].load(); }
    std::int64_t workerBytes(int s, int k) const { return WorkerBytes[s][k].load(); }
    bool stopping() const { return stopRequested_.load(); }

    // ---- operations ------------------------------------------------------------------------
    // "开始下载" on the calling thread: prepareStart, then the start loop.
    void downbtnClick();
    // The press itself, on the thread that owns the observer: the observer's inputs (search
    // words, save folder, connections) are read for the start loop, a stop asked before is
    // forgotten, and pauses before retries are cut short.
    void prepareStart();
    // The start loop of "开始下载": from the resume row to the list's end, every row that is
    // neither complete nor running is fetched (resumed where its file has a record), then the
    // rows continued meanwhile. When the loop reaches the end the resume row goes back to the
    // list's start, so the next press looks at every row again; a press that finds nothing to
    // fetch says so in the memo. A press while a start loop is still running (re-entered from
    // betweenSteps) does nothing but cut the pauses before retries short.
    void runStartLoop();
    // Starts the rows continued (or fetched again) since, each when its slot is free; nothing
    // when a start loop runs (it takes them before it ends).
    void startContinued();
    // Called by the start loop between its steps (between rows, and while it waits for a slot)
    // on its own thread: the window's engine thread runs the commands that came meanwhile.
    std::function<void()> betweenSteps;
    // Ranges waiting for their next try are asked again at once (a press of "开始下载" or "停").
    void cutRetryPausesShort();
    bool DownloadsRunning() const;
    // Asks everything to stop, from any thread, without waiting: a running start loop ends
    // before its next step, the probe and every running file's connections are cut.
    void requestStop();
    // Ends every running transfer: disconnects the probe and every worker client, stops a
    // running start loop before its next step, disables the timer and waits until every worker
    // thread has finished. What did not arrive stays recorded for a later resume. Called on
    // the start loop's thread, or once no start loop runs.
    void StopAllTransfers();
    // The same without touching the window (for the window's own teardown).
    void shutdown();
    // Stops the file of the list row with this id, if it runs: its connections close, what
    // arrived stays on disk with its record for a later resume, and it ends as stopped. The
    // other files go on. Nothing happens for a row that does not run.
    void stopRow(std::uint64_t rowId);
    // The row actions (row_state.h says which apply to a row; others are ignored). 暂停 (any
    // thread): a waiting or stopped row waits to be continued; a running or starting one
    // stops first, its file and record kept. 继续 (any thread): a paused row waits again and
    // is taken by startContinued; true when it was. 重新下载 (the start loop's thread): a
    // failed, stopped or complete row starts from byte 0, over its own file, and is taken by
    // startContinued; true when it was.
    void pauseRow(std::uint64_t rowId);
    bool continueRow(std::uint64_t rowId);
    bool redownloadRow(std::uint64_t rowId);

    // The timer's share: one more second since the start button was pressed (returns it); the
    // counters the tick turns into speeds and bars; the byte sum the tick has shown.
    int countSecond() { return ++ElapsedSeconds; }
    TickInput tickInput() const;
    void tickShown(std::int64_t byteSum) { LastByteSum = byteSum; }

    // The error handler's share: a transfer error reached the handler. When a probe is under
    // way and its row is not the last of `rowCount`, the probe is cut and the resume row moves
    // past it; true when it moved.
    bool moveOnFromFailedProbe(int rowCount);
    // After the handler: nothing is being probed any more once no start loop runs.
    void settleAfterError();

    // ---- notifications ----------------------------------------------------------------------
    // Begin of the probe client: records the size and cuts the probe short.
    void IdHTTP1WorkBegin(http::HttpClient& sender, int mode, std::int64_t countMax);
    // Progress of the probe client and of every worker client (on the thread of the request);
    // a worker's count is what it has received for its file so far.
    void IdHTTP1Work(http::HttpClient& sender, int mode, std::int64_t count);
    // End of the probe client. (A worker's end comes through workerFinished, once per worker,
    // when its data is on disk.)
    void IdHTTP1WorkEnd(http::HttpClient& sender, int mode);

    // ---- for the workers ----------------------------------------------------------------------
    // The file fails (the first reason stands): its other connections stop.
    void failFile(FileTransfer& file, std::string reason);
    // Waits before a retry; false when the transfer is to end instead (a stop, or the file
    // failed). A new press of the start button cuts the pause short.
    bool pauseBeforeRetry(FileTransfer& file, std::chrono::milliseconds pause);
    // The worker has ended: when it was the file's last, the file's fate is settled (its
    // resume record kept or removed) and reported; then the worker is counted out (its slot's
    // and the overall count) and its end reported.
    void workerFinished(FileTransfer& file, http::HttpClient& client);
    // `bytes` more of the file arrived: when its resume record is due, the calling worker's
    // buffer is written out (flushOwn), the file's data forced to disk and the record rewritten.
    void recordProgress(FileTransfer& file, std::int64_t bytes,
                        const std::function<void()>& flushOwn);
    // "还缺 N 字节" with the last error seen, for a file that stays incomplete (GBK).
    std::string missingBytesLine(const FileTransfer& file) const;

    // Blocks until no worker runs or the time is up; true when none runs. For headless use.
    bool waitIdle(std::chrono::milliseconds timeout);
    // Called with each new worker client and its index just before its connect (tests use it
    // to point a client at a refused port).
    std::function<void(http::HttpClient& client, int index)> prepareWorkerClient;

private:
    friend struct TransferEngineTestAccess;

    bool probeRow(const DownloadRow& row);
    void handleRow(int index, const QueueRow& queued);
    // The rows continued since, each handled in turn; how many were taken.
    int startContinuedRows();
    void checkpoint();
    void StartSlot(int s, int listRow);
    // Claims a probed row for its start: false (and nothing changes) when the row was paused
    // or deleted meanwhile.
    bool claimRow(std::uint64_t rowId);
    // The file of the claimed row is known: it becomes the running file of its slot, ending
    // at once when it was paused or stopped while it started.
    void registerFile(int s, const std::shared_ptr<FileTransfer>& file);
    // Waits until the slot is free; false on a stop, or when the row was paused or deleted.
    bool waitForSlot(int s, std::uint64_t rowId);
    // The row is still in the list and not paused.
    bool rowWanted(std::uint64_t rowId) const;
    void forgetContinued(std::uint64_t rowId);
    // Opens up to `wanted` connections of the slot; the first connect's error when none opened.
    std::string connectSlotClients(int s, int wanted);
    void startWorkers(int s, const std::shared_ptr<FileTransfer>& file);
    void finishFile(FileTransfer& file);
    void failWithoutWorkers(FileTransfer& file, const std::string& reason);
    void joinSlotThreads(int s);
    // The running file of the list row with this id, if any (stateMutex_ held).
    std::shared_ptr<FileTransfer> runningFile(std::uint64_t rowId) const;
    int addActiveFile(const ActiveFile& active);
    void stopAndJoin();
    void wakeWaiters();
    void skipRow(const DownloadRow& row, const std::string& reason);
    // The row fails before its transfer began: the memo line and the row's status and reason.
    void failRow(std::uint64_t id, const DownloadRow& row, const std::string& reason);

    DownloadQueue queue_;
    // Where the start loop resumes and where it is: marks in the queue follow its removals.
    const DownloadQueue::Mark resumeMark_ = queue_.addMark();
    const DownloadQueue::Mark currentMark_ = queue_.addMark();
    // Read from any thread:
    std::atomic<std::int64_t> FileSize{0};
    std::array<std::atomic<std::int64_t>, kSlots> SlotSize{};
    std::atomic<int> ConnectedCount{0};
    std::array<std::atomic<int>, kSlots> SlotConnected{}; // the connections of each slot's file
    std::array<std::atomic<int>, kSlots> SlotRow{};
    std::atomic<bool> Probing{false};
    std::atomic<int> ElapsedSeconds{0};
    std::atomic<std::int64_t> LastByteSum{0};
    // The start loop's thread only:
    std::string HostPath;
    std::string TargetPath;
    int probeSlot_ = 0; // the slot of the row being probed
    // Every target this engine has written to, and the list row it was written for.
    std::map<std::string, std::uint64_t> targetsOfRun_;

    // Guarded by stateMutex_:
    struct StartOptions {
        std::string searchText; // GBK, for fallback names
        std::string saveFolder; // GBK, ends in '/'
        int connections = kWorkersPerSlot;
    };
    enum class StartingEnd { None, Pause, Stop };
    mutable std::mutex stateMutex_;
    StartOptions options_;
    std::vector<ActiveFile> activeFiles_;  // one per active-list row, same index
    std::vector<std::uint64_t> continued_; // rows for startContinued, in the order given
    std::uint64_t startingRow_ = 0;        // the row claimed and not yet running
    StartingEnd startingEnd_ = StartingEnd::None;
    // Shared with the worker threads:
    std::atomic<int> ActiveWorkers{0};
    // Workers that have not yet left workerFinished: they may still call the observer after
    // ActiveWorkers counted them out, so waitIdle waits for this one.
    std::atomic<int> workersInside_{0};
    std::array<std::atomic<int>, kSlots> SlotWorkers{};
    std::array<std::array<std::atomic<std::int64_t>, kMaxWorkers>, kSlots> WorkerBytes{};
    // The clients of each slot's current file; a slot's set is replaced when it starts another
    // file, after the threads of the previous one have finished.
    std::array<std::array<std::unique_ptr<http::HttpClient>, kClientRoom>, kSlots> SlotClients;
    std::array<std::shared_ptr<FileTransfer>, kSlots> slotFiles_; // guarded by stateMutex_
    // The probe client (tag 6789).
    http::HttpClient IdHTTP1;

    TransferObserver* observer_ = nullptr;
    TransferSettings settings_;
    std::atomic<bool> startRunning_{false};
    std::string lastSkipReason_; // why the latest skipped row was skipped (GBK)
    std::atomic<bool> stopRequested_{false};
    struct RowStart {
        DownloadRow row;
        std::uint64_t rowId = 0;
        std::string address; // where the bytes come from (after redirects)
        std::string scheme = "http";
        std::string host;
        int port = 80;
        bool unknownLength = false;
        std::string etag; // the validators the probe's answer carried
        std::string lastModified;
        std::optional<ResumeRecord> resume;
        std::shared_ptr<TargetLock> lock;
    } rowStart_;

    std::mutex threadsMutex_;
    std::array<std::vector<std::thread>, kSlots> slotThreads_;
    std::mutex wakeMutex_;
    std::condition_variable wake_; // a worker ended, a stop, a file failed, a new press
    std::uint64_t pressCount_ = 0; // guarded by wakeMutex_
};

} // namespace download
