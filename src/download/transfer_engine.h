#pragma once
// The transfer engine: "开始下载" walks the download list from the resume row, learns each
// file's size with a probe on IdHTTP1, waits for the row's slot (row index mod 3), creates the
// target file and hands the file to that slot, which fetches it in up to five byte ranges on
// worker threads (tmp3download), each with its own HTTP client.
//
// Plain C++: threads, sockets and files, no widgets. The window sees the engine through a
// TransferObserver; the window's adapter carries every display change that a worker thread
// asks for onto the user-interface thread.
#include "http/http_client.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace download {

// A download-list row as the engine reads it (GBK texts).
struct DownloadRow {
    std::string caption;  // the result row's number text
    std::string name;     // sub-item 0
    std::string address;  // sub-item 1
    std::string sizeText; // sub-item 2
    std::string typeText; // sub-item 3
    std::string savePath; // sub-item 4
};

// The file behind one row of the active list, as it was when its slot started it. Completion
// reports are written from this record, so deleting download-list rows meanwhile does not
// change what a report says.
struct ActiveFile {
    int listRow = 0;        // the download-list row index ("相应序列")
    DownloadRow row;        // that row's texts at the start
    std::string targetPath; // where the file was written (the save path or the fallback name)
};

class TransferObserver {
public:
    virtual ~TransferObserver() = default;

    // ---- asked on the user-interface thread ---------------------------------------------------
    virtual int downloadRowCount() = 0;
    virtual DownloadRow downloadRow(int index) = 0;
    virtual std::string searchText() = 0; // the search box Edit1 (GBK)
    virtual std::string saveFolder() = 0; // SaveFolder (GBK, ends in '/')
    virtual int connectionsPerFile() = 0; // the value of Edit2
    virtual bool quitConfirmed() = 0;     // QuitConfirmed
    virtual void processMessages() = 0;   // let the window process its pending messages

    // ---- display changes made on the user-interface thread -----------------------------------
    // Appends the active-list row of a started file ("正在下载", "0", list row), selects the
    // download-list row and the new active row; returns the new row's index.
    virtual int addActiveRow(const ActiveFile& file) = 0;
    virtual void setBarsMaximum(std::int64_t maximum) = 0;
    virtual void setTimerEnabled(bool enabled) = 0;

    // ---- from any thread; the window carries them to its own thread --------------------------
    // The latest progress event of the client with this tag (status panel 0).
    virtual void progress(int tag, std::int64_t count) = 0;
    // Worker `worker` of `slot` has ended; slotFree when it was the slot's last running worker,
    // allEnded when no worker of any slot runs any more.
    virtual void workerEnded(int slot, int worker, int activeRow, bool slotFree, bool allEnded) = 0;
};

class TransferEngine {
public:
    static constexpr int Slots = 3;
    static constexpr int MaxWorkers = 5;
    static constexpr int ClientRoom = 11;
    static constexpr int ProbeTag = 6789;

    TransferEngine();
    // Stops every transfer and waits for the worker threads.
    ~TransferEngine();
    TransferEngine(const TransferEngine&) = delete;
    TransferEngine& operator=(const TransferEngine&) = delete;

    void setObserver(TransferObserver* observer) { observer_ = observer; }

    // ---- engine state --------------------------------------------------------------------------
    // User-interface thread only:
    int ResumeRow = 0;
    int CurrentRow = 0;
    std::int64_t FileSize = 0;
    std::array<std::int64_t, Slots> SlotSize{};
    int ConnectedCount = 0;
    std::array<int, Slots> SlotRow{};
    std::string HostPath;
    std::string TargetPath;
    bool Probing = false;
    int ElapsedSeconds = 0;
    std::int64_t LastByteSum = 0;
    std::vector<ActiveFile> activeFiles; // one per active-list row, same index
    // Shared with the worker threads:
    std::atomic<int> ActiveWorkers{0};
    std::array<std::atomic<int>, Slots> SlotWorkers{};
    std::array<std::array<std::atomic<std::int64_t>, MaxWorkers>, Slots> WorkerBytes{};
    // The clients of each slot's current file; a slot's set is replaced when it starts another
    // file, after the threads of the previous one have finished.
    std::array<std::array<std::unique_ptr<http::HttpClient>, ClientRoom>, Slots> SlotClients;
    // The probe client (tag 6789).
    http::HttpClient IdHTTP1;

    // ---- operations of the user-interface thread ------------------------------------------------
    // The start loop of "开始下载". A press while a start loop is still running (re-entered
    // through the window's message processing) does nothing.
    void downbtnClick();
    bool startRunning() const { return startRunning_; }
    void StartSlot(int s);
    bool DownloadsRunning() const;
    // Ends every running transfer: disconnects the probe and every worker client, stops a
    // running start loop before its next step, disables the timer and waits until every worker
    // thread has finished.
    void StopAllTransfers();
    // The same without touching the window (for the window's own teardown).
    void shutdown();
    bool stopping() const { return stopRequested_.load(); }

    // ---- notifications ----------------------------------------------------------------------
    // Begin of the probe client: records the size and cuts the probe short.
    void IdHTTP1WorkBegin(http::HttpClient& sender, int mode, std::int64_t countMax);
    // Progress of the probe client and of every worker client (on the thread of the request).
    void IdHTTP1Work(http::HttpClient& sender, int mode, std::int64_t count);
    // End of the probe client; and, called by each worker exactly once when it has finished
    // (its range on disk, whatever failed), the end of that worker.
    void IdHTTP1WorkEnd(http::HttpClient& sender, int mode);

    // Blocks until no worker runs or the time is up; true when none runs. For headless use.
    bool waitIdle(std::chrono::milliseconds timeout);
    // Called with each new worker client and its index just before its connect (tests use it
    // to point a client at a refused port).
    std::function<void(http::HttpClient& client, int index)> prepareWorkerClient;
    // Size of the write buffer of each worker (bytes); memory stays bounded by 15 of them.
    std::size_t workerBufferSize = 512 * 1024;

private:
    void handleRow();
    bool waitForSlot(int s);
    void joinSlotThreads(int s);
    void stopAndJoin();
    void notifyWorkerEnded();

    TransferObserver* observer_ = nullptr;
    bool startRunning_ = false;
    std::atomic<bool> stopRequested_{false};
    std::string hostOfRow_;
    int portOfRow_ = 80;
    DownloadRow rowBeingStarted_;

    std::mutex threadsMutex_;
    std::array<std::vector<std::thread>, Slots> slotThreads_;
    std::mutex endedMutex_;
    std::condition_variable ended_;
};

} // namespace download
