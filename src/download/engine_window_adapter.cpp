#include "download/engine_window_adapter.h"

namespace download {

EngineWindowAdapter::EngineWindowAdapter(TransferEngine& engine,
                                         std::unique_ptr<TransferObserver> window, Post post)
    : engine_(engine), window_(std::move(window)), post_(std::move(post)),
      windowThread_(std::this_thread::get_id())
{
    engine_.setObserver(this);
}

EngineWindowAdapter::~EngineWindowAdapter()
{
    engine_.shutdown();
    engine_.setObserver(nullptr);
}

void EngineWindowAdapter::run(std::function<void()> change)
{
    if (onWindowThread())
        change();
    else
        post_(std::move(change));
}

void EngineWindowAdapter::setBarsMaximum(std::int64_t maximum)
{
    run([this, maximum] {
        bars.maximum = maximum;
        window_->setBarsMaximum(maximum);
    });
}

void EngineWindowAdapter::setTimerEnabled(bool enabled)
{
    run([this, enabled] { window_->setTimerEnabled(enabled); });
}

void EngineWindowAdapter::progress(int tag, std::int64_t count)
{
    if (onWindowThread()) {
        window_->progress(tag, count);
        return;
    }
    {
        std::lock_guard lock(progressMutex_);
        progressTag_ = tag;
        progressCount_ = count;
        if (progressPosted_)
            return;
        progressPosted_ = true;
    }
    post_([this] {
        int tag = 0;
        std::int64_t count = 0;
        {
            std::lock_guard lock(progressMutex_);
            tag = progressTag_;
            count = progressCount_;
            progressPosted_ = false;
        }
        window_->progress(tag, count);
    });
}

void EngineWindowAdapter::workerEnded(int slot, int worker, int activeRow, bool slotFree,
                                      bool allEnded)
{
    run([this, slot, worker, activeRow, slotFree, allEnded] {
        // By the time this runs on the window's thread a new file may have started: "all
        // ended" holds only if still no worker runs.
        window_->workerEnded(slot, worker, activeRow, slotFree,
                             allEnded && engine_.ActiveWorkers.load() == 0);
    });
}

} // namespace download
