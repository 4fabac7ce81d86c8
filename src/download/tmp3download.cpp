#include "download/tmp3download.h"

#include "core/gbk.h"
#include "download/range_writer.h"
#include "download/transfer_engine.h"
#include "http/http_client.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace download {

namespace {

// The most body bytes past a span's end that a worker reads to keep its connection.
constexpr std::int64_t kDrainLimit = std::int64_t{64} * 1024;

// The answer's head is not the asked bytes; what() is the reason (GBK).
class RefusedAnswer : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// The server answered a ranged request whose If-Range named the file with a whole other file.
struct FileChanged {};
// A body without a length ran past the limit.
struct TooLong {};

// How much a worker writes before it asks the system to start writing it to disk.
constexpr std::int64_t kWriteBehindStep = std::int64_t{4} << 20;

// Starts the disk write of each stretch of the worker's span as the worker leaves it behind,
// without waiting for it: the data goes to disk while the transfer runs, so the resume
// record's data sync and the final one at the file's end find little left to write.
class WriteBehind {
public:
    // `lag`: the most the worker's buffer holds back from the file.
    WriteBehind(int fd, std::int64_t start, std::int64_t lag)
        : fd_(fd), start_(start), from_(start), lag_(lag)
    {
    }
    // `position`: the file offset the worker's bytes have reached (buffered ones included).
    void reached(std::int64_t position)
    {
        if (position - from_ < kWriteBehindStep)
            return;
        // From where the previous stretch may still have been in the buffer.
        const std::int64_t first = std::max(start_, from_ - lag_);
        ::sync_file_range(fd_, static_cast<off_t>(first), static_cast<off_t>(position - first),
                          SYNC_FILE_RANGE_WRITE);
        from_ = position;
    }

private:
    int fd_;
    std::int64_t start_;
    std::int64_t from_;
    std::int64_t lag_;
};

// The client's error for a connection that brought nothing for its stall time.
bool isStall(std::string_view message)
{
    return message.find("# 110") != std::string_view::npos;
}

// Measures a request's speed over windows of `time`; a window below `lowest` bytes per second
// makes it too slow.
class SpeedWatch {
public:
    SpeedWatch(std::int64_t lowest, std::chrono::milliseconds time) : lowest_(lowest), time_(time)
    {
    }
    // `count` body bytes so far; true once a whole window went by below the lowest speed.
    bool tooSlow(std::int64_t count)
    {
        const auto now = Clock::now();
        if (lowest_ <= 0 || time_.count() <= 0 || now - since_ < time_)
            return false;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - since_);
        const bool slow = (count - countAtSince_) * 1000 < lowest_ * ms.count();
        since_ = now;
        countAtSince_ = count;
        return slow;
    }

private:
    using Clock = std::chrono::steady_clock;
    std::int64_t lowest_;
    std::chrono::milliseconds time_;
    Clock::time_point since_ = Clock::now();
    std::int64_t countAtSince_ = 0;
};

std::string systemText(int err)
{
    char text[256];
    return ::strerror_r(err, text, sizeof text); // the GNU form returns the text
}

std::string writeFailureLine(const std::string& systemReason)
{
    return core::utf8ToGbk("写入文件出错：") + systemReason;
}

// An error message on one line (the client's socket errors hold a line break).
std::string oneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    std::string out;
    for (char c : text)
        if (c != ' ' || out.empty() || out.back() != ' ')
            out += c;
    return out;
}

} // namespace

void tmp3download::Execute()
{
    // Fifteen busy workers on two cores would keep the window's thread waiting for a core:
    // the workers yield to it (a thread's own nice value; raising it needs no privilege).
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 10);
    FileTransfer& file = *setup_.file;
    TransferEngine& engine = *setup_.engine;
    http::HttpClient& client = *setup_.client;
    const int fd = ::open(file.nativePath.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        engine.failFile(file, writeFailureLine(systemText(errno)));
    } else {
        run(fd);
        if (::close(fd) != 0)
            engine.failFile(file, writeFailureLine(systemText(errno)));
    }
    file.map.release(setup_.index);
    client.Disconnect();
    engine.workerFinished(file, client);
}

void tmp3download::run(int fd)
{
    FileTransfer& file = *setup_.file;
    TransferEngine& engine = *setup_.engine;
    const TransferSettings& settings = setup_.settings;
    std::string buffer(std::max<std::size_t>(settings.bufferSize, 4096), '\0');
    int triesWithoutProgress = 0;
    while (!engine.stopping() && !file.failed()) {
        const auto claim = file.map.claim(
            setup_.index, SplitRule{settings.minSplit, settings.minSlowSplit, settings.slowTail},
            SegmentMap::Clock::now());
        if (!claim)
            return; // nothing left for this connection
        const std::int64_t missingBefore = file.map.remaining(setup_.index);
        const Try result = fetch(fd, claim->start, claim->stop, buffer);
        if (result == Try::Fatal)
            return;
        if (result == Try::Done) {
            triesWithoutProgress = 0;
            continue;
        }
        const bool progress =
            result == Try::Short && file.map.remaining(setup_.index) < missingBefore;
        triesWithoutProgress = progress ? 0 : triesWithoutProgress + 1;
        if (triesWithoutProgress >= settings.maxTries) {
            engine.failFile(file, engine.missingBytesLine(file));
            return;
        }
        if (triesWithoutProgress > 0) {
            const auto& pauses = settings.retryPauses;
            const auto pause =
                pauses.empty()
                    ? std::chrono::milliseconds(0)
                    : pauses[std::min<std::size_t>(triesWithoutProgress - 1, pauses.size() - 1)];
            if (!engine.pauseBeforeRetry(file, pause))
                return;
        }
    }
}

