#pragma once
// The window's message pump, called while a blocking call runs on the thread that installed it.
#include <chrono>
#include <functional>

namespace http {

void installMessagePump(std::function<void()> pump);

// Calls the pump of the thread it was made on (if that thread installed one) at most every
// 100 ms, well inside the promised 200 ms; calls nothing on any other thread.
class Pacer {
public:
    Pacer();
    void tick();
    bool active() const { return static_cast<bool>(pump_); }

private:
    std::function<void()> pump_;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

} // namespace http
