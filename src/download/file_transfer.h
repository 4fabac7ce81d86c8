#pragma once
// One started file as its workers share it: where it goes, where it comes from, its segment
// map, how many of its workers still run, and whether it has failed (and why). It holds the
// target's lock until it has ended, and says when its resume record is due to be rewritten.
#include "download/resume_record.h"
#include "download/segment_map.h"
#include "download/target_file.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
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
    std::uint64_t rowId = 0;      // the download-queue row the file belongs to
    std::string etag;             // the validators the server announced for the file
    std::string lastModified;
    std::shared_ptr<TargetLock> lock; // held until the file has ended
    // The server's file changed under the transfer: what is on disk is of no use any more.
    std::atomic<bool> changed{false};
    // The user paused the file: when it ends unfinished, its row waits to be continued.
    std::atomic<bool> pauseRequested{false};
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

    // The If-Range line sent with every ranged request (empty without validators).
    std::string ifRangeLine() const
    {
        const std::string value = ifRangeValue(record());
        return value.empty() ? std::string() : "If-Range: " + value;
    }
    // The resume record of what is on disk now.
    ResumeRecord record() const
    {
        return {map.size(), rowAddress, map.missing(), etag, lastModified};
    }

    // `bytes` more arrived; true when this caller is to rewrite the record now (every
    // `everyBytes` or `every`, one caller at a time). The caller holds recordMutex meanwhile.
    bool recordDue(std::int64_t bytes, std::int64_t everyBytes, std::chrono::milliseconds every)
    {
        const std::int64_t unsaved = unsavedBytes_.fetch_add(bytes) + bytes;
        const std::int64_t now = Clock::now().time_since_epoch().count();
        const std::int64_t due =
            lastSaved_.load() + std::chrono::duration_cast<Clock::duration>(every).count();
        if (unsaved < everyBytes && now < due)
            return false;
        unsavedBytes_.store(0);
        lastSaved_.store(now);
        return true;
    }
    std::mutex recordMutex; // one writer of the record at a time

private:
    using Clock = std::chrono::steady_clock;
    std::atomic<std::int64_t> unsavedBytes_{0};
    std::atomic<std::int64_t> lastSaved_{Clock::now().time_since_epoch().count()};
    mutable std::mutex mutex_;
    bool failed_ = false;
    std::string reason_;
    std::string lastError_;
};

} // namespace download
