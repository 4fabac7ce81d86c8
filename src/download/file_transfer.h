#pragma once
// One started file as its workers share it: where it goes, where it comes from, its segment
// map, how many of its workers still run, and whether it has failed (and why).
#include "download/segment_map.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace http {
class HttpClient;
}

namespace download {

class FileTransfer {
public:
    FileTransfer(int slot, int activeRow, std::string nativePath, std::string address,
                 std::string rowAddress, SegmentMap map)
        : slot(slot), activeRow(activeRow), nativePath(std::move(nativePath)),
          address(std::move(address)), rowAddress(std::move(rowAddress)), map(std::move(map))
    {
    }

    const int slot;
    const int activeRow;
    const std::string nativePath; // the target file (file-system path)
    const std::string address;    // where the bytes come from (after redirects)
    const std::string rowAddress; // the download list's address (kept in the resume record)
    SegmentMap map;
    std::atomic<int> workersLeft{0};
    std::vector<http::HttpClient*> clients; // set before the workers start
    std::string expectedMd5;                // checked once every byte is on disk; empty: none

    // The first failure decides the file's fate; later ones change nothing. True when this
    // call was the first.
    bool fail(std::string reason)
    {
        std::lock_guard lock(mutex_);
        if (failed_)
            return false;
        failed_ = true;
        reason_ = std::move(reason);
        return true;
    }
    bool failed() const
    {
        std::lock_guard lock(mutex_);
        return failed_;
    }
    std::string failureReason() const
    {
        std::lock_guard lock(mutex_);
        return reason_;
    }
    // The latest error of a try, for the failure line when bytes stay missing.
    void noteError(std::string text)
    {
        std::lock_guard lock(mutex_);
        lastError_ = std::move(text);
    }
    std::string lastError() const
    {
        std::lock_guard lock(mutex_);
        return lastError_;
    }

private:
    mutable std::mutex mutex_;
    bool failed_ = false;
    std::string reason_;
    std::string lastError_;
};

} // namespace download
