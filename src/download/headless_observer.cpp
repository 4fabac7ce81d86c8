#include "download/headless_observer.h"

#include "download/tick_report.h"
#include "download/transfer_plan.h"

namespace download {

std::vector<HeadlessObserver::ActiveRow> HeadlessObserver::activeRows() const
{
    std::lock_guard lock(mutex_);
    return active_;
}

int HeadlessObserver::timerEnables() const
{
    std::lock_guard lock(mutex_);
    return timerEnables_;
}

bool HeadlessObserver::timerEnabled() const
{
    std::lock_guard lock(mutex_);
    return timerEnabled_;
}

int HeadlessObserver::allEndedEvents() const
{
    std::lock_guard lock(mutex_);
    return allEnded_;
}

std::string HeadlessObserver::lastProgressText() const
{
    std::lock_guard lock(mutex_);
    return lastCount_ < 0 ? std::string() : progressPanelText(lastTag_, lastCount_);
}

int HeadlessObserver::downloadRowCount()
{
    return static_cast<int>(rows.size());
}

DownloadRow HeadlessObserver::downloadRow(int index)
{
    return rows.at(static_cast<std::size_t>(index));
}

void HeadlessObserver::processMessages()
{
    if (onProcessMessages)
        onProcessMessages();
}

int HeadlessObserver::addActiveRow(const ActiveFile& file)
{
    std::lock_guard lock(mutex_);
    active_.push_back({file, statusRunning(), 0});
    return static_cast<int>(active_.size()) - 1;
}

void HeadlessObserver::setTimerEnabled(bool enabled)
{
    std::lock_guard lock(mutex_);
    if (enabled)
        ++timerEnables_;
    timerEnabled_ = enabled;
}

void HeadlessObserver::progress(int tag, std::int64_t count)
{
    std::lock_guard lock(mutex_);
    lastTag_ = tag;
    lastCount_ = count;
}

void HeadlessObserver::workerEnded(int, int, int activeRow, bool slotFree, bool allEnded)
{
    std::lock_guard lock(mutex_);
    if (activeRow >= 0 && static_cast<std::size_t>(activeRow) < active_.size()) {
        ++active_[static_cast<std::size_t>(activeRow)].endNotifications;
        if (slotFree)
            active_[static_cast<std::size_t>(activeRow)].status = statusEnded();
    }
    if (allEnded) {
        ++allEnded_;
        timerEnabled_ = false;
    }
}

} // namespace download
