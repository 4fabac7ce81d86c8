#pragma once
// The archive engine: a search over the archive's public JSON API. A search asks the advanced
// search for a page of audio items, then each item's file list, and turns the files of the
// chosen type into result rows, delivered in the order of the search as the file lists arrive.
// Further pages are asked by the paging rule (archive_rows.h).
//
// Plain C++ with threads, no widgets: a fixed set of worker threads, each with its own HTTP
// client, so at most that many requests are in flight. 429 and 503 answers wait for their
// Retry-After (bounded) and try again. An answer larger than kLargestAnswer is refused without
// reading further. The latest file lists are kept (FileListCache), so a repeated search does
// not ask for them again. A new search or a stop cancels what is queued and cuts the requests
// in flight short.
#include "core/song_entry.h"
#include "search/archive_answers.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace http {
class HttpClient;
}

namespace search::archive {

enum class Trouble {
    Unreachable,  // no connection, or it broke
    ServerError,  // an answer with an error status
    BadAnswer,    // a body that is not the expected JSON
    NothingFound, // the service found no item
    TooLarge,     // an answer larger than kLargestAnswer, refused
};

// The largest search answer or file list the engine reads.
inline constexpr std::int64_t kLargestAnswer = std::int64_t{32} << 20;

// The file lists of the session, the most recently used kept: at most `mostLists` of them and
// at most `mostBytes` of their estimated memory. A list larger than that alone is not kept.
class FileListCache {
public:
    explicit FileListCache(std::size_t mostLists = 500, std::size_t mostBytes = 64u << 20)
        : mostLists_(mostLists), mostBytes_(mostBytes)
    {
    }
    // The list kept for the identifier (now the most recently used), or nothing.
    const ItemAnswer* find(const std::string& identifier);
    void put(const std::string& identifier, ItemAnswer answer);
    std::size_t size() const { return entries_.size(); }
    std::size_t bytes() const { return bytes_; }
    // The memory a list takes, estimated from its texts and records.
    static std::size_t estimatedBytes(const std::string& identifier, const ItemAnswer& answer);

private:
    struct Entry {
        std::string identifier;
        ItemAnswer answer;
        std::size_t bytes = 0;
    };
    void evict(std::list<Entry>::iterator entry);
    std::size_t mostLists_;
    std::size_t mostBytes_;
    std::size_t bytes_ = 0;
    std::list<Entry> entries_; // most recently used first
    std::map<std::string, std::list<Entry>::iterator, std::less<>> byIdentifier_;
};

// Told from the worker threads, under the engine's lock, in the order things happen: an
// implementation hands the news on (for example queued to a window thread) and never calls
// back into the engine.
class ArchiveObserver {
public:
    virtual ~ArchiveObserver() = default;
    // The first page of a search has been read: how many items the service found.
    virtual void searchAnswered(std::uint64_t search, std::int64_t numFound) = 0;
    // The rows of one item, in search order (captions empty).
    virtual void rowsArrived(std::uint64_t search, std::vector<core::SongEntry> rows) = 0;
    // The search page could not be had or read (the search ends), or the service found
    // nothing; `detail` is the status line or the system's message, when there is one.
    virtual void searchFailed(std::uint64_t search, Trouble trouble, const std::string& detail) = 0;
    // An item's file list could not be had or read: the item gives no row.
    virtual void itemFailed(std::uint64_t search, const std::string& identifier,
                            Trouble trouble) = 0;
    // Nothing more is in flight for the search and no further page is wanted for now.
    virtual void searchIdle(std::uint64_t search) = 0;
};

struct EngineSettings {
    std::string base = "https://archive.org"; // no trailing slash
    std::string userAgent = "Corvale";
    int workers = 6; // requests in flight at most
    int retries = 3; // further tries after a 429 or 503
    std::chrono::seconds longestRetryWait{30};
    std::chrono::milliseconds stallTimeout{20000};
    std::int64_t largestAnswer = kLargestAnswer;
    std::size_t mostFileLists = 500;
    std::size_t mostFileListBytes = 64u << 20;
};

// The wait a Retry-After value asks for: delta-seconds, at most `longest`; one second when the
// value is missing or not a number of seconds.
std::chrono::seconds retryWait(std::string_view retryAfter, std::chrono::seconds longest);

class ArchiveEngine {
public:
    explicit ArchiveEngine(EngineSettings settings);
    // Cancels what runs and waits for the worker threads.
    ~ArchiveEngine();
    ArchiveEngine(const ArchiveEngine&) = delete;
    ArchiveEngine& operator=(const ArchiveEngine&) = delete;

