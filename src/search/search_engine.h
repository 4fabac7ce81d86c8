#pragma once
// What the result list needs of a search engine: a search is started with the words as typed
// (Unicode; each engine encodes them for its own wire) and a MediaType index, may be asked for
// its next page and stopped; rows, progress and captions come back as events, each naming the
// search it belongs to, so that the events of a search that was replaced or stopped can be told
// apart. Rows are SongEntry in the program's code page (GB18030), captions too.
#include "core/song_entry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace search {

// A number for a new search, unique across every engine of the process (never 0).
std::uint64_t newSearchId();

// Told by an engine from any thread; an implementation hands the news on to its own thread.
class SearchObserver {
public:
    virtual ~SearchObserver() = default;
    // Rows to append to the result list, in order, numbered.
    virtual void rowsArrived(std::uint64_t search, std::vector<core::SongEntry> rows) = 0;
    // The search's progress; maximum 0 means busy without a measure.
    virtual void progressChanged(std::uint64_t search, int value, int maximum) = 0;
    // The result caption (GB18030).
    virtual void captionChanged(std::uint64_t search, std::string caption) = 0;
    // The window's caption, for an engine that writes what it learnt there (GB18030).
    virtual void windowCaptionChanged(std::uint64_t search, std::string caption) = 0;
    // A message the user must acknowledge (GB18030): the page did not load, no answer came.
    virtual void troubleReported(std::uint64_t search, std::string message) = 0;
    // Nothing more is in flight for the search, and no page is wanted for now.
    virtual void searchIdle(std::uint64_t search) = 0;
};

class SearchEngine {
public:
    virtual ~SearchEngine() = default;
    // Set before the first search.
    void setObserver(SearchObserver* observer) { observer_ = observer; }

    // Starts a search, replacing the one before; returns its number (from newSearchId(), taken
    // before the first event of the search is told).
    virtual std::uint64_t start(std::u16string_view words, int mediaType) = 0;
    // Asks the next page of the current search, when it has one.
    virtual void nextPage() = 0;
    // Stops the current search: what was listed stays.
    virtual void stop() = 0;
    // True when the engine pages only when asked (the user scrolled to the end of the list);
    // otherwise it asks its following pages itself.
    virtual bool pagesWhenAsked() const = 0;

protected:
    SearchObserver* observer() const { return observer_; }

private:
    SearchObserver* observer_ = nullptr;
};

} // namespace search
