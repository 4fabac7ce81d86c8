#pragma once
// The bookkeeping of one file's transfer: which byte ranges are still missing, which connection
// works on which, and what is on disk. Each connection (worker) holds at most one span at a
// time; a worker that has finished its span takes an unowned one, or else the upper half of the
// largest span still running when at least `minSplit` bytes are left there (or fewer, when the
// connection on it is slow: see SplitRule), and the worker that had it stops at the new
// boundary. Safe to use from the workers' threads at once.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace download {

// Bytes [start, stop) of a file.
struct ByteSpan {
    std::int64_t start = 0;
    std::int64_t stop = 0;
    bool operator==(const ByteSpan&) const = default;
};

// When a running span is worth splitting. Splitting costs the bytes already on their way to the
// old connection past the new boundary, so small spans are split only when their connection is
// slow enough that the file would wait for it.
struct SplitRule {
    std::int64_t minBytes = 1 << 20; // a span with this much left is always worth splitting
    // A span with at least minSlowBytes left is worth splitting too when its connection, watched
    // for slowTail at least, would need longer than slowTail for the rest at its speed so far.
    std::int64_t minSlowBytes = 1 << 20;
    std::chrono::milliseconds slowTail{0}; // 0: sizes alone decide
};

class SegmentMap {
public:
    using Clock = std::chrono::steady_clock;

    // A file of `size` bytes of which `missing` is still to fetch (sorted, disjoint spans
    // inside the file). A size below 0 is a file of unknown length, fetched whole by one worker.
    SegmentMap(std::int64_t size, const std::vector<ByteSpan>& missing);
    // The whole file missing, split among `connections` as the engine first splits a file:
    // span i starts at i * L (L = size div connections), the last one runs to the end.
    static SegmentMap split(std::int64_t size, int connections);
    // Moved only before any worker uses it.
    SegmentMap(SegmentMap&& other) noexcept;

    std::int64_t size() const;

    struct Claim {
        std::int64_t start = 0; // the first byte missing
        std::int64_t stop = 0;  // one past the span's last byte (for now: a split may lower it)
    };
    // The span `worker` is to fetch next: its own unfinished span, else an unowned one, else
    // the upper part of the largest running span worth splitting. None when there is nothing
    // left for it. The upper part is half the span's rest, or more when both connections' speeds
    // are known and the span's own connection is the slower: then each gets the share it can
    // fetch in the same time, so the file does not wait for the slow one.
    std::optional<Claim> claim(int worker, const SplitRule& rule, Clock::time_point now);
    std::optional<Claim> claim(int worker, std::int64_t minSplit)
    {
        return claim(worker, SplitRule{minSplit, minSplit, {}}, Clock::now());
    }
    // How many of n bytes arriving at offset `worker` keeps: up to the current end of its span
    // (0 when the span ends there). The bytes kept are the worker's to write.
    std::int64_t reserve(int worker, std::int64_t offset, std::int64_t n);
    // The bytes of `worker`'s span before `upTo` are on disk.
    void written(int worker, std::int64_t upTo);
    // A file of unknown length ended cleanly after `total` bytes: its length is now known and
    // nothing is missing.
    void finishUnknown(std::int64_t total);
    // The worker holds no span any more (what it did not fetch stays missing).
    void release(int worker);

    // Bytes of `worker`'s span not yet on disk (0 when it holds none).
    std::int64_t remaining(int worker) const;
    bool complete() const;
    std::int64_t missingBytes() const;
    std::vector<ByteSpan> missing() const;

private:
    struct Span {
        std::int64_t next = 0;  // first byte not on disk
        std::int64_t taken = 0; // first byte not yet handed to a writer (next <= taken)
        std::int64_t stop = 0;
        int owner = -1;
        Clock::time_point since{}; // when the owner began on it (its speed is measured from here)
        std::int64_t sinceOffset = 0;
    };
    Span* ownSpan(int worker);
    static bool worthSplitting(const Span& s, const SplitRule& rule, Clock::time_point now);
    static double speedOf(const Span& s, Clock::time_point now); // bytes a second; 0 unknown
    std::int64_t splitPoint(const Span& s, int worker, Clock::time_point now) const;

    mutable std::mutex mutex_;
    std::int64_t size_ = 0;
    std::vector<Span> spans_;
    std::vector<double> finishedSpeed_; // per worker: the speed of its last finished span
};

} // namespace download
