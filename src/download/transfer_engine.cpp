#include "download/transfer_engine.h"

#include "core/gbk.h"
#include "core/line_file.h"
#include "download/error_classification.h"
#include "download/failure.h"
#include "download/md5_check.h"
#include "download/target_file.h"
#include "download/tmp3download.h"
#include "download/transfer_plan.h"
#include "http/curl_setup.h"
#include "http/redirect_policy.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace download {

namespace {

std::string gbk(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

// An error message on one line (socket errors hold a line break).
std::string oneLine(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
        if (c != ' ' || out.empty() || out.back() != ' ')
            out += c;
    }
    return out;
}

// An address with a scheme, a host and a path after it ("scheme://host/...").
bool wellFormedAddress(const std::string& address, const http::AddressParts& parts)
{
    const std::size_t authority = address.find("://");
    if (!parts.ok || authority == std::string::npos)
        return false;
    const std::size_t slash = address.find('/', authority + 3);
    return slash != std::string::npos && slash > authority + 3;
}

} // namespace

TransferEngine::TransferEngine()
{
    IdHTTP1.tag = kProbeTag;
    IdHTTP1.onWorkBegin = [this](http::HttpClient& c, int mode, std::int64_t n) {
        IdHTTP1WorkBegin(c, mode, n);
    };
    IdHTTP1.onWork = [this](http::HttpClient& c, int mode, std::int64_t n) {
        IdHTTP1Work(c, mode, n);
    };
    IdHTTP1.onWorkEnd = [this](http::HttpClient& c, int mode) { IdHTTP1WorkEnd(c, mode); };
}

TransferEngine::~TransferEngine()
{
    stopAndJoin();
}

ActiveFile TransferEngine::activeFile(int activeRow) const
{
    std::lock_guard lock(stateMutex_);
    if (activeRow < 0 || static_cast<std::size_t>(activeRow) >= activeFiles_.size())
        return {};
    return activeFiles_[static_cast<std::size_t>(activeRow)];
}

void TransferEngine::cutRetryPausesShort()
{
    {
        std::lock_guard lock(wakeMutex_);
        ++pressCount_;
    }
    wake_.notify_all();
}

void TransferEngine::downbtnClick()
{
    prepareStart();
    runStartLoop();
}

void TransferEngine::prepareStart()
{
    if (observer_) {
        StartOptions options{observer_->searchText(), observer_->saveFolder(),
                             observer_->connectionsPerFile()};
        std::lock_guard lock(stateMutex_);
        options_ = std::move(options);
    }
    stopRequested_ = false;
    cutRetryPausesShort();
}

void TransferEngine::checkpoint()
{
    if (betweenSteps)
        betweenSteps();
}

namespace {
// Marks a start loop as running for as long as it lives; false when one runs already.
class StartLoopScope {
public:
    explicit StartLoopScope(std::atomic<bool>& running)
        : running_(running), owned_(!running.exchange(true))
    {
    }
    ~StartLoopScope()
    {
        if (owned_)
            running_ = false;
    }
    StartLoopScope(const StartLoopScope&) = delete;
    StartLoopScope& operator=(const StartLoopScope&) = delete;
    bool owned() const { return owned_; }

private:
    std::atomic<bool>& running_;
    bool owned_;
};
} // namespace

