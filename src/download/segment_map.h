#pragma once
// The bookkeeping of one file's transfer: which byte ranges are still missing, which connection
// works on which, and what is on disk. Each connection (worker) holds at most one span at a
// time; a worker that has finished its span takes an unowned one, or else the upper half of the
// largest span still running when at least `minSplit` bytes are left there, and the worker that
// had it stops at the new boundary. Safe to use from the workers' threads at once.
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

class SegmentMap {
public:
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
    // the upper half of the largest running span with at least minSplit bytes left. None when
    // there is nothing left for it.
    std::optional<Claim> claim(int worker, std::int64_t minSplit);
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
    };
    Span* ownSpan(int worker);

    mutable std::mutex mutex_;
    std::int64_t size_ = 0;
    std::vector<Span> spans_;
};

} // namespace download
