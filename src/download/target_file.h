#pragma once
// The target file of a download: the row's save path, or when that cannot be created, the
// fallback name SaveFolder + search text + row number + "." + the address's last three
// characters. A name, type or search text holding a path separator, or a name part that is
// "." or "..", never puts a file outside its folder: such a target counts as one that cannot
// be created.
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
// True when the save path's file name part is one plain component of name + "." + type, or,
// for any other path, when its last component is not "." or "..".
bool savePathIsSafe(std::string_view savePath, std::string_view name, std::string_view type);

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
// Chooses and prepares the row's target file: the save path when that is safe and can be
// created, else the fallback name (checked the same way). A path taken by this run, or one
// that exists without a resume record beside it, or one whose lock another writer holds, is
// never overwritten: the first free variant name(1).ext, name(2).ext, ... is used instead. An
// existing path with a record of the same file (sameFile) is resumed; with any other record it
// starts over (emptied, under the lock). Throws core::FileError "无法创建文件 <path>：<reason>"
// (UTF-8; the save path and why it failed, else the fallback's) when nothing can be created.
TargetChoice createTargetFile(std::string_view savePath, std::string_view name,
                              std::string_view type, std::string_view saveFolder,
                              std::string_view searchText, int row, std::string_view address,
                              const TargetContext& context = {});

} // namespace download
