#pragma once
// The download list as the program keeps it: each row is the whole list entry (caption, icon,
// name, address, size and type texts, and the save path as its last column) with the row's
// status and an id that stays with it while rows around it come and go. The list view shows
// it, the list file stores it and the transfer engine reads it. Safe to use from any thread;
// the listeners run on the thread that made the change, after it is made. Kept written, it
// writes its changes together on a thread of its own, at most once per gap, and once more when
// it is destroyed.
#include "core/song_entry.h"
#include "download/active_file.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace download {

enum class RowStatus { Waiting, Running, Complete, Failed, Paused };

struct QueueRow {
    std::uint64_t id = 0;
    core::SongEntry entry;
    RowStatus status = RowStatus::Waiting;
    std::string failure; // why a failed row failed (GBK); empty otherwise

    const std::string& savePath() const { return entry.sub(core::SubItem::SavePath); }
    // The texts the engine works from.
    DownloadRow texts() const;
};

class DownloadQueue {
public:
    using Writer = std::function<void(const std::vector<QueueRow>& rows, std::uint64_t version)>;

    DownloadQueue() = default;
    ~DownloadQueue(); // writes what changed since the last write
    DownloadQueue(const DownloadQueue&) = delete;
    DownloadQueue& operator=(const DownloadQueue&) = delete;

    // From now on every change reaches `write`: changes made within `gap` of the last write are
    // written together. An empty writer stops the writing (after a last write of what changed).
    void keepWritten(Writer write, std::chrono::milliseconds gap = std::chrono::seconds(1));
    // Writes now what changed since the last write; returns once it is written.
    void flush();
    // How many times the writer has been called.
    std::uint64_t writes() const;

    int size() const;
    QueueRow at(int index) const; // throws std::out_of_range
    std::vector<QueueRow> rows() const;
    // The row with this id, if it is still in the list.
    std::optional<QueueRow> find(std::uint64_t id) const;

    std::uint64_t append(core::SongEntry entry, RowStatus status = RowStatus::Waiting);
    std::uint64_t append(const DownloadRow& row);
    void remove(int index);
    void clear();
    // Replaces every row (a list read back from its file); no removal is reported.
    void replace(std::vector<QueueRow> rows);
    void setSavePath(int index, const std::string& path);
    // Ignored for an id that is no longer in the list. `failure` is kept with a failed row.
    void setStatus(std::uint64_t id, RowStatus status, const std::string& failure = {});

    // Places in the list that follow its removals (the start loop's resume and current rows):
    // a mark keeps pointing at its row while rows before it come and go; when its own row goes,
    // it points at the row that took that row's place.
    using Mark = int;
    Mark addMark();
    int markAt(Mark mark) const;
    void setMark(Mark mark, int index);
    // The row a mark points at, read together with the mark (none past the list's end).
    std::optional<std::pair<int, QueueRow>> rowAtMark(Mark mark) const;
    // The mark moves to the row after the one with this id; when that row has gone, the mark
    // already points at the row after it and stays.
    void stepPast(Mark mark, std::uint64_t id);
    // Where the row with this id is now, if it is still in the list.
    std::optional<int> indexOf(std::uint64_t id) const;
    // Removes the row with this id, if it is still in the list.
    void removeRow(std::uint64_t id);

    // `count` rows from `first` on were removed.
    std::function<void(int first, int count)> onRemoved;
    // Anything changed: the rows as they are now, and a number that grows with each change.
    std::function<void(const std::vector<QueueRow>& rows, std::uint64_t version)> onChanged;

private:
    void changed(std::unique_lock<std::mutex>& lock);
    void removeLocked(std::unique_lock<std::mutex>& lock, int first, int count);
    void writeLoop();
    void stopWriting();
    // Writes the rows when they changed since the last write; takes and gives back the lock.
    void writeIfChanged(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::vector<QueueRow> rows_;
    std::uint64_t nextId_ = 1;
    std::uint64_t version_ = 0;
    std::vector<int> marks_;

    // The writing (guarded by mutex_, except the writer's call itself).
    Writer writer_;
    std::chrono::milliseconds gap_{1000};
    std::uint64_t writtenVersion_ = 0;
    std::uint64_t writes_ = 0;
    bool writing_ = false; // the writer is being called
    bool stop_ = false;
    std::condition_variable wake_;
    std::thread writerThread_;
    std::mutex writeMutex_; // one writer's call at a time
};

} // namespace download