void TransferEngine::runStartLoop()
{
    cutRetryPausesShort();
    if (!observer_)
        return;
    const StartLoopScope scope(startRunning_);
    if (!scope.owned())
        return;
    // ActiveWorkers is not reset: every worker is counted out exactly once, so it is exact.
    ConnectedCount = 1;
    ElapsedSeconds = 0;

    queue_.setMark(resumeMark_, std::clamp(resumeRow(), 0, std::max(queue_.size() - 1, 0)));
    queue_.setMark(currentMark_, resumeRow());
    bool ended = true;
    int started = 0;
    while (true) {
        if (stopRequested_) {
            ended = false;
            break;
        }
        queue_.setMark(resumeMark_, currentRow());
        checkpoint();
        if (stopRequested_) {
            ended = false;
            break;
        }
        const auto at = queue_.rowAtMark(currentMark_);
        if (!at)
            break; // the list's end (rows may have been deleted meanwhile)
        if (startTakes(at->second)) {
            ++started;
            forgetContinued(at->second.id);
            handleRow(at->first, at->second);
        }
        queue_.stepPast(currentMark_, at->second.id);
    }
    if (ended)
        started += startContinuedRows();
    // Nothing is being probed once the loop has ended (a failure that leaves the loop through
    // an exception keeps it set for the error handler).
    Probing = false;
    if (!ended)
        return;
    queue_.setMark(resumeMark_, 0);
    if (started == 0)
        observer_->rowSkipped(gbk("没有要下载的文件"));
}

void TransferEngine::startContinued()
{
    if (!observer_)
        return;
    const StartLoopScope scope(startRunning_);
    if (!scope.owned())
        return; // the running start loop takes them before it ends
    startContinuedRows();
    Probing = false;
}

void TransferEngine::forgetContinued(std::uint64_t rowId)
{
    std::lock_guard lock(stateMutex_);
    std::erase(continued_, rowId);
}

int TransferEngine::startContinuedRows()
{
    int started = 0;
    while (!stopRequested_) {
        std::uint64_t id = 0;
        {
            std::lock_guard lock(stateMutex_);
            if (continued_.empty())
                break;
            id = continued_.front();
            continued_.erase(continued_.begin());
        }
        const std::optional<int> index = queue_.indexOf(id);
        if (!index)
            continue;
        queue_.setMark(currentMark_, *index);
        const auto at = queue_.rowAtMark(currentMark_);
        if (!at || at->second.id != id || !startTakes(at->second))
            continue;
        ++started;
        handleRow(at->first, at->second);
        checkpoint();
    }
    return started;
}

void TransferEngine::skipRow(const DownloadRow& row, const std::string& reason)
{
    lastSkipReason_ = reason;
    observer_->rowSkipped(skippedRowLine(row.name, reason));
}

void TransferEngine::failRow(std::uint64_t id, const DownloadRow& row, const std::string& reason)
{
    skipRow(row, reason);
    queue_.setStatus(id, RowStatus::Failed, reason);
}

bool TransferEngine::probeRow(const DownloadRow& row)
{
    // The probe: its begin notification records the size and cuts the transfer short.
    // Redirects are followed here, as the one redirect policy says.
    std::string address = row.address;
    IdHTTP1.stallTimeout = settings_.stallTime;
    for (int redirects = 0;; ++redirects) {
        if (redirects == 0)
            HostPath = parseDownloadAddress(address).hostPath;
        const http::AddressParts parts = http::splitAddress(address);
        FileSize = 0;
        IdHTTP1.host = parts.host;
        IdHTTP1.port = parts.port;
        IdHTTP1.scheme = parts.scheme;
        IdHTTP1.tag = kProbeTag;
        IdHTTP1.rangeStart = 0;
        IdHTTP1.rangeEnd = 0;
        Probing = true;
        if (!wellFormedAddress(address, parts)) {
            skipRow(row, gbk("下载地址无效：") + address);
            return false;
        }
        if (!http::supportedScheme(parts.scheme)) {
            skipRow(row, gbk("不支持的地址：") + address);
            return false;
        }
        try {
            IdHTTP1.Connect();
            IdHTTP1.Get(address);
            IdHTTP1.Disconnect();
        } catch (const std::exception& e) {
            IdHTTP1.Disconnect();
            if (stopRequested_)
                return false;
            const http::Redirect redirect =
                http::nextRedirect(address, IdHTTP1.response(), redirects);
            if (redirect.kind == http::Redirect::Kind::Follow) {
                address = redirect.address;
                continue;
            }
            const std::string refused = http::redirectFailureLine(redirect);
            skipRow(row, refused.empty() ? oneLine(e.what()) : refused);
            return false;
        }
        const http::ResponseHead& head = IdHTTP1.response();
        rowStart_ = RowStart{};
        rowStart_.row = row;
        rowStart_.address = address;
        rowStart_.host = parts.host;
        rowStart_.port = parts.port;
        rowStart_.scheme = parts.scheme;
        rowStart_.unknownLength = FileSize == 0 && (head.chunked || head.contentLength < 0);
        rowStart_.etag = IdHTTP1.responseHeader("ETag");
        rowStart_.lastModified = IdHTTP1.responseHeader("Last-Modified");
        if (FileSize == 0 && !rowStart_.unknownLength) {
            skipRow(row, gbk("文件长度为0"));
            return false;
        }
        return !stopRequested_;
    }
}

