#pragma once
// How the engine cuts a download address and splits a file among its connections, and how the
// clients' tags name their slot and worker.
#include <cstdint>
#include <string>
#include <string_view>

namespace download {

// Host and port of a download address "http://host[:port]/path". ok is false when the address
// has no "/" after the host, an empty host or a port that is not a number from 1 to 65535.
struct AddressParts {
    std::string hostPath; // the address without its scheme ("host[:port]/path")
    std::string host;
    int port = 80;
    bool ok = false;
};
AddressParts parseDownloadAddress(std::string_view address);

// The byte range worker i asks for: start i * L, end (i + 1) * L, or the file size itself for
// the file's last range (one past the last byte; the server sends up to the last byte). Both
// ends are inclusive, so neighbouring ranges share one byte.
struct ByteRange {
    std::int64_t start = 0;
    std::int64_t end = 0;
};
ByteRange workerRange(std::int64_t fileSize, int connections, int index);
// The bytes a worker may keep: from its start to its end, but never past the file's last byte.
std::int64_t expectedRangeLength(const ByteRange& range, std::int64_t fileSize);

// Tags: 100 + k, 200 + k, 300 + k for worker k of slot 0, 1, 2.
int workerTag(int slot, int worker);
// The slot of a worker tag (0..2), -1 for any other tag.
int tagSlot(int tag);
// The worker of a worker tag (tag minus the slot's base), -1 for any other tag.
int tagWorker(int tag);
// Status panel 0 for a progress event: "文件<s+1>线程<k+1>：<count>" for a worker tag, the bare
// count for any other client (GBK).
std::string progressPanelText(int tag, std::int64_t count);

// The value of the connections box: its integer value limited to 1..5; 5 when it holds none.
int connectionsFromText(std::string_view text);

} // namespace download
