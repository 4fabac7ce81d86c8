#pragma once
// The transfer engine's own thread, and the commands the window sends it. "开始下载", 继续 and
// 重新下载 run there (the size probes, the waits for a slot, the files' preparation), so the
// window's thread never waits on the network or a disk. Commands that only mark or cut (暂停,
// 删除, 清空列表, a stop) act at once from the caller's thread; the engine's state is safe
// for that. Commands that come while the start loop runs are run between its steps.
#include "download/transfer_engine.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace download {

class EngineThread {
public:
    explicit EngineThread(TransferEngine& engine);
    // Stops the start loop and waits for the thread (the workers are the engine's to join).
    ~EngineThread();
    EngineThread(const EngineThread&) = delete;
    EngineThread& operator=(const EngineThread&) = delete;

    // "开始下载": the observer's inputs are read now, on this thread; the list is walked on the
    // engine's thread. A press while a walk runs cuts the pauses before retries short.
    void start();
    void pause(const std::vector<std::uint64_t>& rowIds);
    // 继续: the rows wait again and start, each when its slot is free.
    void resume(const std::vector<std::uint64_t>& rowIds);
    // 重新下载: the rows start again from byte 0, each when its slot is free.
    void redownload(const std::vector<std::uint64_t>& rowIds);
    // The rows leave the list; a running one stops first, its file and record kept.
    void remove(const std::vector<std::uint64_t>& rowIds);
    void clear();
    // The window's close: the start loop ends, every transfer stops, and this returns once
    // the engine's thread and every worker have finished.
    void stopAll();

    // A command is waiting or running on the engine's thread.
    bool busy() const;
    // Blocks until no command waits or runs (tests, the benchmark); true when none does.
    bool waitUntilIdle(std::chrono::milliseconds timeout);

    // A command ended with an exception the engine does not handle itself (a fault of the
    // program): called on the engine's thread.
    std::function<void(std::exception_ptr)> onFailure;

private:
    void post(std::function<void()> command);
    void run();
    // On the engine's thread, from the start loop: the commands that came meanwhile.
    void runPending();
    void execute(const std::function<void()>& command);
    void endThread();

    TransferEngine& engine_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> commands_;
    int running_ = 0; // commands being run (nested ones count too)
    bool quit_ = false;
    std::thread thread_;
};

} // namespace download