void TransferEngine::handleRow(int index, const QueueRow& queued)
{
    const DownloadRow row = queued.texts();
    const int s = index % kSlots;
    probeSlot_ = s;
    if (!probeRow(row)) {
        if (!stopRequested_)
            queue_.setStatus(queued.id, RowStatus::Failed, lastSkipReason_);
        return;
    }
    rowStart_.rowId = queued.id;

    ConnectedCount = 0;
    if (!waitForSlot(s, queued.id))
        return;
    // Paused or deleted while it was probed or waited for its slot: it does not start.
    if (!rowWanted(queued.id)) {
        Probing = false;
        return;
    }
    StartOptions options;
    {
        std::lock_guard lock(stateMutex_);
        options = options_;
    }

    TargetContext context;
    // Another row's file of this run is never overwritten; the row's own file is resumed or,
    // fetched again, replaced.
    context.takenByRun = [this, id = queued.id](const std::string& path) {
        const auto owner = targetsOfRun_.find(path);
        return owner != targetsOfRun_.end() && owner->second != id;
    };
    context.address = row.address;
    context.size = rowStart_.unknownLength ? -1 : FileSize.load();
    context.etag = rowStart_.etag;
    context.lastModified = rowStart_.lastModified;
    TargetChoice target;
    try {
        target = createTargetFile(row.savePath, row.name, row.typeText, options.saveFolder,
                                  options.searchText, index, row.address, context);
    } catch (const TransferFailure& e) {
        // This row fails alone, with its reason; the loop goes on with the next row.
        Probing = false;
        failRow(queued.id, row, e.what());
        return;
    }
    TargetPath = target.path;
    targetsOfRun_[TargetPath] = queued.id;
    rowStart_.resume = target.resume;
    rowStart_.lock = target.lock;
    observer_->setTimerEnabled(true);
    Probing = false;
    StartSlot(s, index);
}

bool TransferEngine::rowWanted(std::uint64_t rowId) const
{
    const std::optional<QueueRow> row = queue_.find(rowId);
    return row && row->status != RowStatus::Paused;
}

bool TransferEngine::waitForSlot(int s, std::uint64_t rowId)
{
    // Commands that came meanwhile run between rounds; the thread sleeps until a worker ends
    // or a short time has passed, so the wait keeps no core busy.
    while (SlotWorkers[s].load() > 0) {
        if (stopRequested_ || !rowWanted(rowId))
            return false;
        checkpoint();
        std::unique_lock lock(wakeMutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(10),
                       [&] { return SlotWorkers[s].load() == 0 || stopRequested_.load(); });
    }
    return !stopRequested_;
}

std::string TransferEngine::connectSlotClients(int s, int wanted)
{
    std::string firstFailure;
    for (int i = 0; i < wanted; ++i) {
        auto client = std::make_unique<http::HttpClient>();
        client->tag = workerTag(s, i);
        client->onWork = [this](http::HttpClient& c, int mode, std::int64_t n) {
            IdHTTP1Work(c, mode, n);
        };
        client->host = rowStart_.host;
        client->port = rowStart_.port;
        client->scheme = rowStart_.scheme;
        client->stallTimeout = settings_.stallTime;
        if (prepareWorkerClient)
            prepareWorkerClient(*client, i);
        SlotClients[s][i] = std::move(client);
        try {
            SlotClients[s][i]->Connect();
            ++ConnectedCount;
        } catch (const std::exception& e) {
            SlotClients[s][i]->Disconnect();
            if (ConnectedCount == 0)
                firstFailure = oneLine(e.what());
            break;
        }
        if (stopRequested_)
            break;
    }
    return firstFailure;
}

