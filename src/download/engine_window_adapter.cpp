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

void EngineWindowAdapter::addActiveRow(int index, const ActiveFile& file)
{
    run([this, index, file] { window_->addActiveRow(index, file); });
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

void EngineWindowAdapter::rowSkipped(const std::string& line)
{
    run([this, line] { window_->rowSkipped(line); });
}

void EngineWindowAdapter::probeEnded()
{
    run([this] {
        window_->probeEnded();
        checkAllEnded();
    });
}

void EngineWindowAdapter::fileEnded(int activeRow, const FileOutcome& outcome)
{
    run([this, activeRow, outcome] {
        window_->fileEnded(activeRow, outcome);
        checkAllEnded();
    });
}

void EngineWindowAdapter::workerEnded(int slot, int worker, int activeRow)
{
    run([this, slot, worker, activeRow] {
        window_->workerEnded(slot, worker, activeRow);
        checkAllEnded();
    });
}

void EngineWindowAdapter::checkAllEnded()
{
    // A worker is counted out before its end is posted, so the last post of the last worker
    // finds the count at 0 (unless a new file has started meanwhile; its own end comes later).
    if (engine_.activeWorkers() == 0)
        window_->allWorkersEnded();
}

} // namespace download
