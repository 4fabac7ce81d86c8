#pragma once
// Window tests set the engine's counters directly to drive the tick and the error handler.
#include "download/transfer_engine.h"

#include <array>

namespace download {

struct TransferEngineTestAccess {
    static auto& workerBytes(TransferEngine& e) { return e.WorkerBytes; }
    static auto& slotWorkers(TransferEngine& e) { return e.SlotWorkers; }
    static auto& activeWorkers(TransferEngine& e) { return e.ActiveWorkers; }
    static auto& activeFiles(TransferEngine& e) { return e.activeFiles_; }
    template <typename T>
    static void set(std::array<std::atomic<T>, TransferEngine::kSlots>& perSlot,
                    const std::array<T, TransferEngine::kSlots>& values)
    {
        for (std::size_t s = 0; s < perSlot.size(); ++s)
            perSlot[s] = values[s];
    }
    static void setSlotSize(TransferEngine& e, const std::array<std::int64_t, 3>& v)
    {
        set(e.SlotSize, v);
    }
    static void setSlotRow(TransferEngine& e, const std::array<int, 3>& v) { set(e.SlotRow, v); }
    static void setSlotConnected(TransferEngine& e, const std::array<int, 3>& v)
    {
        set(e.SlotConnected, v);
    }
    static auto& connectedCount(TransferEngine& e) { return e.ConnectedCount; }
    static void setResumeRow(TransferEngine& e, int row) { e.queue_.setMark(e.resumeMark_, row); }
    static auto& probing(TransferEngine& e) { return e.Probing; }
};

} // namespace download
