#pragma once
// One worker (connection) of a file: on its own thread with its own HTTP client it fetches the
// span the segment map gives it, writes it at its offset as it arrives, asks again from the
// first missing byte when a request ends short (after a pause, up to the engine's number of
// tries in a row without progress), and when its span is done takes over more work (an unowned
// span, or the upper half of the largest running one). Whatever fails, it reports its end to
// the engine exactly once, after its data is on disk and its file handle is closed.
#include "download/file_transfer.h"
#include "download/transfer_settings.h"

#include <cstdint>
#include <memory>
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
        std::shared_ptr<FileTransfer> file;
        int index = 0; // the worker's number in its slot (0..4)
        TransferSettings settings;
    };

    explicit tmp3download(Setup setup) : setup_(std::move(setup)) {}
    // Runs the worker to its end on the calling thread. Never throws.
    void Execute();

private:
    // Short: ended early with bytes missing; Slow: ended by a stall or below the lowest speed
    // (a try without progress, whatever it brought).
    enum class Try { Done, Short, Slow, Fatal };
    void run(int fd);
    Try fetch(int fd, std::int64_t start, std::int64_t stop, std::string& buffer);

    Setup setup_;
    std::int64_t receivedBefore_ = 0; // body bytes of this worker's earlier requests
};

} // namespace download
