#pragma once
// The archive engine behind the search seam: starts and stops its searches with the words as
// UTF-8, numbers the rows of the current search as they arrive, and keeps the result caption
// (what the service found, which files it lacks, why it could not) as the engine's news comes
// in. News of a search that was replaced or stopped is not handed on.
#include "search/archive_engine.h"
#include "search/search_engine.h"

#include <functional>
#include <memory>
#include <mutex>

namespace search {

class ArchiveSearch : public SearchEngine, private archive::ArchiveObserver {
public:
    explicit ArchiveSearch(archive::EngineSettings settings);
    ~ArchiveSearch() override;
    ArchiveSearch(const ArchiveSearch&) = delete;
    ArchiveSearch& operator=(const ArchiveSearch&) = delete;

    std::uint64_t start(std::u16string_view words, int mediaType) override;
    void nextPage() override;
    void stop() override;
    bool pagesWhenAsked() const override { return true; }

    // The engine, made on first use (its threads start then).
    archive::ArchiveEngine& engine();
    // Where the search's debug lines go (UTF-8); nowhere when unset.
    std::function<void(const std::string&)> log;

    // The caption lines, in the program's code page.
    static std::string troubleText(archive::Trouble trouble, const std::string& detail);
    static std::string searchingCaption();

private:
    void searchAnswered(std::uint64_t search, std::int64_t numFound) override;
    void rowsArrived(std::uint64_t search, std::vector<core::SongEntry> rows) override;
    void searchFailed(std::uint64_t search, archive::Trouble trouble,
                      const std::string& detail) override;
    void itemFailed(std::uint64_t search, const std::string& identifier,
                    archive::Trouble trouble) override;
    void searchIdle(std::uint64_t search) override;

    std::uint64_t currentLocked(std::uint64_t search);
    std::string captionLocked() const;
    void tell(const std::string& line) const;

    archive::EngineSettings settings_;
    std::unique_ptr<archive::ArchiveEngine> engine_;
    mutable std::mutex mutex_;
    // Guarded: the current search (the engine's number and the seam's), and what it has told.
    std::uint64_t engineSearch_ = 0;
    std::uint64_t lastEngineSearch_ = 0;
    std::uint64_t current_ = 0;
    bool idle_ = true;
    std::int64_t numFound_ = -1;
    int failedItems_ = 0;
    int rows_ = 0;
    int mediaType_ = 0;
    bool stopped_ = false; // the user stopped the search
    bool failed_ = false;  // the search ended in a failure, whose line the caption shows
};

} // namespace search
