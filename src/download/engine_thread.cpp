#include "download/engine_thread.h"

namespace download {

EngineThread::EngineThread(TransferEngine& engine) : engine_(engine)
{
    engine_.betweenSteps = [this] { runPending(); };
}

EngineThread::~EngineThread()
{
    engine_.requestStop();
    endThread();
    engine_.betweenSteps = nullptr;
}

void EngineThread::post(std::function<void()> command)
{
    {
        std::lock_guard lock(mutex_);
        commands_.push_back(std::move(command));
        if (!thread_.joinable()) {
            quit_ = false;
            thread_ = std::thread([this] { run(); });
        }
    }
    wake_.notify_all();
}

void EngineThread::run()
{
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return quit_ || !commands_.empty(); });
        if (quit_)
            return;
        std::function<void()> command = std::move(commands_.front());
        commands_.pop_front();
        ++running_;
        lock.unlock();
        execute(command);
        lock.lock();
        --running_;
        idle_.notify_all();
    }
}

void EngineThread::runPending()
{
    while (true) {
        std::function<void()> command;
        {
            std::lock_guard lock(mutex_);
            if (quit_ || commands_.empty())
                return;
            command = std::move(commands_.front());
            commands_.pop_front();
            ++running_;
        }
        execute(command);
        std::lock_guard lock(mutex_);
        --running_;
    }
}

void EngineThread::execute(const std::function<void()>& command)
{
    try {
        command();
    } catch (...) {
        if (onFailure)
            onFailure(std::current_exception());
    }
}

void EngineThread::endThread()
{
    std::thread thread;
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        commands_.clear();
        thread.swap(thread_);
    }
    wake_.notify_all();
    if (thread.joinable())
        thread.join();
    std::lock_guard lock(mutex_);
    idle_.notify_all();
}

void EngineThread::start()
{
    engine_.prepareStart();
    post([this] { engine_.runStartLoop(); });
}

void EngineThread::pause(const std::vector<std::uint64_t>& rowIds)
{
    for (std::uint64_t id : rowIds)
        engine_.pauseRow(id);
}

void EngineThread::resume(const std::vector<std::uint64_t>& rowIds)
{
    bool any = false;
    for (std::uint64_t id : rowIds)
        any = engine_.continueRow(id) || any;
    if (any)
        post([this] { engine_.startContinued(); });
}

void EngineThread::redownload(const std::vector<std::uint64_t>& rowIds)
{
    post([this, rowIds] {
        bool any = false;
        for (std::uint64_t id : rowIds)
            any = engine_.redownloadRow(id) || any;
        if (any)
            engine_.startContinued();
    });
}

void EngineThread::remove(const std::vector<std::uint64_t>& rowIds)
{
    for (std::uint64_t id : rowIds) {
        engine_.stopRow(id);
        engine_.queue().removeRow(id);
    }
}

void EngineThread::clear()
{
    for (const QueueRow& row : engine_.queue().rows())
        engine_.stopRow(row.id);
    engine_.queue().clear();
}

void EngineThread::stopAll()
{
    engine_.requestStop();
    endThread();
    engine_.StopAllTransfers();
}

bool EngineThread::busy() const
{
    std::lock_guard lock(mutex_);
    return running_ > 0 || !commands_.empty();
}

bool EngineThread::waitUntilIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return running_ == 0 && commands_.empty(); });
}

} // namespace download
