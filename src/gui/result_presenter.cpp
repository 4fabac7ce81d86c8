#include "gui/result_presenter.h"

#include "core/gbk_qt.h"
#include "gui/search_log.h"
#include "gui/song_list_view.h"

#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace gui {

ResultPresenter::ResultPresenter(ui::SongListView* list, QLabel* caption, QProgressBar* progress,
                                 QObject* parent)
    : QObject(parent), list_(list), caption_(caption), progress_(progress)
{
}

// The engines go first (their owner ends them before this presenter).
ResultPresenter::~ResultPresenter() = default;

void ResultPresenter::addEngine(search::SearchEngine* engine)
{
    engines_.push_back(engine);
    engine->setObserver(this);
}

// The other engines stop, unheard; the list empties for the engine's search.
void ResultPresenter::begin(search::SearchEngine& engine)
{
    current_ = 0;
    for (search::SearchEngine* other : engines_)
        if (other != &engine)
            other->stop();
    list_->clearRows();
    engine_ = &engine;
    idle_ = false;
    stopped_ = false;
    rowsShown_ = 0;
    sinceStart_.start();
}

std::uint64_t ResultPresenter::start(search::SearchEngine& engine, std::u16string_view words,
                                     int mediaType)
{
    begin(engine);
    starting_ = true;
    current_ = engine.start(words, mediaType);
    starting_ = false;
    return current_;
}

void ResultPresenter::follow(search::SearchEngine& engine, std::uint64_t search)
{
    begin(engine);
    current_ = search;
}

void ResultPresenter::stop()
{
    // Each engine says what it still tells after its stop (the bar, a stopped caption, the
    // rows of a page that completes anyway); rows told before and not listed yet go.
    for (search::SearchEngine* engine : engines_)
        engine->stop();
    std::lock_guard lock(arrivedMutex_);
    arrived_.clear();
    stopped_ = true;
    idle_ = true;
}

void ResultPresenter::scrolledToEnd()
{
    if (engine_ && current_ && !stopped_ && engine_->pagesWhenAsked())
        engine_->nextPage();
}

bool ResultPresenter::busy() const
{
    std::lock_guard lock(arrivedMutex_);
    return (current_ != 0 && !idle_) || !arrived_.empty();
}

template <typename Change> void ResultPresenter::whenCurrent(std::uint64_t search, Change change)
{
    if (QThread::currentThread() == thread()) {
        if (accepts(search))
            change();
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, search, change = std::move(change)]() mutable {
            if (search != 0 && search == current_)
                change();
        },
        Qt::QueuedConnection);
}

void ResultPresenter::rowsArrived(std::uint64_t search, std::vector<core::SongEntry> rows)
{
    {
        std::lock_guard lock(arrivedMutex_);
        if (QThread::currentThread() != thread() || !arrived_.empty()) {
            for (core::SongEntry& row : rows)
                arrived_.emplace_back(search, std::move(row));
            if (!listingPosted_) {
                listingPosted_ = true;
                QMetaObject::invokeMethod(
                    this, [this] { listArrivedRows(); }, Qt::QueuedConnection);
            }
            return;
        }
    }
    // An engine on this thread (the pages of a browser) with nothing waiting: its rows show now.
    if (!accepts(search))
        return;
    for (const core::SongEntry& row : rows)
        list_->appendRow(row);
    rowsShown_ += static_cast<int>(rows.size());
}

void ResultPresenter::listArrivedRows()
{
    constexpr qint64 kSliceMs = 8;
    QElapsedTimer slice;
    slice.start();
    const int before = rowsShown_;
    while (true) {
        std::pair<std::uint64_t, core::SongEntry> next;
        {
            std::lock_guard lock(arrivedMutex_);
            if (arrived_.empty()) {
                listingPosted_ = false;
                break;
            }
            if (slice.elapsed() >= kSliceMs) {
                QTimer::singleShot(0, this, [this] { listArrivedRows(); });
                break;
            }
            next = std::move(arrived_.front());
            arrived_.pop_front();
        }
        if (next.first == 0 || next.first != current_)
            continue; // a search that was replaced or stopped
        list_->appendRow(next.second);
        ++rowsShown_;
    }
    if ((before == 0 && rowsShown_ > 0) || (before < 200 && rowsShown_ >= 200))
        qCDebug(searchLog, "search %llu: %d rows listed %lld ms after the click",
                static_cast<unsigned long long>(current_), rowsShown_,
                static_cast<long long>(sinceStart_.elapsed()));
}

void ResultPresenter::progressChanged(std::uint64_t search, int value, int maximum)
{
    whenCurrent(search, [this, value, maximum] {
        progress_->setRange(0, std::max(0, maximum));
        progress_->setValue(value);
    });
}

void ResultPresenter::captionChanged(std::uint64_t search, std::string caption)
{
    whenCurrent(search, [this, caption = std::move(caption)] {
        caption_->setText(core::fromGbk(caption));
    });
}

void ResultPresenter::windowCaptionChanged(std::uint64_t search, std::string caption)
{
    whenCurrent(search, [this, caption = std::move(caption)] {
        emit windowCaptionWritten(core::fromGbk(caption));
    });
}

void ResultPresenter::troubleReported(std::uint64_t search, std::string message)
{
    whenCurrent(search, [this, message = std::move(message)] {
        idle_ = true;
        emit trouble(core::fromGbk(message));
    });
}

void ResultPresenter::searchIdle(std::uint64_t search)
{
    whenCurrent(search, [this] { idle_ = true; });
}

} // namespace gui
