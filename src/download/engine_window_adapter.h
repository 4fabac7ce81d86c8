#pragma once
// Carries the engine's notifications to the window. The window's own side is a
// TransferObserver that may only be used on the user-interface thread; the adapter forwards
// calls made on that thread directly and posts those made on the engine's or a worker's thread
// to it through `post` (the window passes a queued invocation). Progress events of workers are
// coalesced: only the latest one waits to be shown, so a fast transfer cannot flood the event
// queue.
//
// Whether every worker has ended is decided here, on the window's thread, after each change
// that ends something: posted changes may arrive in any order, and the window's final report
// writes every ended row it has not reported yet, so each finished file gets one report.
#include "download/engine_limits.h"
#include "download/transfer_engine.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace download {

// What the five worker bars show, unscaled (the widgets hold int values).
struct BarState {
    std::int64_t maximum = 100;
    std::array<std::int64_t, kWorkersPerSlot> values{};
};

class EngineWindowAdapter : public TransferObserver {
public:
    using Post = std::function<void(std::function<void()>)>;

    // Made on the user-interface thread. Installs itself as the engine's observer.
    EngineWindowAdapter(TransferEngine& engine, std::unique_ptr<TransferObserver> window,
                        Post post);
    // Stops the engine's workers and waits for them before the window side goes away.
    ~EngineWindowAdapter() override;
    // Replaces the way changes reach the window's thread (set while no transfer runs).
    void setPost(Post post) { post_ = std::move(post); }

    BarState bars;
    // The speed of each running row at the latest tick, and what measures it.
    RowSpeeds rowSpeeds;
    std::map<std::uint64_t, std::int64_t> speeds;

    std::string searchText() override { return window_->searchText(); }
    std::string saveFolder() override { return window_->saveFolder(); }
    int connectionsPerFile() override { return window_->connectionsPerFile(); }
    void addActiveRow(int index, const ActiveFile& file) override;
    void setBarsMaximum(std::int64_t maximum) override;
    void setTimerEnabled(bool enabled) override;
    void rowSkipped(const std::string& line) override;
    void probeEnded() override;
    void progress(int tag, std::int64_t count) override;
    void fileEnded(int activeRow, const FileOutcome& outcome) override;
    void workerEnded(int slot, int worker, int activeRow) override;

private:
    bool onWindowThread() const { return std::this_thread::get_id() == windowThread_; }
    void run(std::function<void()> change);
    // On the window's thread, after a change that ended something.
    void checkAllEnded();

    TransferEngine& engine_;
    std::unique_ptr<TransferObserver> window_;
    Post post_;
    std::thread::id windowThread_;

    std::mutex progressMutex_;
    bool progressPosted_ = false;
    int progressTag_ = 0;
    std::int64_t progressCount_ = 0;
};

} // namespace download
