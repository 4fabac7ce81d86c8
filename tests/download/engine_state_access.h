#pragma once
// Window tests set the engine's counters directly to drive the tick and the error handler.
#include "download/transfer_engine.h"

namespace download {

struct TransferEngineTestAccess {
    static auto& workerBytes(TransferEngine& e) { return e.WorkerBytes; }
    static auto& slotWorkers(TransferEngine& e) { return e.SlotWorkers; }
    static auto& activeWorkers(TransferEngine& e) { return e.ActiveWorkers; }
    static auto& activeFiles(TransferEngine& e) { return e.activeFiles_; }
    static auto& slotSize(TransferEngine& e) { return e.SlotSize; }
    static auto& slotRow(TransferEngine& e) { return e.SlotRow; }
    static int& connectedCount(TransferEngine& e) { return e.ConnectedCount; }
    static auto& slotConnected(TransferEngine& e) { return e.SlotConnected; }
    static int& resumeRow(TransferEngine& e) { return e.ResumeRow; }
    static bool& probing(TransferEngine& e) { return e.Probing; }
};

} // namespace download
