#include "download/segment_map.h"

#include "download/transfer_plan.h"

#include <algorithm>
#include <limits>

namespace download {

SegmentMap::SegmentMap(std::int64_t size, const std::vector<ByteSpan>& missing) : size_(size)
{
    if (size < 0) {
        spans_.push_back({0, 0, std::numeric_limits<std::int64_t>::max(), -1});
        return;
    }
    for (const ByteSpan& m : missing)
        if (m.start < m.stop)
            spans_.push_back({m.start, m.start, m.stop, -1});
}

SegmentMap::SegmentMap(SegmentMap&& other) noexcept
    : size_(other.size_), spans_(std::move(other.spans_)),
      finishedSpeed_(std::move(other.finishedSpeed_))
{
}

SegmentMap SegmentMap::split(std::int64_t size, int connections)
{
    std::vector<ByteSpan> spans;
    for (int i = 0; i < connections; ++i) {
        const ByteRange r = workerRange(size, connections, i);
        // Neighbouring ranges share their boundary byte: each span ends where the next begins.
        spans.push_back({r.start, i == connections - 1 ? size : r.end});
    }
    SegmentMap map(size, spans);
    for (std::size_t i = 0; i < map.spans_.size(); ++i)
        map.spans_[i].owner = static_cast<int>(i);
    return map;
}

std::int64_t SegmentMap::size() const
{
    std::lock_guard lock(mutex_);
    return size_;
}

SegmentMap::Span* SegmentMap::ownSpan(int worker)
{
    for (Span& s : spans_)
        if (s.owner == worker && s.next < s.stop)
            return &s;
    return nullptr;
}

bool SegmentMap::worthSplitting(const Span& s, const SplitRule& rule, Clock::time_point now)
{
    const std::int64_t left = s.stop - s.taken;
    if (left >= std::max<std::int64_t>(rule.minBytes, 2))
        return true;
    if (left < std::max<std::int64_t>(rule.minSlowBytes, 2) || rule.slowTail.count() <= 0)
        return false;
    const auto watched = now - s.since;
    if (watched < rule.slowTail)
        return false;
    // left / (done / watched) > slowTail, without dividing by a speed that may be zero.
    const double done = static_cast<double>(s.taken - s.sinceOffset);
    return static_cast<double>(left) * std::chrono::duration<double>(watched).count() >
           done * std::chrono::duration<double>(rule.slowTail).count();
}

double SegmentMap::speedOf(const Span& s, Clock::time_point now)
{
    const double seconds = std::chrono::duration<double>(now - s.since).count();
    if (s.since == Clock::time_point{} || seconds <= 0)
        return 0;
    return static_cast<double>(std::max(s.next, s.taken) - s.sinceOffset) / seconds;
}

std::int64_t SegmentMap::splitPoint(const Span& s, int worker, Clock::time_point now) const
{
    const std::int64_t left = s.stop - s.taken;
    const auto index = static_cast<std::size_t>(worker);
    const double claimerSpeed = index < finishedSpeed_.size() ? finishedSpeed_[index] : 0.0;
    const double ownerSpeed = speedOf(s, now);
    double ownerShare = 0.5;
    if (ownerSpeed > 0 && claimerSpeed > 0)
        ownerShare = std::min(0.5, ownerSpeed / (ownerSpeed + claimerSpeed));
    // The owner keeps at least one byte: its connection is already fetching it.
    const auto kept = static_cast<std::int64_t>(static_cast<double>(left) * ownerShare);
    return s.taken + std::clamp<std::int64_t>(kept, 1, left - 1);
}

std::optional<SegmentMap::Claim> SegmentMap::claim(int worker, const SplitRule& rule,
                                                   Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    if (Span* own = ownSpan(worker)) {
        own->taken = own->next;
        if (own->since == Clock::time_point{}) {
            own->since = now;
            own->sinceOffset = own->next;
        }
        return Claim{own->next, own->stop};
    }
    for (Span& s : spans_)
        if (s.owner == worker) {
            if (s.next >= s.stop && worker >= 0) {
                if (finishedSpeed_.size() <= static_cast<std::size_t>(worker))
                    finishedSpeed_.resize(static_cast<std::size_t>(worker) + 1, 0.0);
                finishedSpeed_[static_cast<std::size_t>(worker)] = speedOf(s, now);
            }
            s.owner = -1; // finished spans are nobody's
        }
    for (Span& s : spans_) {
        if (s.owner < 0 && s.next < s.stop) {
            s.owner = worker;
            s.taken = s.next;
            s.since = now;
            s.sinceOffset = s.next;
            return Claim{s.next, s.stop};
        }
    }
    if (size_ < 0)
        return std::nullopt;
    Span* largest = nullptr;
    for (Span& s : spans_)
        if (s.owner >= 0 && worthSplitting(s, rule, now) &&
            (!largest || s.stop - s.taken > largest->stop - largest->taken))
            largest = &s;
    if (!largest)
        return std::nullopt;
    const std::int64_t mid = splitPoint(*largest, worker, now);
    Span upper{mid, mid, largest->stop, worker, now, mid};
    largest->stop = mid;
    spans_.push_back(upper); // invalidates `largest`
    return Claim{upper.next, upper.stop};
}

std::int64_t SegmentMap::reserve(int worker, std::int64_t offset, std::int64_t n)
{
    std::lock_guard lock(mutex_);
    Span* s = ownSpan(worker);
    if (!s || offset >= s->stop)
        return 0;
    const std::int64_t keep = std::min(n, s->stop - offset);
    s->taken = std::max(s->taken, offset + keep);
    return keep;
}

void SegmentMap::written(int worker, std::int64_t upTo)
{
    std::lock_guard lock(mutex_);
    for (Span& s : spans_)
        if (s.owner == worker && upTo > s.next && upTo <= std::max(s.stop, s.taken)) {
            s.next = std::min(upTo, s.stop);
            s.taken = std::max(s.taken, s.next);
            return;
        }
}

void SegmentMap::finishUnknown(std::int64_t total)
{
    std::lock_guard lock(mutex_);
    if (size_ >= 0)
        return;
    size_ = total;
    spans_.clear();
}

void SegmentMap::release(int worker)
{
    std::lock_guard lock(mutex_);
    for (Span& s : spans_)
        if (s.owner == worker) {
            s.owner = -1;
            s.taken = s.next;
        }
}

std::int64_t SegmentMap::remaining(int worker) const
{
    std::lock_guard lock(mutex_);
    for (const Span& s : spans_)
        if (s.owner == worker && s.next < s.stop)
            return s.stop - s.next;
    return 0;
}

bool SegmentMap::complete() const
{
    std::lock_guard lock(mutex_);
    if (size_ < 0)
        return false;
    return std::all_of(spans_.begin(), spans_.end(),
                       [](const Span& s) { return s.next >= s.stop; });
}

std::int64_t SegmentMap::missingBytes() const
{
    std::int64_t sum = 0;
    for (const ByteSpan& m : missing())
        sum += m.stop - m.start;
    return sum;
}

std::vector<ByteSpan> SegmentMap::missing() const
{
    std::vector<ByteSpan> out;
    {
        std::lock_guard lock(mutex_);
        for (const Span& s : spans_)
            if (s.next < s.stop)
                out.push_back({s.next, s.stop});
    }
    std::sort(out.begin(), out.end(),
              [](const ByteSpan& a, const ByteSpan& b) { return a.start < b.start; });
    return out;
}

} // namespace download
