#pragma once
// The main window's side of the archive engine: starts and stops its searches, and carries
// what the engine's threads tell onto the window's thread (queued), where rows are numbered
// and appended to the result list and the result caption says what the service found or why
// it could not. Searches that were replaced or stopped are not heard any more.
#include "core/song_entry.h"
#include "search/archive_engine.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class TForm1;

class ArchiveWindow : public search::archive::ArchiveObserver {
public:
    explicit ArchiveWindow(TForm1& form);
    ~ArchiveWindow() override;
    ArchiveWindow(const ArchiveWindow&) = delete;
    ArchiveWindow& operator=(const ArchiveWindow&) = delete;

    // Words as typed (UTF-8) and the MediaType index.
    void search(const std::string& words, int mediaType);
    void stop();
    void scrolledToEnd();
    // The engine, made on first use (its threads start then).
    search::archive::ArchiveEngine& engine();
    // A search runs, or rows it found still wait to be listed.
    bool searching() const;

    // Each engine has its own result caption: while the archive's is shown, the default
    // engine's is kept here.
    bool captionShown = false;
    QString defaultEngineCaption;

    // From the engine's threads:
    void searchAnswered(std::uint64_t search, std::int64_t numFound) override;
    void rowsArrived(std::uint64_t search, std::vector<core::SongEntry> rows) override;
    void searchFailed(std::uint64_t search, search::archive::Trouble trouble,
                      const std::string& detail) override;
    void itemFailed(std::uint64_t search, const std::string& identifier,
                    search::archive::Trouble trouble) override;
    void searchIdle(std::uint64_t search) override;

private:
    template <typename Change> void onWindowThread(std::uint64_t search, Change change);
    void showCaption();
    // Rows of the current search have come from the engine (listed or still waiting).
    bool rowsReceived() const;
    // Lists arrived rows for a few milliseconds at a time, so the window keeps answering.
    void listArrivedRows();

    TForm1& form_;
    mutable std::mutex arrivedMutex_;
    std::deque<std::pair<std::uint64_t, core::SongEntry>> arrived_; // guarded
    bool listingPosted_ = false;                                    // guarded
    std::uint64_t lastRowsSearch_ = 0; // guarded: the latest search that delivered rows
    std::unique_ptr<search::archive::ArchiveEngine> engine_;
    // Window thread only:
    std::uint64_t current_ = 0;
    bool idle_ = true;
    std::int64_t numFound_ = -1;
    int failedItems_ = 0;
    int rowsShown_ = 0;
    int mediaType_ = 0;
    bool stopped_ = false; // the user stopped the search
    bool failed_ = false;  // the search ended in a failure, whose line the caption shows
    QElapsedTimer sinceClick_;
};
