#include "download/download_queue.h"

#include <stdexcept>

namespace download {

DownloadRow QueueRow::texts() const
{
    using core::SubItem;
    return {entry.caption,
            entry.sub(SubItem::Name),
            entry.sub(SubItem::Address),
            entry.sub(SubItem::SizeText),
            entry.sub(SubItem::TypeText),
            entry.sub(SubItem::SavePath),
            entry.md5};
}

int DownloadQueue::size() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(rows_.size());
}

QueueRow DownloadQueue::at(int index) const
{
    std::lock_guard lock(mutex_);
    return rows_.at(static_cast<std::size_t>(index));
}

std::vector<QueueRow> DownloadQueue::rows() const
{
    std::lock_guard lock(mutex_);
    return rows_;
}

std::optional<QueueRow> DownloadQueue::find(std::uint64_t id) const
{
    std::lock_guard lock(mutex_);
    for (const QueueRow& row : rows_)
        if (row.id == id)
            return row;
    return std::nullopt;
}

std::uint64_t DownloadQueue::append(core::SongEntry entry, RowStatus status)
{
    std::unique_lock lock(mutex_);
    const std::uint64_t id = nextId_++;
    rows_.push_back({id, std::move(entry), status, {}});
    changed(lock);
    return id;
}

std::uint64_t DownloadQueue::append(const DownloadRow& row)
{
    return append(core::SongEntry{row.caption,
                                  0,
                                  {row.name, row.address, row.sizeText, row.typeText, row.savePath},
                                  row.md5});
}

void DownloadQueue::remove(int index)
{
    std::unique_lock lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.size())
        return;
    removeLocked(lock, index, 1);
}

void DownloadQueue::removeRow(std::uint64_t id)
{
    std::unique_lock lock(mutex_);
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].id == id) {
            removeLocked(lock, static_cast<int>(i), 1);
            return;
        }
}

void DownloadQueue::clear()
{
    std::unique_lock lock(mutex_);
    if (rows_.empty()) {
        changed(lock);
        return;
    }
    removeLocked(lock, 0, static_cast<int>(rows_.size()));
}

void DownloadQueue::removeLocked(std::unique_lock<std::mutex>& lock, int first, int count)
{
    rows_.erase(rows_.begin() + first, rows_.begin() + first + count);
    for (int& mark : marks_) {
        if (mark >= first + count)
            mark -= count;
        else if (mark > first)
            mark = first; // the row that slid into the removed place comes next
    }
    changed(lock);
    if (onRemoved)
        onRemoved(first, count);
}

DownloadQueue::Mark DownloadQueue::addMark()
{
    std::lock_guard lock(mutex_);
    marks_.push_back(0);
    return static_cast<Mark>(marks_.size() - 1);
}

int DownloadQueue::markAt(Mark mark) const
{
    std::lock_guard lock(mutex_);
    return marks_.at(static_cast<std::size_t>(mark));
}

void DownloadQueue::setMark(Mark mark, int index)
{
    std::lock_guard lock(mutex_);
    marks_.at(static_cast<std::size_t>(mark)) = index;
}

std::optional<std::pair<int, QueueRow>> DownloadQueue::rowAtMark(Mark mark) const
{
    std::lock_guard lock(mutex_);
    const int index = marks_.at(static_cast<std::size_t>(mark));
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.size())
        return std::nullopt;
    return std::pair{index, rows_[static_cast<std::size_t>(index)]};
}

void DownloadQueue::stepPast(Mark mark, std::uint64_t id)
{
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].id == id) {
            marks_.at(static_cast<std::size_t>(mark)) = static_cast<int>(i) + 1;
            return;
        }
}

std::optional<int> DownloadQueue::indexOf(std::uint64_t id) const
{
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].id == id)
            return static_cast<int>(i);
    return std::nullopt;
}

void DownloadQueue::replace(std::vector<QueueRow> rows)
{
    std::unique_lock lock(mutex_);
    rows_ = std::move(rows);
    for (QueueRow& row : rows_)
        row.id = nextId_++;
    changed(lock);
}

void DownloadQueue::setSavePath(int index, const std::string& path)
{
    std::unique_lock lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.size())
        return;
    core::SongEntry& entry = rows_[static_cast<std::size_t>(index)].entry;
    const auto column = static_cast<std::size_t>(core::SubItem::SavePath);
    if (entry.subItems.size() <= column)
        entry.subItems.resize(column + 1);
    entry.subItems[column] = path;
    changed(lock);
}

void DownloadQueue::setStatus(std::uint64_t id, RowStatus status, const std::string& failure)
{
    std::unique_lock lock(mutex_);
    const std::string reason = status == RowStatus::Failed ? failure : std::string();
    for (QueueRow& row : rows_)
        if (row.id == id && (row.status != status || row.failure != reason)) {
            row.status = status;
            row.failure = reason;
            changed(lock);
            return;
        }
}

void DownloadQueue::changed(std::unique_lock<std::mutex>& lock)
{
    const std::uint64_t version = ++version_;
    if (writer_)
        wake_.notify_all();
    if (!onChanged) {
        lock.unlock();
        return;
    }
    const std::vector<QueueRow> snapshot = rows_;
    lock.unlock();
    onChanged(snapshot, version);
}

DownloadQueue::~DownloadQueue()
{
    stopWriting();
}

void DownloadQueue::keepWritten(Writer write, std::chrono::milliseconds gap)
{
    stopWriting();
    if (!write)
        return;
    std::lock_guard lock(mutex_);
    writer_ = std::move(write);
    gap_ = gap;
    writtenVersion_ = version_; // what is there now came from the file or is written already
    stop_ = false;
    writerThread_ = std::thread([this] { writeLoop(); });
}

void DownloadQueue::stopWriting()
{
    {
        std::lock_guard lock(mutex_);
        if (!writerThread_.joinable())
            return;
        stop_ = true;
    }
    wake_.notify_all();
    writerThread_.join();
    std::unique_lock lock(mutex_);
    writeIfChanged(lock); // the last changes, before the queue goes
    writer_ = nullptr;
}

void DownloadQueue::flush()
{
    std::unique_lock lock(mutex_);
    if (writer_)
        writeIfChanged(lock);
}

std::uint64_t DownloadQueue::writes() const
{
    std::lock_guard lock(mutex_);
    return writes_;
}

void DownloadQueue::writeIfChanged(std::unique_lock<std::mutex>& lock)
{
    // One write at a time, in the order of the versions written.
    lock.unlock();
    std::lock_guard writeLock(writeMutex_);
    lock.lock();
    if (version_ == writtenVersion_ || !writer_)
        return;
    const std::vector<QueueRow> snapshot = rows_;
    const std::uint64_t version = version_;
    const Writer write = writer_;
    writtenVersion_ = version;
    ++writes_;
    lock.unlock();
    write(snapshot, version);
    lock.lock();
}

void DownloadQueue::writeLoop()
{
    std::unique_lock lock(mutex_);
    while (!stop_) {
        wake_.wait(lock, [&] { return stop_ || version_ != writtenVersion_; });
        if (stop_)
            break;
        writeIfChanged(lock);
        // Changes made meanwhile wait for the gap, and are written together after it.
        wake_.wait_for(lock, gap_, [&] { return stop_; });
    }
}

} // namespace download