bool TransferEngine::claimRow(std::uint64_t rowId)
{
    std::lock_guard lock(stateMutex_);
    const std::optional<QueueRow> row = queue_.find(rowId);
    if (!row || row->status == RowStatus::Paused)
        return false;
    queue_.setStatus(rowId, RowStatus::Running);
    startingRow_ = rowId;
    startingEnd_ = StartingEnd::None;
    return true;
}

void TransferEngine::registerFile(int s, const std::shared_ptr<FileTransfer>& file)
{
    StartingEnd end = StartingEnd::None;
    {
        std::lock_guard lock(stateMutex_);
        file->workersLeft.store(static_cast<int>(file->clients.size()));
        slotFiles_[s] = file;
        end = startingEnd_;
        startingRow_ = 0;
        startingEnd_ = StartingEnd::None;
    }
    if (end == StartingEnd::Pause)
        file->pauseRequested = true;
    if (end != StartingEnd::None)
        failFile(*file, failureLine(FailureKind::Stopped, ""));
}

int TransferEngine::addActiveFile(const ActiveFile& active)
{
    int index = 0;
    {
        std::lock_guard lock(stateMutex_);
        index = static_cast<int>(activeFiles_.size());
        activeFiles_.push_back(active);
    }
    observer_->addActiveRow(index, active);
    return index;
}

void TransferEngine::StartSlot(int s, int listRow)
{
    ConnectedCount = 0;
    if (!claimRow(rowStart_.rowId)) {
        rowStart_.lock.reset(); // paused or deleted meanwhile: its file stays as it is
        return;
    }
    int connections = kMaxWorkers;
    {
        std::lock_guard lock(stateMutex_);
        connections = options_.connections;
    }
    const int wanted = rowStart_.unknownLength ? 1 : std::clamp(connections, 1, kMaxWorkers);

    // The slot is free: its previous workers have all ended; their threads finish now and
    // their clients make room for this file's.
    joinSlotThreads(s);
    for (auto& client : SlotClients[s])
        client.reset();
    const std::string connectFailure = connectSlotClients(s, wanted);
    SlotConnected[s] = ConnectedCount.load();

    ActiveFile active;
    active.listRow = listRow;
    active.row = rowStart_.row;
    active.targetPath = TargetPath;
    const int activeRow = addActiveFile(active);
    SlotRow[s] = activeRow;

    const std::int64_t size = rowStart_.unknownLength ? -1 : FileSize.load();
    SegmentMap map = rowStart_.resume ? SegmentMap(size, rowStart_.resume->missing)
                                      : SegmentMap::split(size, std::max(ConnectedCount.load(), 1));
    // Text conversions stay on this thread: workers get the file-system path itself.
    auto file =
        std::make_shared<FileTransfer>(s, activeRow, core::gbkPath(TargetPath).string(),
                                       rowStart_.address, rowStart_.row.address, std::move(map));
    file->rowId = rowStart_.rowId;
    file->etag = rowStart_.etag;
    file->lastModified = rowStart_.lastModified;
    file->lock = std::move(rowStart_.lock);
    file->expectedMd5 = rowStart_.row.md5;
    if (size >= 0 && !rowStart_.resume)
        writeResumeRecord(file->nativePath, file->record());

    if (ConnectedCount == 0 || stopRequested_) {
        for (auto& client : SlotClients[s])
            if (client)
                client->Disconnect();
        {
            std::lock_guard lock(stateMutex_);
            if (startingEnd_ == StartingEnd::Pause)
                file->pauseRequested = true;
            startingRow_ = 0;
            startingEnd_ = StartingEnd::None;
        }
        failWithoutWorkers(*file, stopRequested_ ? gbk("下载已停止") : connectFailure);
        return;
    }
    startWorkers(s, file);
    observer_->setTimerEnabled(true);
}

