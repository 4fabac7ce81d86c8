#pragma once
// How hard the engine tries: when a connection counts as stalled, how often and after which
// pauses a range is asked again, when a running range is worth splitting, how much each worker
// buffers. Tests shorten the times to milliseconds.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace download {

struct TransferSettings {
    // A request that brings no byte for this long is given up (and tried again).
    std::chrono::milliseconds stallTime{20000};
    // Tries of one range in a row without progress before the file fails.
    int maxTries = 5;
    // The pause before the 2nd, 3rd, ... try; the last one repeats.
    std::vector<std::chrono::milliseconds> retryPauses{
        std::chrono::milliseconds(500), std::chrono::milliseconds(1000),
        std::chrono::milliseconds(2000), std::chrono::milliseconds(4000)};
    // A finished connection takes over half of a running range when this much is left...
    std::int64_t minSplit = 1 << 20;
    // ...or at least this much, when the connection on it would need longer than slowTail for
    // the rest at its speed so far: a 400 KB/s connection would otherwise keep up to 1 MiB to
    // itself, 2.6 s on which the whole file waits.
    std::int64_t minSlowSplit = std::int64_t{256} * 1024;
    std::chrono::milliseconds slowTail{250};
    // The write buffer of each worker (bytes): memory stays bounded by fifteen of them.
    std::size_t bufferSize = std::size_t{512} * 1024;
    // The resume record of a running file is rewritten after this much time or this many bytes,
    // so a crash costs at most that much again; no more often, since each record first forces
    // the file's data to disk, which stalls the worker that writes it.
    std::chrono::milliseconds recordEvery{3000};
    std::int64_t recordEveryBytes = std::int64_t{32} << 20;
    // A file whose server announces no length fails once this much of it has arrived.
    std::int64_t unknownLengthLimit = std::int64_t{4} << 30;
    // A request that brings less than lowestSpeed bytes per second over lowestSpeedTime is cut
    // and counts as a try without progress, as does one cut by a stall, whatever it brought.
    std::int64_t lowestSpeed = 1024;
    std::chrono::milliseconds lowestSpeedTime{60000};
};

} // namespace download
