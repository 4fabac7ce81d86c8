#pragma once
#include <string>
#include <vector>

namespace search {

// One row of the result, play, download, card or active list. Texts are GBK.
// Result rows carry four sub-items (name, download address, size text, type text); the download
// list adds the save path; chart and album rows carry only name and link rest; rows read from a
// list file carry a caption only.
struct SongEntry {
    std::string caption;
    int imageIndex = 0;
    std::vector<std::string> subItems;

    const std::string& sub(size_t i) const
    {
        static const std::string empty;
        return i < subItems.size() ? subItems[i] : empty;
    }
    bool operator==(const SongEntry&) const = default;
};

enum SubItem : size_t { Name = 0, Address = 1, SizeText = 2, TypeText = 3, SavePath = 4 };

} // namespace search
