#include "http/message_pump.h"

#include <mutex>
#include <thread>

namespace http {
namespace {

constexpr auto kPumpInterval = std::chrono::milliseconds(100);

struct PumpRegistry {
    std::mutex mutex;
    std::function<void()> pump;
    std::thread::id owner;
};

PumpRegistry& pumpRegistry()
{
    static PumpRegistry registry;
    return registry;
}

} // namespace

void installMessagePump(std::function<void()> pump)
{
    auto& r = pumpRegistry();
    std::lock_guard lock(r.mutex);
    r.owner = pump ? std::this_thread::get_id() : std::thread::id{};
    r.pump = std::move(pump);
}

Pacer::Pacer()
{
    auto& r = pumpRegistry();
    std::lock_guard lock(r.mutex);
    if (r.pump && r.owner == std::this_thread::get_id())
        pump_ = r.pump;
}

void Pacer::tick()
{
    if (!pump_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ >= kPumpInterval) {
        last_ = now;
        pump_();
    }
}

} // namespace http