void TransferEngine::startWorkers(int s, const std::shared_ptr<FileTransfer>& file)
{
    for (int i = 0; i < ConnectedCount; ++i)
        file->clients.push_back(SlotClients[s][i].get());
    registerFile(s, file);
    for (int i = 0; i < ConnectedCount; ++i) {
        tmp3download::Setup setup;
        setup.engine = this;
        setup.client = SlotClients[s][i].get();
        setup.file = file;
        setup.index = i;
        setup.settings = settings_;
        ActiveWorkers.fetch_add(1);
        workersInside_.fetch_add(1);
        SlotWorkers[s].fetch_add(1);
        std::lock_guard lock(threadsMutex_);
        slotThreads_[s].emplace_back(
            [worker = tmp3download(std::move(setup))]() mutable { worker.Execute(); });
    }
}

void TransferEngine::failWithoutWorkers(FileTransfer& file, const std::string& reason)
{
    file.fail(reason);
    finishFile(file);
}

bool TransferEngine::DownloadsRunning() const
{
    int sum = 0;
    for (const auto& n : SlotWorkers)
        sum += n.load();
    return sum > 0;
}

void TransferEngine::StopAllTransfers()
{
    stopAndJoin();
    if (observer_)
        observer_->setTimerEnabled(false);
}

void TransferEngine::shutdown()
{
    stopAndJoin();
}

std::vector<RowProgress> TransferEngine::runningProgress() const
{
    std::lock_guard lock(stateMutex_);
    std::vector<RowProgress> running;
    for (const std::shared_ptr<FileTransfer>& file : slotFiles_)
        if (file && file->workersLeft.load() > 0) {
            const std::int64_t size = file->map.size();
            running.push_back({file->rowId, size >= 0 ? size - file->map.missingBytes() : 0, size});
        }
    return running;
}

std::shared_ptr<FileTransfer> TransferEngine::runningFile(std::uint64_t rowId) const
{
    for (const std::shared_ptr<FileTransfer>& file : slotFiles_)
        if (file && file->rowId == rowId && file->workersLeft.load() > 0)
            return file;
    return nullptr;
}

void TransferEngine::pauseRow(std::uint64_t rowId)
{
    std::lock_guard lock(stateMutex_);
    const std::optional<QueueRow> row = queue_.find(rowId);
    if (!row || !actionApplies(RowAction::Pause, *row))
        return;
    if (const std::shared_ptr<FileTransfer> file = runningFile(rowId)) {
        file->pauseRequested = true; // it ends paused, its file and record kept
        failFile(*file, failureLine(FailureKind::Stopped, ""));
        return;
    }
    if (startingRow_ == rowId) {
        startingEnd_ = StartingEnd::Pause;
        return;
    }
    queue_.setStatus(rowId, RowStatus::Paused);
}

bool TransferEngine::continueRow(std::uint64_t rowId)
{
    const std::optional<QueueRow> row = queue_.find(rowId);
    if (!row || !actionApplies(RowAction::Continue, *row))
        return false;
    std::lock_guard lock(stateMutex_);
    queue_.setStatus(rowId, RowStatus::Waiting);
    continued_.push_back(rowId);
    return true;
}

bool TransferEngine::redownloadRow(std::uint64_t rowId)
{
    const std::optional<QueueRow> row = queue_.find(rowId);
    if (!row || !actionApplies(RowAction::Redownload, *row))
        return false;
    {
        std::lock_guard lock(stateMutex_);
        if (runningFile(rowId) || startingRow_ == rowId)
            return false;
    }
    // From byte 0: what the file and its record hold is dropped; a complete file is fetched
    // again over itself.
    const DownloadRow texts = row->texts();
    const std::string native =
        core::gbkPath(safeTargetPath(texts.savePath, texts.name, texts.typeText)).string();
    removeResumeRecord(native);
    std::remove(native.c_str());
    std::lock_guard lock(stateMutex_);
    queue_.setStatus(rowId, RowStatus::Waiting);
    continued_.push_back(rowId);
    return true;
}

