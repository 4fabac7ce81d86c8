#include "player/playback/pcm_queue.h"

#include <algorithm>

namespace playback {

bool PcmQueue::push(const std::int16_t* samples, std::size_t count, const std::atomic<bool>& abort)
{
    while (count > 0) {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [&] { return abort.load() || samples_.size() < capacity_; });
        if (abort.load())
            return false;
        const std::size_t n = std::min(count, capacity_ - samples_.size());
        samples_.insert(samples_.end(), samples, samples + n);
        samples += n;
        count -= n;
    }
    return true;
}

void PcmQueue::finish()
{
    std::lock_guard lock(mutex_);
    finished_ = true;
}

void PcmQueue::wake()
{
    std::lock_guard lock(mutex_); // a waiter between its check and its wait still sees the wake
    room_.notify_all();
}

std::size_t PcmQueue::take(std::int16_t* out, std::size_t count)
{
    std::size_t n = 0;
    {
        std::lock_guard lock(mutex_);
        n = std::min(count, samples_.size());
        if (out)
            std::copy_n(samples_.begin(), n, out);
        samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(n));
    }
    if (n > 0)
        room_.notify_all();
    return n;
}

std::size_t PcmQueue::available() const
{
    std::lock_guard lock(mutex_);
    return samples_.size();
}

bool PcmQueue::finished() const
{
    std::lock_guard lock(mutex_);
    return finished_;
}

bool PcmQueue::drained() const
{
    std::lock_guard lock(mutex_);
    return finished_ && samples_.empty();
}

} // namespace playback
