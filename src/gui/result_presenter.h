#pragma once
// The one place the result list, the result caption and the search progress are filled from,
// whichever engine searches: it hears the engines' events (from any thread), carries them onto
// its own thread and applies those of the current search only: a replaced search is not heard,
// and rows of a stopped one that wait to be listed are dropped. Rows are listed a few milliseconds
// at a time, so the window keeps answering while an engine delivers hundreds. Scrolling the list to
// its end asks an engine that pages on demand for its next page.
#include "search/search_engine.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

class QLabel;
class QProgressBar;

namespace ui {
class SongListView;
}

namespace gui {

class ResultPresenter : public QObject, public search::SearchObserver {
    Q_OBJECT
public:
    ResultPresenter(ui::SongListView* list, QLabel* caption, QProgressBar* progress,
                    QObject* parent = nullptr);
    ~ResultPresenter() override;

    // The engines whose events come here (each told to report to this presenter).
    void addEngine(search::SearchEngine* engine);
    // Empties the list and starts a search with the engine; the other engines stop first.
    std::uint64_t start(search::SearchEngine& engine, std::u16string_view words, int mediaType);
    // From now on the list shows the search `search` of the engine (a page the engine loads
    // by other means than start): the list is emptied, the others stop.
    void follow(search::SearchEngine& engine, std::uint64_t search);
    // Stops every engine. Rows told and not listed yet are dropped; what the engines tell
    // after their stop still shows. No page is asked after a stop.
    void stop();
    // The user scrolled the list to its end.
    void scrolledToEnd();

    // The current search's engine (nullptr when none) and number (0 when none).
    search::SearchEngine* engine() const { return engine_; }
    std::uint64_t current() const { return current_; }
    // A search runs, or rows it delivered still wait to be listed.
    bool busy() const;

    // search::SearchObserver, from any thread:
    void rowsArrived(std::uint64_t search, std::vector<core::SongEntry> rows) override;
    void progressChanged(std::uint64_t search, int value, int maximum) override;
    void captionChanged(std::uint64_t search, std::string caption) override;
    void windowCaptionChanged(std::uint64_t search, std::string caption) override;
    void troubleReported(std::uint64_t search, std::string message) override;
    void searchIdle(std::uint64_t search) override;

signals:
    void windowCaptionWritten(const QString& caption);
    void trouble(const QString& message);

private:
    // Runs change now when on the presenter's thread, else queued; either way only while
    // `search` is the current one.
    template <typename Change> void whenCurrent(std::uint64_t search, Change change);
    bool accepts(std::uint64_t search) const
    {
        return search != 0 && (starting_ || search == current_);
    }
    void begin(search::SearchEngine& engine);
    void listArrivedRows();

    ui::SongListView* list_;
    QLabel* caption_;
    QProgressBar* progress_;
    std::vector<search::SearchEngine*> engines_;
    search::SearchEngine* engine_ = nullptr;
    // Own thread only:
    std::uint64_t current_ = 0;
    bool starting_ = false; // events of the search being started are told before its number
    bool idle_ = true;
    bool stopped_ = false; // the user stopped the current search
    int rowsShown_ = 0;
    QElapsedTimer sinceStart_;

    mutable std::mutex arrivedMutex_;
    std::deque<std::pair<std::uint64_t, core::SongEntry>> arrived_; // guarded
    bool listingPosted_ = false;                                    // guarded
};

} // namespace gui