void TransferEngine::stopRow(std::uint64_t rowId)
{
    std::lock_guard lock(stateMutex_);
    if (const std::shared_ptr<FileTransfer> file = runningFile(rowId))
        failFile(*file, failureLine(FailureKind::Stopped, ""));
    else if (startingRow_ == rowId)
        startingEnd_ = StartingEnd::Stop;
}

void TransferEngine::requestStop()
{
    stopRequested_ = true;
    IdHTTP1.Disconnect();
    {
        std::lock_guard lock(stateMutex_);
        for (const std::shared_ptr<FileTransfer>& file : slotFiles_)
            if (file && file->workersLeft.load() > 0)
                for (http::HttpClient* client : file->clients)
                    client->Disconnect();
    }
    wakeWaiters();
}

void TransferEngine::stopAndJoin()
{
    requestStop();
    for (int s = 0; s < kSlots; ++s)
        if (SlotWorkers[s].load() > 0)
            for (auto& client : SlotClients[s])
                if (client)
                    client->Disconnect();
    wakeWaiters();
    for (int s = 0; s < kSlots; ++s)
        joinSlotThreads(s);
}

void TransferEngine::joinSlotThreads(int s)
{
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(threadsMutex_);
        threads.swap(slotThreads_[s]);
    }
    for (std::thread& t : threads)
        if (t.joinable())
            t.join();
}

void TransferEngine::wakeWaiters()
{
    std::lock_guard lock(wakeMutex_);
    wake_.notify_all();
}

TickInput TransferEngine::tickInput() const
{
    TickInput in;
    for (int s = 0; s < kSlots; ++s) {
        for (int k = 0; k < kMaxWorkers; ++k)
            in.workerBytes[s][k] = WorkerBytes[s][k].load();
        in.slotWorkers[s] = SlotWorkers[s].load();
        in.slotSize[s] = SlotSize[s].load();
        in.slotConnected[s] = SlotConnected[s].load();
    }
    in.lastByteSum = LastByteSum.load();
    return in;
}

bool TransferEngine::moveOnFromFailedProbe(int rowCount)
{
    const int resume = resumeRow();
    if (!Probing || resume >= rowCount - 1)
        return false;
    IdHTTP1.Disconnect();
    queue_.setMark(resumeMark_, resume + 1);
    return true;
}

void TransferEngine::settleAfterError()
{
    if (!startRunning_)
        Probing = false;
}

void TransferEngine::IdHTTP1WorkBegin(http::HttpClient& sender, int, std::int64_t countMax)
{
    FileSize = countMax;
    SlotSize[probeSlot_] = countMax;
    if (ConnectedCount > 0 && observer_)
        observer_->setBarsMaximum(countMax / ConnectedCount);
    sender.Disconnect();
}

void TransferEngine::IdHTTP1Work(http::HttpClient& sender, int, std::int64_t count)
{
    const int s = tagSlot(sender.tag);
    const int k = tagWorker(sender.tag);
    if (s >= 0 && k >= 0 && k < kMaxWorkers)
        WorkerBytes[s][k].store(count);
    if (observer_)
        observer_->progress(sender.tag, count);
    if (stopRequested_ && &sender != &IdHTTP1)
        sender.Disconnect(); // a stop that came before this request began ends it here
}

void TransferEngine::IdHTTP1WorkEnd(http::HttpClient& sender, int)
{
    if (tagSlot(sender.tag) < 0 && observer_)
        observer_->probeEnded();
}

