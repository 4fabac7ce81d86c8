#include "download/row_state.h"

#include "core/gbk.h"
#include "download/failure.h"

namespace download {

std::string stateText(const QueueRow& row, const RowProgress* progress)
{
    switch (row.status) {
    case RowStatus::Waiting:
        return core::utf8ToGbk("等待");
    case RowStatus::Running: {
        std::string text = core::utf8ToGbk("下载中");
        if (progress && progress->size > 0)
            text += " " + std::to_string(progress->done * 100 / progress->size) + "%";
        return text;
    }
    case RowStatus::Complete:
        return core::utf8ToGbk("完成");
    case RowStatus::Paused:
        return core::utf8ToGbk("已暂停");
    case RowStatus::Failed:
        break;
    }
    if (stoppedByUser(row))
        return core::utf8ToGbk("已停止");
    return core::utf8ToGbk("失败：") + row.failure;
}

std::string remainingText(std::int64_t left, std::int64_t bytesPerSecond)
{
    if (bytesPerSecond <= 0 || left < 0)
        return {};
    const std::int64_t seconds = (left + bytesPerSecond - 1) / bytesPerSecond;
    if (seconds < 60)
        return std::to_string(seconds) + core::utf8ToGbk("秒");
    const std::int64_t s = seconds % 60;
    return std::to_string(seconds / 60) + core::utf8ToGbk("分") + (s < 10 ? "0" : "") +
           std::to_string(s) + core::utf8ToGbk("秒");
}

bool stoppedByUser(const QueueRow& row)
{
    return row.status == RowStatus::Failed && row.failure == kindLine(FailureKind::Stopped);
}

bool actionApplies(RowAction action, const QueueRow& row)
{
    const RowStatus s = row.status;
    switch (action) {
    case RowAction::Pause:
        return s == RowStatus::Waiting || s == RowStatus::Running || stoppedByUser(row);
    case RowAction::Continue:
        return s == RowStatus::Paused;
    case RowAction::Remove:
    case RowAction::OpenFolder:
        return true;
    case RowAction::Redownload:
        return s == RowStatus::Failed || s == RowStatus::Complete;
    case RowAction::OpenFile:
        return s == RowStatus::Complete;
    }
    return false;
}

bool startTakes(const QueueRow& row)
{
    return row.status == RowStatus::Waiting || row.status == RowStatus::Failed;
}

std::map<std::uint64_t, std::int64_t> RowSpeeds::sample(const std::vector<RowProgress>& running)
{
    std::map<std::uint64_t, std::int64_t> speeds;
    std::map<std::uint64_t, std::int64_t> now;
    for (const RowProgress& p : running) {
        now[p.rowId] = p.done;
        if (const auto it = last_.find(p.rowId); it != last_.end())
            speeds[p.rowId] = std::max<std::int64_t>(p.done - it->second, 0);
    }
    last_ = std::move(now);
    return speeds;
}

} // namespace download
