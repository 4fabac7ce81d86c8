#pragma once
// What the download list shows of each row after its own columns: its state ("等待",
// "下载中 N%", "完成", "失败：REASON", "已停止"), its speed while it runs and the time left.
// Texts are GBK.
#include "download/download_queue.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace download {

// How far a running row has come.
struct RowProgress {
    std::uint64_t rowId = 0;
    std::int64_t done = 0;  // bytes on disk or in flight to it
    std::int64_t size = -1; // below 0 when the server announced none
};

std::string stateText(const QueueRow& row, const RowProgress* progress);
// "M分SS秒" (or "S秒" below a minute) for `left` bytes at that speed; empty when it cannot be
// told (no speed, unknown size).
std::string remainingText(std::int64_t left, std::int64_t bytesPerSecond);

// What a user can do with one row, from its context menu and keys.
enum class RowAction { Pause, Continue, Remove, Redownload, OpenFile, OpenFolder };
// Whether the action applies to the row as it is: 暂停 to a waiting, running or stopped row;
// 继续 to a paused one; 删除 and 打开所在文件夹 to any; 重新下载 to a failed, stopped or
// complete one; 打开文件 to a complete one.
bool actionApplies(RowAction action, const QueueRow& row);
// Whether a press of "开始下载" starts the row: a waiting, failed or stopped one (a failed or
// stopped one resumes from its record). Paused, running and complete rows are passed over.
bool startTakes(const QueueRow& row);
// A row that failed because the user stopped it (已停止).
bool stoppedByUser(const QueueRow& row);

// The speed of each running row, from one sample a second.
class RowSpeeds {
public:
    // A second has passed: the rows' speeds since the last sample. A row seen for the first
    // time has no speed yet; rows no longer given are forgotten.
    std::map<std::uint64_t, std::int64_t> sample(const std::vector<RowProgress>& running);

private:
    std::map<std::uint64_t, std::int64_t> last_;
};

} // namespace download
