#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace core {

// The columns of a result, play, download or card row after its caption.
enum class SubItem : std::size_t {
    Name = 0,
    Address = 1,
    SizeText = 2,
    TypeText = 3,
    SavePath = 4
};

// One row of the result, play, download, card or active list. Texts are GBK.
// Result rows carry four sub-items (name, download address, size text, type text); the download
// list adds the save path; chart and album rows carry only name and link rest; rows read from a
// list file carry a caption only. The active list keeps its own columns (download/active_file.h).
struct SongEntry {
    std::string caption;
    int imageIndex = 0;
    std::vector<std::string> subItems;
    // What the service publishes of the file, where it does (rows of the archive engine): its
    // MD5 as 32 lower-case hex digits, empty when unknown; its size in bytes, -1 when unknown.
    std::string md5 = {};
    std::int64_t sizeBytes = -1;
    // The length in whole seconds where a loaded play list gave it, -1 when unknown.
    int seconds = -1;

    const std::string& sub(std::size_t i) const
    {
        static const std::string empty;
        return i < subItems.size() ? subItems[i] : empty;
    }
    // A column named by one of the scoped column enumerations.
    template <typename Column>
    requires std::is_enum_v<Column>
    const std::string& sub(Column column) const { return sub(static_cast<std::size_t>(column)); }
    bool operator==(const SongEntry&) const = default;
};

} // namespace core