tmp3download::Try tmp3download::fetch(int fd, std::int64_t start, std::int64_t stop,
                                      std::string& buffer)
{
    FileTransfer& file = *setup_.file;
    TransferEngine& engine = *setup_.engine;
    http::HttpClient& client = *setup_.client;
    const std::int64_t size = file.map.size();
    const bool ranged = size >= 0;
    // The end sent is the span's end itself: neighbouring spans share their boundary byte in
    // the request, and only the span's own bytes are kept.
    client.rangeStart = ranged ? start : 0;
    client.rangeEnd = ranged ? stop : 0;
    client.stallTimeout = setup_.settings.stallTime;
    const std::string ifRange = ranged ? file.ifRangeLine() : std::string();
    client.extraHeaders.clear();
    if (!ifRange.empty())
        client.extraHeaders.push_back(ifRange);
    SpeedWatch speed(setup_.settings.lowestSpeed, setup_.settings.lowestSpeedTime);
    bool slow = false;

    std::optional<RangeWriter> writer;
    WriteBehind writeBehind(fd, start, static_cast<std::int64_t>(buffer.size()));
    std::int64_t received = 0;
    const std::int64_t before = receivedBefore_;
    auto cutIfOver = [&engine, &file](http::HttpClient& c) {
        if (engine.stopping() || file.failed())
            c.Disconnect(); // quietly, from inside the notification
    };
    client.onWorkBegin = [&](http::HttpClient& c, int, std::int64_t) {
        const http::ResponseHead& head = c.response();
        const AnswerCheck check = checkAnswer(head.status, head.chunked ? -1 : head.contentLength,
                                              head.contentRange, start, size);
        // A whole-file answer to If-Range: the same file when its validators are still ours
        // (a server without ranges), else another one.
        if (!ifRange.empty() && head.status >= 200 && head.status < 300 && head.status != 206 &&
            (c.responseHeader("ETag") != file.etag ||
             c.responseHeader("Last-Modified") != file.lastModified))
            throw FileChanged{};
        if (!check.ok)
            throw RefusedAnswer(check.reason);
        writer.emplace(fd, file.map, setup_.index, start, check.skip, buffer);
        cutIfOver(c);
    };
    client.onWork = [&](http::HttpClient& c, int mode, std::int64_t count) {
        engine.IdHTTP1Work(c, mode, before + count);
        cutIfOver(c);
        if (speed.tooSlow(count)) {
            slow = true;
            c.Disconnect();
        }
    };
    const std::int64_t limit = setup_.settings.unknownLengthLimit;
    bool spanDone = false;
    auto sink = [&](std::string_view chunk) {
        received += static_cast<std::int64_t>(chunk.size());
        if (!writer || spanDone)
            return;
        if (!ranged && writer->position() + static_cast<std::int64_t>(chunk.size()) > limit)
            throw TooLong{};
        try {
            writer->write(chunk);
        } catch (const SpanEnded&) {
            // The rest of the answer is not this span's. When little of it is left it is read
            // and dropped, so that the connection stays open for the worker's next range.
            const std::int64_t length = client.response().contentLength;
            if (client.response().chunked || length < 0 || length - received > kDrainLimit)
                throw;
            spanDone = true;
            return;
        }
        writeBehind.reached(writer->position());
        engine.recordProgress(file, static_cast<std::int64_t>(chunk.size()),
                              [&writer] { writer->flush(); });
    };

    Try result = Try::Short;
    try {
        try {
            client.Get(file.address, sink);
            if (writer)
                writer->flush();
            if (slow) {
                file.noteError(core::utf8ToGbk("连接速度低于每秒") +
                               std::to_string(setup_.settings.lowestSpeed) +
                               core::utf8ToGbk("字节"));
                result = Try::Slow;
            } else if (!ranged && writer && !engine.stopping() && !file.failed()) {
                file.map.finishUnknown(writer->position());
                result = Try::Done;
            } else if (ranged && file.map.remaining(setup_.index) == 0) {
                result = Try::Done;
            } else if (!engine.stopping() && !file.failed()) {
                file.noteError(core::utf8ToGbk("服务器送出的内容不够"));
            }
        } catch (const SpanEnded&) {
            result = Try::Done;
        } catch (const WriteFailed&) {
            throw;
        } catch (const std::exception& e) {
            if (writer)
                writer->flush(); // what arrived before the failure is kept
            file.noteError(oneLine(e.what()));
            if (isStall(e.what()))
                result = Try::Slow;
        }
    } catch (const WriteFailed& e) {
        engine.failFile(file, writeFailureLine(e.what()));
        result = Try::Fatal;
    } catch (const FileChanged&) {
        file.changed.store(true);
        engine.failFile(file, core::utf8ToGbk("服务器上的文件已改变，下次从头下载"));
        result = Try::Fatal;
    } catch (const TooLong&) {
        engine.failFile(file, core::utf8ToGbk("文件超过") + std::to_string(limit) +
                                  core::utf8ToGbk("字节仍未结束"));
        result = Try::Fatal;
    }
    receivedBefore_ += received;
    client.onWorkBegin = nullptr; // the handlers refer to this call's locals
    client.onWork = nullptr;
    return result;
}

} // namespace download
