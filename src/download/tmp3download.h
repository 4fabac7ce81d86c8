#pragma once
// One worker of a slot: fetches one byte range of a file on its own thread with its own HTTP
// client and writes it at its offset into the target file as it arrives. Whatever fails, it
// reports its end to the engine exactly once, after its data is on disk.
#include "download/transfer_plan.h"

#include <cstdint>
#include <string>

namespace http {
class HttpClient;
}

namespace download {

class TransferEngine;

class tmp3download {
public:
    struct Setup {
        TransferEngine* engine = nullptr;
        http::HttpClient* client = nullptr; // owned by the engine; used by this worker only
        std::int64_t rangeLength = 0;       // L
        int index = 0;                      // i
        bool last = false;                  // whether the range is the file's last
        std::string targetPath;             // the file-system path (converted before the start)
        std::string address;                // the download address, as in the list
        std::int64_t fileSize = 0;
        std::size_t bufferSize = 512 * 1024;
    };

    explicit tmp3download(Setup setup) : setup_(std::move(setup)) {}
    ByteRange range() const;
    // Runs the worker to its end on the calling thread. Never throws.
    void Execute();

private:
    Setup setup_;
};

} // namespace download
