#include "download/headless_observer.h"

#include "download/error_classification.h"
#include "download/tick_report.h"

namespace download {

std::vector<HeadlessObserver::ActiveRow> HeadlessObserver::activeRows() const
{
    std::lock_guard lock(mutex_);
    return active_;
}

std::vector<std::string> HeadlessObserver::memoLines() const
{
    std::lock_guard lock(mutex_);
    return memo_;
}

bool HeadlessObserver::timerEnabled() const
{
    std::lock_guard lock(mutex_);
    return timerEnabled_;
}

void HeadlessObserver::addActiveRow(int index, const ActiveFile& file)
{
    std::lock_guard lock(mutex_);
    if (active_.size() <= static_cast<std::size_t>(index))
        active_.resize(static_cast<std::size_t>(index) + 1);
    active_[static_cast<std::size_t>(index)] = {file, statusRunning(), 0, 0};
}

void HeadlessObserver::setTimerEnabled(bool enabled)
{
    std::lock_guard lock(mutex_);
    timerEnabled_ = enabled;
}

void HeadlessObserver::rowSkipped(const std::string& line)
{
    std::lock_guard lock(mutex_);
    memo_.push_back(line);
}

void HeadlessObserver::fileEnded(int activeRow, const FileOutcome& outcome)
{
    std::lock_guard lock(mutex_);
    if (activeRow < 0 || static_cast<std::size_t>(activeRow) >= active_.size())
        return;
    ActiveRow& row = active_[static_cast<std::size_t>(activeRow)];
    ++row.fileEndNotifications;
    row.status = outcome.complete ? statusEnded() : statusFailed();
    if (!outcome.complete)
        for (const std::string& line : failedFileLines(row.file.row.name, outcome.reason))
            memo_.push_back(line);
}

void HeadlessObserver::workerEnded(int, int, int activeRow)
{
    std::lock_guard lock(mutex_);
    if (activeRow >= 0 && static_cast<std::size_t>(activeRow) < active_.size())
        ++active_[static_cast<std::size_t>(activeRow)].endNotifications;
}

} // namespace download
