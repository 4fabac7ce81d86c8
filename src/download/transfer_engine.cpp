#include "download/transfer_engine.h"

#include "core/line_file.h"
#include "download/target_file.h"
#include "download/tmp3download.h"
#include "download/transfer_plan.h"

#include <algorithm>

namespace download {

TransferEngine::TransferEngine()
{
    IdHTTP1.tag = ProbeTag;
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

void TransferEngine::downbtnClick()
{
    if (startRunning_ || !observer_)
        return;
    startRunning_ = true;
    struct Running {
        bool& flag;
        ~Running() { flag = false; }
    } running{startRunning_};
    stopRequested_ = false;
    // ActiveWorkers is not reset: every worker is counted out exactly once, so it is exact.
    ConnectedCount = 1;
    ElapsedSeconds = 0;

    const int n = observer_->downloadRowCount();
    if (ResumeRow > n - 1)
        return;
    CurrentRow = ResumeRow;
    for (int times = n - ResumeRow; times > 0; --times) {
        if (observer_->quitConfirmed() || stopRequested_)
            break;
        ResumeRow = CurrentRow;
        observer_->processMessages();
        if (observer_->quitConfirmed() || stopRequested_)
            break;
        if (CurrentRow >= observer_->downloadRowCount())
            break; // rows were deleted meanwhile
        handleRow();
        ++CurrentRow;
    }
    // Nothing is being probed once the loop has ended (a failure that leaves the loop through
    // an exception keeps it set for the error handler).
    Probing = false;
}

void TransferEngine::handleRow()
{
    const DownloadRow row = observer_->downloadRow(CurrentRow);
    const AddressParts address = parseDownloadAddress(row.address);
    HostPath = address.hostPath;
    FileSize = 0;

    // The probe: its begin notification records the size and cuts the transfer short.
    IdHTTP1.host = address.host;
    IdHTTP1.port = address.port;
    IdHTTP1.tag = ProbeTag;
    IdHTTP1.rangeStart = 0;
    IdHTTP1.rangeEnd = 0;
    Probing = true;
    if (!address.ok)
        return; // no host to connect to: the row is skipped
    try {
        IdHTTP1.Connect();
        IdHTTP1.Get(row.address);
    } catch (const std::exception&) {
        IdHTTP1.Disconnect();
        return;
    }
    IdHTTP1.Disconnect();
    if (FileSize == 0 || stopRequested_)
        return;

    ConnectedCount = 0;
    const int s = CurrentRow % Slots;
    if (!waitForSlot(s))
        return;

    const TargetChoice target =
        createTargetFile(row.savePath, row.name, row.typeText, observer_->saveFolder(),
                         observer_->searchText(), CurrentRow, row.address);
    TargetPath = target.path;
    observer_->setTimerEnabled(true);
    Probing = false;
    rowBeingStarted_ = row;
    hostOfRow_ = address.host;
    portOfRow_ = address.port;
    StartSlot(s);
}

bool TransferEngine::waitForSlot(int s)
{
    // The window keeps processing its messages; between rounds the thread sleeps until a
    // worker ends or a short time has passed, so the wait keeps no core busy.
    while (SlotWorkers[s].load() > 0) {
        if (stopRequested_ || observer_->quitConfirmed())
            return false;
        observer_->processMessages();
        std::unique_lock lock(endedMutex_);
        ended_.wait_for(lock, std::chrono::milliseconds(10),
                        [&] { return SlotWorkers[s].load() == 0 || stopRequested_.load(); });
    }
    return !stopRequested_ && !observer_->quitConfirmed();
}

void TransferEngine::StartSlot(int s)
{
    ConnectedCount = 0;
    const int wanted = std::clamp(observer_->connectionsPerFile(), 1, MaxWorkers);

    // The slot is free: its previous workers have all ended; their threads finish now and
    // their clients make room for this file's.
    joinSlotThreads(s);
    for (auto& client : SlotClients[s])
        client.reset();

    for (int i = 0; i < wanted; ++i) {
        auto client = std::make_unique<http::HttpClient>();
        client->tag = workerTag(s, i);
        client->onWork = [this](http::HttpClient& c, int mode, std::int64_t n) {
            IdHTTP1Work(c, mode, n);
        };
        client->host = hostOfRow_;
        client->port = portOfRow_;
        if (prepareWorkerClient)
            prepareWorkerClient(*client, i);
        SlotClients[s][i] = std::move(client);
        try {
            SlotClients[s][i]->Connect();
            ++ConnectedCount;
        } catch (const std::exception&) {
            SlotClients[s][i]->Disconnect();
            break;
        }
        if (stopRequested_)
            break;
    }

    ActiveFile file;
    file.listRow = CurrentRow;
    file.row = rowBeingStarted_;
    file.targetPath = TargetPath;
    const int activeRow = observer_->addActiveRow(file);
    if (activeRow >= 0) {
        if (activeFiles.size() <= static_cast<std::size_t>(activeRow))
            activeFiles.resize(static_cast<std::size_t>(activeRow) + 1);
        activeFiles[static_cast<std::size_t>(activeRow)] = file;
    }
    SlotRow[s] = activeRow;

    if (ConnectedCount == 0 || stopRequested_) {
        for (auto& client : SlotClients[s])
            if (client)
                client->Disconnect();
        return;
    }

    const std::int64_t length = FileSize / ConnectedCount;
    // Text conversions stay on this thread: workers get the file-system path itself.
    const std::string nativeTarget = core::gbkPath(TargetPath).string();
    for (int i = 0; i < ConnectedCount; ++i) {
        tmp3download::Setup setup;
        setup.engine = this;
        setup.client = SlotClients[s][i].get();
        setup.rangeLength = length;
        setup.index = i;
        setup.last = i == ConnectedCount - 1;
        setup.targetPath = nativeTarget;
        setup.address = rowBeingStarted_.address;
        setup.fileSize = FileSize;
        setup.bufferSize = workerBufferSize;
        ActiveWorkers.fetch_add(1);
        SlotWorkers[s].fetch_add(1);
        std::lock_guard lock(threadsMutex_);
        slotThreads_[s].emplace_back(
            [worker = tmp3download(std::move(setup))]() mutable { worker.Execute(); });
    }
    observer_->setTimerEnabled(true);
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

void TransferEngine::stopAndJoin()
{
    stopRequested_ = true;
    IdHTTP1.Disconnect();
    for (int s = 0; s < Slots; ++s)
        if (SlotWorkers[s].load() > 0)
            for (auto& client : SlotClients[s])
                if (client)
                    client->Disconnect();
    {
        std::lock_guard lock(endedMutex_);
        ended_.notify_all();
    }
    for (int s = 0; s < Slots; ++s)
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

void TransferEngine::IdHTTP1WorkBegin(http::HttpClient& sender, int, std::int64_t countMax)
{
    FileSize = countMax;
    SlotSize[ResumeRow % Slots] = FileSize;
    if (ConnectedCount > 0 && observer_)
        observer_->setBarsMaximum(FileSize / ConnectedCount);
    sender.Disconnect();
}

void TransferEngine::IdHTTP1Work(http::HttpClient& sender, int, std::int64_t count)
{
    const int s = tagSlot(sender.tag);
    const int k = tagWorker(sender.tag);
    if (s >= 0 && k >= 0 && k < MaxWorkers)
        WorkerBytes[s][k].store(count);
    if (observer_)
        observer_->progress(sender.tag, count);
    if (stopRequested_ && &sender != &IdHTTP1)
        sender.Disconnect(); // a stop that came before this request began ends it here
}

void TransferEngine::IdHTTP1WorkEnd(http::HttpClient& sender, int)
{
    const int s = tagSlot(sender.tag);
    if (s < 0) {
        if (observer_)
            observer_->workerEnded(-1, -1, -1, false, ActiveWorkers.load() == 0);
        return;
    }
    const int k = tagWorker(sender.tag);
    // SlotRow[s] cannot change before this worker is counted out below.
    const int activeRow = SlotRow[s];
    const int slotLeft = SlotWorkers[s].fetch_sub(1) - 1;
    const int allLeft = ActiveWorkers.fetch_sub(1) - 1;
    if (observer_)
        observer_->workerEnded(s, k, activeRow, slotLeft == 0, allLeft == 0);
    notifyWorkerEnded();
}

void TransferEngine::notifyWorkerEnded()
{
    std::lock_guard lock(endedMutex_);
    ended_.notify_all();
}

bool TransferEngine::waitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(endedMutex_);
    return ended_.wait_for(lock, timeout, [&] { return ActiveWorkers.load() == 0; });
}

} // namespace download
