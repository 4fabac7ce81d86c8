#pragma once
// The target file of a download: the row's save path with its file name made safe (lists kept
// from older versions may hold any name), or when the file system refuses that name, the
// fallback name SaveFolder + search text + row number + "." + the address's last three
// characters. A file is always made directly in its folder; a folder is never made.
#include "download/resume_record.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace download {

// The fallback type text: the last three characters of the trimmed address, "rm" for "Mrm".
std::string fallbackTypeText(std::string_view address);
// SaveFolder + trimmed search text + decimal row + "." + fallback type text (GBK).
std::string fallbackName(std::string_view saveFolder, std::string_view searchText, int row,
                         std::string_view address);

// True when the GBK text, read as characters, is usable inside one file name: no '/', no '\\',
// no NUL.
bool isPlainNamePart(std::string_view gbk);
// Creates (or empties) the file and closes it; false when it cannot be created.
bool createEmptyFile(std::string_view gbkPath);

// The one writer's hold on a target file: an open descriptor of it under an exclusive advisory
// lock (flock), which the system releases when the descriptor closes or the process ends.
// Another process, or another engine of this one, cannot take it meanwhile.
class TargetLock {
public:
    explicit TargetLock(int fd) : fd_(fd) {}
    ~TargetLock() { release(); }
    TargetLock(const TargetLock&) = delete;
    TargetLock& operator=(const TargetLock&) = delete;
    int fd() const { return fd_; }
    void release();

private:
    int fd_;
};

// The n-th variant of a path: "(n)" before the last component's extension, or at its end when
// it has none: "a/song.mp3" -> "a/song(1).mp3".
std::string numberedPath(std::string_view gbkPath, int n);

// What is known of the file about to be fetched, for choosing where it goes.
struct TargetContext {
    // True for a path another file of this run is writing or has written.
    std::function<bool(const std::string& gbkPath)> takenByRun;
    std::string address;    // where the file comes from
    std::int64_t size = -1; // its announced length; below 0 when unknown
    std::string etag;       // the validators the server announced with it
    std::string lastModified;
};

struct TargetChoice {
    std::string path; // the file to write
    bool fallback = false;
    // Set when the file holds part of this same file (same address, length and validators)
    // and only the recorded missing ranges are to be fetched; the file is then left as it is.
    std::optional<ResumeRecord> resume;
    // Held from the choice on; whoever writes the file keeps it until the file has ended.
    std::shared_ptr<TargetLock> lock;
};
// The save path with its file name made safe: when it ends in name + "." + type, the folder before
// that and safeFileName(name, type); otherwise its last component made safe.
std::string safeTargetPath(std::string_view savePath, std::string_view name, std::string_view type);

// Chooses and prepares the row's target file: safeTargetPath(), else, when the file system
// refuses that name, the fallback name (checked the same way). A path taken by this run, or one
// that exists without a resume record beside it, or one whose lock another writer holds, is
// never overwritten: the first free variant name(1).ext, name(2).ext, ... is used instead. An
// existing path with a record of the same file (sameFile) is resumed; with any other record it
// starts over (emptied, under the lock). Throws TransferFailure: FolderMissing "保存目录不存在：
// <folder>" when the folder is not there, FolderNotWritable, DiskFull, or NameUnusable when
// neither name can be made.
TargetChoice createTargetFile(std::string_view savePath, std::string_view name,
                              std::string_view type, std::string_view saveFolder,
                              std::string_view searchText, int row, std::string_view address,
                              const TargetContext& context = {});

} // namespace download
