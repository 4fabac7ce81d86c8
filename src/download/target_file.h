#pragma once
// The target file of a download: the row's save path, or when that cannot be created, the
// fallback name SaveFolder + search text + row number + "." + the address's last three
// characters. A name, type or search text holding a path separator, or a name part that is
// "." or "..", never puts a file outside its folder: such a target counts as one that cannot
// be created.
#include "download/resume_record.h"

#include <cstdint>
#include <functional>
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

// The n-th variant of a path: "(n)" before the last component's extension, or at its end when
// it has none: "a/song.mp3" -> "a/song(1).mp3".
std::string numberedPath(std::string_view gbkPath, int n);

// What is known of the file about to be fetched, for choosing where it goes.
struct TargetContext {
    // True for a path another file of this run is writing or has written.
    std::function<bool(const std::string& gbkPath)> takenByRun;
    std::string address;    // where the file comes from
    std::int64_t size = -1; // its announced length; below 0 when unknown
};

struct TargetChoice {
    std::string path; // the file to write
    bool fallback = false;
    // Set when the file holds part of this same file (same address, same length) and only
    // the recorded missing ranges are to be fetched; the file is then left as it is.
    std::optional<ResumeRecord> resume;
};
// Chooses and prepares the row's target file: the save path when that is safe and can be
// created, else the fallback name (checked the same way). A path taken by this run, or one
// that exists without a resume record beside it, is never overwritten: the first free variant
// name(1).ext, name(2).ext, ... is used instead. An existing path with a record of the same
// address and length is resumed; with any other record it starts over (emptied). Throws
// core::FileError "Cannot create file <path>" (the fallback path) when nothing can be created.
TargetChoice createTargetFile(std::string_view savePath, std::string_view name,
                              std::string_view type, std::string_view saveFolder,
                              std::string_view searchText, int row, std::string_view address,
                              const TargetContext& context = {});

} // namespace download
