#pragma once
// The rows the transfer engine works from and the files it has started, as plain records.
#include <cstddef>
#include <string>

namespace download {

// The columns of an active-list row after its caption (the file's display name).
enum class ActiveColumn : std::size_t { Status = 0, Time = 1, Sequence = 2 };

// A download-list row as the engine reads it (GBK texts).
struct DownloadRow {
    std::string caption;  // the result row's number text
    std::string name;     // sub-item 0
    std::string address;  // sub-item 1
    std::string sizeText; // sub-item 2
    std::string typeText; // sub-item 3
    std::string savePath; // sub-item 4
    std::string md5 = {}; // the MD5 the service published, empty when none
};

// The file behind one row of the active list, as it was when its slot started it. Completion
// reports are written from this record, so deleting download-list rows meanwhile does not
// change what a report says.
struct ActiveFile {
    int listRow = 0;        // the download-list row index ("相应序列")
    DownloadRow row;        // that row's texts at the start
    std::string targetPath; // where the file was written (the save path, a free variant of it,
                            // or the fallback name)
};

// How a started file ended: complete (every byte on disk, the file closed without error), or
// not, with one line saying why (GBK).
struct FileOutcome {
    bool complete = false;
    std::string reason;
};

} // namespace download