    // Set before the first search.
    void setObserver(ArchiveObserver* observer) { observer_ = observer; }
    const EngineSettings& settings() const { return settings_; }

    // Starts a search for words (UTF-8) and a media type (0 MP3 .. 4 RAM), cancelling the
    // search before it; returns its number (never 0). Never blocks on the network.
    std::uint64_t startSearch(const std::string& words, int mediaType);
    // Cancels the current search; the rows delivered stay the caller's.
    void stopSearch();
    // The user has scrolled to the end of the list: the next page is asked if the service has
    // more (now, or once the current page has been listed).
    void scrolledToEnd();

    // Counters for tests and logs.
    int requestsSent() const { return requestsSent_.load(); }
    std::size_t fileListsKept() const
    {
        std::lock_guard lock(mutex_);
        return fileLists_.size();
    }
    std::size_t fileListBytesKept() const
    {
        std::lock_guard lock(mutex_);
        return fileLists_.bytes();
    }
    int mostInFlight() const { return mostInFlight_.load(); }

private:
    struct Job {
        std::uint64_t search = 0;
        int page = 0; // a search page when > 0, else an item's file list
        std::size_t slot = 0;
        std::string identifier;
    };
    struct Slot {
        FoundItem found;
        bool done = false;
        std::optional<ItemAnswer> answer;
    };
    struct Search {
        std::uint64_t id = 0; // 0: none
        std::string words;
        int mediaType = 0;
        int lastPage = 0;
        bool pageInFlight = false;
        bool scrolledToEnd = false;
        std::int64_t itemsAsked = 0;
        std::int64_t numFound = 0;
        int rowsListed = 0;
        std::size_t firstSlot = 0; // index of pending.front() within the search
        std::deque<Slot> pending;
    };
    struct Fetched {
        enum class Kind { Body, Unreachable, Status, TooLarge, Cancelled } kind = Kind::Cancelled;
        std::string body;
        std::string detail;
    };

    static Trouble troubleOf(const Fetched& fetched)
    {
        switch (fetched.kind) {
        case Fetched::Kind::Unreachable:
            return Trouble::Unreachable;
        case Fetched::Kind::TooLarge:
            return Trouble::TooLarge;
        default:
            return Trouble::ServerError;
        }
    }
    void work(int index);
    Fetched fetch(http::HttpClient& client, std::string address, std::uint64_t search);
    void pageArrived(const Job& job, const Fetched& fetched);
    void itemArrived(const Job& job, const Fetched& fetched);
    // With the lock held:
    void cancelLocked();
    void flushLocked();
    void askPageLocked(int page);
    bool cancelled(std::uint64_t search) const { return shutdown_ || current_.id != search; }

    EngineSettings settings_;
    ArchiveObserver* observer_ = nullptr;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool shutdown_ = false;
    std::uint64_t lastId_ = 0;
    Search current_;
    std::deque<Job> jobs_;
    FileListCache fileLists_;
    std::vector<std::unique_ptr<http::HttpClient>> clients_; // one per worker
    std::vector<std::uint64_t> working_;                     // the search each worker serves
    std::vector<std::thread> threads_;

    std::atomic<int> requestsSent_{0};
    std::atomic<int> inFlight_{0};
    std::atomic<int> mostInFlight_{0};
};

} // namespace search::archive
