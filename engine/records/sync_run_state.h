// The state of the run in progress: its direction, the stop request and the to-all answers.
#pragma once

#include <atomic>

#include "engine/records/sync_options.h"

namespace twinfol {

struct SyncRunState {
    // Written by the window thread only; the engine thread never reads it.
    SyncDirection runningDirection = SyncDirection::None;
    // Set from any thread (the Stop button, a Cancel answer, a signal); read by the engine at its
    // stop tests. Kept after a run so that it tells whether that run was interrupted.
    std::atomic<bool> stopRequested{false};
    // The to-all answers of delete questions; written and read on the engine's thread during a run.
    bool fileYesToAll = false;
    bool fileNoToAll = false;
    bool folderYesToAll = false;
    bool folderNoToAll = false;

    bool IsRunning() const { return runningDirection != SyncDirection::None; }
    bool IsStopped() const { return stopRequested.load(std::memory_order_relaxed); }
    void RequestStop() { stopRequested.store(true, std::memory_order_relaxed); }

    // Clears the stop request and the to-all answers before a new run starts.
    void ResetForRun();
};

} // namespace twinfol
