#pragma once
// The download list's file in the program's data folder: every row (its entry's texts, its
// status and why it failed) in a small line format, rewritten whole and atomically, read back at
// start. A row is a block of "key value" lines between "row" and "end"; a key this program does
// not know is passed over, so a later version can add a field. Texts are GBK bytes with '\', CR
// and LF escaped. The reader keeps every complete row of a damaged file (blank lines, a row cut
// short by a crash); a file that is no list of this program is set aside, never overwritten.
#include "download/download_queue.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace download {

std::string queueFileText(const std::vector<QueueRow>& rows);
// The complete rows of a list file's text; none when it is not one (its first line is not the
// list's). A row that was running when the file was written is waiting again.
std::optional<std::vector<QueueRow>> readQueueFileText(const std::string& text);

class QueueFile {
public:
    explicit QueueFile(std::string nativePath) : path_(std::move(nativePath)) {}
    // Writes the rows unless a later version is on disk already (changes made on several
    // threads may arrive out of order); false when the file cannot be written.
    bool save(const std::vector<QueueRow>& rows, std::uint64_t version);
    struct Loaded {
        std::vector<QueueRow> rows;
        std::string setAsideAs; // where a file that is no list was moved; empty when none was
    };
    // The rows in the file; none when there is no file. A file that is no list is renamed to
    // "<path>.bad-<date>-<time>" and gives no rows.
    Loaded load() const;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::mutex mutex_;
    std::uint64_t written_ = 0;
};

} // namespace download
