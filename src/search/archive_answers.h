#pragma once
// Reading the two JSON answers of the archive's public API: the advanced search
// (advancedsearch.php ... output=json) and an item's metadata (/metadata/IDENTIFIER). The
// service is loose about types: a field may be missing, a text field may be a list of texts,
// numbers may come as strings. What cannot be read is left out; an answer that is not the
// expected JSON at all is marked as such and gives nothing. Texts are UTF-8 as the service
// sends them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace search::archive {

struct FoundItem {
    std::string identifier; // never empty
    std::string title;      // may be empty
    std::string creator;    // may be empty; a list of creators is joined with ", "
};

struct SearchAnswer {
    bool readable = false;     // the body was the expected JSON object
    std::int64_t numFound = 0; // items the service found for the whole query
    std::int64_t start = 0;    // index of this page's first item
    std::vector<FoundItem> items;
};

SearchAnswer parseSearchAnswer(std::string_view body);

struct ItemFile {
    std::string name;   // path inside the item, never empty
    std::string format; // "VBR MP3", "Ogg Vorbis", ...
    std::string title;
    std::string creator;
    std::string md5;           // 32 lower-case hex digits, empty when missing or malformed
    std::int64_t size = -1;    // bytes, -1 when missing or malformed
    std::string source;        // "original", "derivative", "metadata"; may be empty
    std::string original;      // the file a derivative was made from; empty for an original
    std::int64_t bitrate = -1; // kbit/s as the service states it, -1 when missing
    std::string track;         // as the service writes it ("01", "3/12"); may be empty
};

struct ItemAnswer {
    bool readable = false; // the body was a JSON object
    bool unknown = false;  // an empty object: the service knows no such item
    std::string title;     // the item's own metadata
    std::string creator;
    std::vector<ItemFile> files;
};

ItemAnswer parseItemAnswer(std::string_view body);

} // namespace search::archive
