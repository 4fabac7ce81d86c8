#include "download/tick_report.h"

#include "core/gbk.h"

#include <charconv>
#include <climits>

namespace download {

namespace {
std::string gbk(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}
} // namespace

const std::string& statusRunning()
{
    static const std::string text = gbk("正在下载");
    return text;
}

const std::string& statusEnded()
{
    static const std::string text = gbk("下载结束");
    return text;
}

const std::string& statusReported()
{
    static const std::string text = gbk("下载已经完成");
    return text;
}

const std::string& statusFailed()
{
    static const std::string text = gbk("下载失败");
    return text;
}

std::string totalTimeText(int seconds)
{
    static const std::string head = gbk("总耗时：");
    static const std::string tail = gbk("秒");
    return head + std::to_string(seconds) + tail;
}

std::string speedText(std::int64_t byteDelta)
{
    return std::to_string(byteDelta > 0 ? byteDelta / 1024 : 0) + "k/s";
}

int displayedSlot(const std::string* selectedSequenceText)
{
    if (!selectedSequenceText)
        return 0;
    int value = 0;
    const std::string& t = *selectedSequenceText;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (ec != std::errc() || end != t.data() + t.size() || value < 0)
        return 0;
    return value % kSlotCount;
}

TickOutput computeTick(const TickInput& in)
{
    TickOutput out;
    std::int64_t sum = 0;
    for (const auto& slot : in.workerBytes)
        for (std::int64_t b : slot)
            sum += b;
    out.overallSpeed = speedText(sum - in.lastByteSum);
    out.byteSum = sum;
    for (int s = 0; s < kSlotCount; ++s)
        out.slotRunning[s] = in.slotWorkers[s] > 0;
    out.barValues = in.barValues;
    const int d = in.displayedSlot >= 0 && in.displayedSlot < kSlotCount ? in.displayedSlot : 0;
    const int connected = in.slotConnected[d];
    if (connected <= 0)
        return out;
    std::int64_t before = 0;
    for (std::int64_t v : in.barValues)
        before += v;
    std::int64_t after = 0;
    for (int k = 0; k < kWorkersPerSlot; ++k) {
        out.barValues[k] = in.workerBytes[d][k];
        after += out.barValues[k];
    }
    out.barsChanged = true;
    out.barMaximum = in.slotSize[d] / connected;
    out.slotSpeed = speedText(after - before);
    return out;
}

BarScale scaleBar(std::int64_t value, std::int64_t maximum)
{
    if (maximum < 0)
        maximum = 0;
    if (value < 0)
        value = 0;
    int shift = 0;
    while ((maximum >> shift) > INT_MAX || (value >> shift) > INT_MAX)
        ++shift;
    return {static_cast<int>(maximum >> shift), static_cast<int>(value >> shift)};
}

std::vector<std::string> completionReport(const std::string& dateTime, const std::string& caption,
                                          const ActiveFile& file, const std::string& timeText)
{
    static const std::string done = gbk("下载完毕!");
    static const std::string saved = gbk("保存地址：");
    static const std::string took = gbk("用时：");
    static const std::string seconds = gbk("秒");
    static const std::string from = gbk("下载地址：");
    static const std::string size = gbk("文件大小：");
    return {dateTime,
            caption + done,
            saved + file.targetPath,
            took + timeText + seconds,
            from + file.row.address,
            size + file.row.sizeText};
}

} // namespace download
