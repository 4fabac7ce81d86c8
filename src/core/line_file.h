#pragma once
// Generated text files: written whole from a list of lines, each line (the last included)
// ending in CR LF, no byte-order mark, replacing any old file.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// A file that cannot be created or opened. what() is "Cannot create file <path>" or
// "Cannot open file <path>", the path in UTF-8.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file-system path of a GBK path text (file names on this platform are UTF-8).
std::filesystem::path gbkPath(std::string_view gbk);

std::string joinLinesCrLf(const std::vector<std::string>& lines);
void writeLines(const std::filesystem::path& path, const std::vector<std::string>& lines);

// Splits text into lines that end at CR LF, a lone CR or a lone LF; a break at the very end
// makes no extra empty line.
std::vector<std::string> splitLines(std::string_view text);
// Reads a whole file as bytes; throws FileError "Cannot open file <path>".
std::string readFileBytes(const std::filesystem::path& path);
std::vector<std::string> readLines(const std::filesystem::path& path);

} // namespace core
