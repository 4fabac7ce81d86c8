#pragma once
// What the one-second tick shows and the completion report of a finished file. All texts GBK.
#include "download/active_file.h"
#include "download/engine_limits.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace download {

// The status texts of an active row.
const std::string& statusRunning();  // "正在下载"
const std::string& statusEnded();    // "下载结束"
const std::string& statusReported(); // "下载已经完成"
const std::string& statusFailed();   // "下载失败"

// "总耗时：N秒".
std::string totalTimeText(int seconds);
// Bytes per second as whole kilobytes: (delta div 1024) + "k/s"; a delta below 0 (counts of a
// new file replacing those of the previous one) shows as 0.
std::string speedText(std::int64_t byteDelta);

// The slot the bars show: 0 when no active row is selected, otherwise that row's "相应序列"
// value mod 3 (0 when the text is no number).
int displayedSlot(const std::string* selectedSequenceText);

struct TickInput {
    std::array<std::array<std::int64_t, kWorkersPerSlot>, kSlotCount> workerBytes{};
    std::array<int, kSlotCount> slotWorkers{};
    std::array<std::int64_t, kSlotCount> slotSize{};
    // Connections of each slot's current file: kept per slot, so a start loop that moves on to
    // the next row never takes the bars of a running file away.
    std::array<int, kSlotCount> slotConnected{};
    int displayedSlot = 0;
    std::int64_t lastByteSum = 0;
    std::array<std::int64_t, kWorkersPerSlot> barValues{}; // what the bars show before this tick
};
struct TickOutput {
    std::string overallSpeed; // panel 3
    std::int64_t byteSum = 0; // the new LastByteSum
    bool barsChanged = false; // false while the displayed slot has no connection
    std::int64_t barMaximum = 0;
    std::array<std::int64_t, kWorkersPerSlot> barValues{};
    std::string slotSpeed; // panel 2, when barsChanged
    std::array<bool, kSlotCount> slotRunning{};
};
TickOutput computeTick(const TickInput& in);

// A 64-bit bar value and maximum brought into the int range of a progress bar widget,
// keeping their ratio.
struct BarScale {
    int maximum = 0;
    int value = 0;
};
BarScale scaleBar(std::int64_t value, std::int64_t maximum);

// The six lines of a completion report: date and time, name + "下载完毕!", "保存地址：" + where
// the file was written, "用时：" + seconds + "秒", "下载地址：" + address, "文件大小：" + size
// text.
std::vector<std::string> completionReport(const std::string& dateTime, const std::string& caption,
                                          const ActiveFile& file, const std::string& timeText);

} // namespace download