void TransferEngine::failFile(FileTransfer& file, std::string reason)
{
    if (!file.fail(std::move(reason)))
        return;
    for (http::HttpClient* client : file.clients)
        client->Disconnect();
    wakeWaiters();
}

bool TransferEngine::pauseBeforeRetry(FileTransfer& file, std::chrono::milliseconds pause)
{
    std::unique_lock lock(wakeMutex_);
    const std::uint64_t press = pressCount_;
    wake_.wait_for(lock, pause,
                   [&] { return stopRequested_.load() || file.failed() || pressCount_ != press; });
    return !stopRequested_.load() && !file.failed();
}

void TransferEngine::workerFinished(FileTransfer& file, http::HttpClient& client)
{
    if (file.workersLeft.fetch_sub(1) == 1) {
        const bool badSum = checkFileSum(file, client);
        finishFile(file);
        if (badSum) // the bad copy is gone; no record may offer it for resuming
            removeResumeRecord(file.nativePath);
    }
    const int s = tagSlot(client.tag);
    SlotWorkers[s].fetch_sub(1);
    ActiveWorkers.fetch_sub(1);
    if (observer_)
        observer_->workerEnded(s, tagWorker(client.tag), file.activeRow);
    workersInside_.fetch_sub(1);
    wakeWaiters();
}

std::string TransferEngine::missingBytesLine(const FileTransfer& file) const
{
    std::string line = gbk("还缺") + std::to_string(file.map.missingBytes()) + gbk("字节");
    if (file.map.size() < 0)
        line = gbk("文件没有完整送到");
    const std::string error = file.lastError();
    if (!error.empty())
        line += gbk("（") + error + gbk("）");
    return line;
}

void TransferEngine::recordProgress(FileTransfer& file, std::int64_t bytes,
                                    const std::function<void()>& flushOwn)
{
    if (file.map.size() < 0 ||
        !file.recordDue(bytes, settings_.recordEveryBytes, settings_.recordEvery))
        return;
    std::unique_lock lock(file.recordMutex, std::try_to_lock);
    if (!lock || !file.lock)
        return;
    flushOwn();
    // The bytes the record counts as present reach the disk before the record does: the
    // record is taken before the data sync, since other workers go on writing meanwhile and
    // what they write after the sync would be counted without being on disk.
    const ResumeRecord record = file.record();
    ::fdatasync(file.lock->fd());
    writeResumeRecord(file.nativePath, record);
}

void TransferEngine::finishFile(FileTransfer& file)
{
    std::lock_guard recordLock(file.recordMutex);
    FileOutcome outcome;
    if (!file.failed() && file.map.complete()) {
        const int fd = file.lock ? file.lock->fd() : -1;
        if (::ftruncate(fd, static_cast<off_t>(file.map.size())) != 0 || ::fsync(fd) != 0) {
            char text[256];
            file.fail(gbk("写入文件出错：") + ::strerror_r(errno, text, sizeof text));
        }
    }
    if (!file.failed() && file.map.complete()) {
        removeResumeRecord(file.nativePath);
        outcome.complete = true;
    } else {
        file.fail(stopRequested_ ? gbk("下载已停止") : missingBytesLine(file));
        ResumeRecord record = file.record();
        if (file.changed.load()) // what is on disk belongs to the old file: start over
            record.missing = {{0, record.size}};
        if (file.map.size() >= 0)
            writeResumeRecord(file.nativePath, record);
        outcome.reason = file.failureReason();
    }
    // The record says what the file holds: another writer may take it from here.
    if (file.lock)
        file.lock->release();
    const RowStatus ended = outcome.complete      ? RowStatus::Complete
                            : file.pauseRequested ? RowStatus::Paused
                                                  : RowStatus::Failed;
    queue_.setStatus(file.rowId, ended, outcome.reason);
    if (observer_)
        observer_->fileEnded(file.activeRow, outcome);
}

bool TransferEngine::waitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(wakeMutex_);
    return wake_.wait_for(lock, timeout, [&] { return workersInside_.load() == 0; });
}

} // namespace download
