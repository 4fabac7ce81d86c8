#pragma once
// The demo service's built-in catalogue: singers, their songs, the charts, and what a search
// for some words finds. All texts UTF-8.
#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// The five media types in the order of the search's type codes 0..4.
inline const char* const kTypes[] = {"mp3", "rm", "wma", "asf", "ram"};

struct Singer {
    std::string name; // as shown
    std::string slug; // ASCII, used in media file names
    bool female = false;
    int results = 0; // how many results a search for the singer finds
    std::vector<std::string> titles;
};

const std::vector<Singer>& singers();
// Song chart entries: "title" of a known singer.
struct ChartSong {
    std::string title;
    const Singer* singer;
};
std::vector<ChartSong> songChart();

// One result of a search.
struct Result {
    std::string name;     // "singer - title"
    std::string fileName; // ASCII, under /media/
    int type = 0;         // index into kTypes
};

// What a search for words (UTF-8) of type code lm (-1 for any) finds, in result order.
struct Found {
    std::vector<Result> results;
    std::vector<std::string> albums; // album names offered for the words
};
Found search(const std::string& words, int lm);

uint64_t hash64(const std::string& text);

} // namespace demo
