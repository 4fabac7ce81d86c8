#pragma once
// Decoded samples on their way from the decoding thread to the output: a bounded queue. The
// decoder waits while it is full; the output takes what it needs without waiting.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace playback {

class PcmQueue {
public:
    explicit PcmQueue(std::size_t capacitySamples) : capacity_(capacitySamples) {}

    // Producer: appends the samples, waiting for room; false when abort was set meanwhile.
    bool push(const std::int16_t* samples, std::size_t count, const std::atomic<bool>& abort);
    // Producer: no more samples will come.
    void finish();
    // Wakes a producer waiting for room (after abort was set).
    void wake();

    // Consumer: moves up to count samples into out (or drops them when out is null).
    std::size_t take(std::int16_t* out, std::size_t count);
    std::size_t available() const;
    bool finished() const; // finish() was called
    bool drained() const;  // finished and empty

private:
    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::deque<std::int16_t> samples_;
    std::size_t capacity_;
    bool finished_ = false;
};

} // namespace playback
