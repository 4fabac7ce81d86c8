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

std::uint64_t DownloadQueue::append(core::SongEntry entry, RowStatus status)
{
    std::unique_lock lock(mutex_);
    const std::uint64_t id = nextId_++;
    rows_.push_back({id, std::move(entry), status});
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
    rows_.erase(rows_.begin() + index);
    changed(lock);
    if (onRemoved)
        onRemoved(index, 1);
}

void DownloadQueue::clear()
{
    std::unique_lock lock(mutex_);
    const int count = static_cast<int>(rows_.size());
    rows_.clear();
    changed(lock);
    if (onRemoved && count > 0)
        onRemoved(0, count);
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

void DownloadQueue::setStatus(std::uint64_t id, RowStatus status)
{
    std::unique_lock lock(mutex_);
    for (QueueRow& row : rows_)
        if (row.id == id && row.status != status) {
            row.status = status;
            changed(lock);
            return;
        }
}

void DownloadQueue::changed(std::unique_lock<std::mutex>& lock)
{
    const std::uint64_t version = ++version_;
    if (!onChanged) {
        lock.unlock();
        return;
    }
    const std::vector<QueueRow> snapshot = rows_;
    lock.unlock();
    onChanged(snapshot, version);
}

} // namespace download
