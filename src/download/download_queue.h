#pragma once
// The download list as the program keeps it: each row is the whole list entry (caption, icon,
// name, address, size and type texts, and the save path as its last column) with the row's
// status and an id that stays with it while rows around it come and go. The list view shows
// it, the list file stores it and the transfer engine reads it. Safe to use from any thread;
// the listeners run on the thread that made the change, after it is made.
#include "core/song_entry.h"
#include "download/active_file.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace download {

enum class RowStatus { Waiting, Running, Complete, Failed };

struct QueueRow {
    std::uint64_t id = 0;
    core::SongEntry entry;
    RowStatus status = RowStatus::Waiting;

    const std::string& savePath() const { return entry.sub(core::SubItem::SavePath); }
    // The texts the engine works from.
    DownloadRow texts() const;
};

class DownloadQueue {
public:
    int size() const;
    QueueRow at(int index) const; // throws std::out_of_range
    std::vector<QueueRow> rows() const;

    std::uint64_t append(core::SongEntry entry, RowStatus status = RowStatus::Waiting);
    std::uint64_t append(const DownloadRow& row);
    void remove(int index);
    void clear();
    // Replaces every row (a list read back from its file); no removal is reported.
    void replace(std::vector<QueueRow> rows);
    void setSavePath(int index, const std::string& path);
    // Ignored for an id that is no longer in the list.
    void setStatus(std::uint64_t id, RowStatus status);

    // `count` rows from `first` on were removed.
    std::function<void(int first, int count)> onRemoved;
    // Anything changed: the rows as they are now, and a number that grows with each change.
    std::function<void(const std::vector<QueueRow>& rows, std::uint64_t version)> onChanged;

private:
    void changed(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::vector<QueueRow> rows_;
    std::uint64_t nextId_ = 1;
    std::uint64_t version_ = 0;
};

} // namespace download
