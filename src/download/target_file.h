#pragma once
// The target file of a download: the row's save path, or when that cannot be created, the
// fallback name SaveFolder + search text + row number + "." + the address's last three
// characters. A name, type or search text holding a path separator, or a name part that is
// "." or "..", never puts a file outside its folder: such a target counts as one that cannot
// be created.
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

struct TargetChoice {
    std::string path; // the created file
    bool fallback = false;
};
// Creates the row's target file: its save path when that is safe and can be created, else the
// fallback name (checked the same way). Throws core::FileError "Cannot create file <path>"
// (the fallback path) when neither can be created.
TargetChoice createTargetFile(std::string_view savePath, std::string_view name,
                              std::string_view type, std::string_view saveFolder,
                              std::string_view searchText, int row, std::string_view address);

} // namespace download
