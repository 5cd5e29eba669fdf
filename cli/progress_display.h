// The progress line of a run as the runner shows it: the engine's texts and copy counters go in from
// the run's thread, and a thread of its own draws a change that had to wait for its turn, so the line
// shows the newest state within one interval even while a long copy sends nothing.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "cli/progress_line.h"
#include "cli/progress_status.h"

namespace twinfol::cli {

class ProgressDisplay {
public:
    ProgressDisplay(std::ostream& out, std::size_t width, LineStyle style);
    // Stops the drawing thread and removes the line.
    ~ProgressDisplay();
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    void SetTotals(std::optional<PlanTotals> totals);
    void SetPlanning(bool planning);
    void SetOperation(const std::string& text);
    void SetCounters(const CopyCounters& counters);
    // A line of its own above the progress line.
    void PrintLine(std::string_view line);
    // Removes the line until the next change.
    void Clear();
    // The time a question waits for its answer is left out of the rate.
    void PauseRate();
    void ResumeRate();

private:
    void DrawWhenDue();
    // Wakes the drawing thread for a change held back, unless it already waits for a due time.
    void WakeForHeldChange(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable changed_;
    ProgressStatus status_;
    ProgressLine line_;
    bool ending_ = false;
    // The drawing thread waits until a due time, so a further change needs no wake-up.
    bool drawerHasDue_ = false;
    std::thread drawer_;
};

} // namespace twinfol::cli
