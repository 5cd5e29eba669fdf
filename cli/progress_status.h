// What the progress line says: the files and bytes copied so far, the rate, and with a plan's totals
// the time left; then the engine's current operation, with a large file's own percentage.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/amount_text.h"
#include "base/rate_meter.h"
#include "cli/progress_line.h"
#include "engine/records/copy_progress.h"

namespace twinfol::cli {

// What a plan found the run will copy.
struct PlanTotals {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

class ProgressStatus {
public:
    explicit ProgressStatus(ProgressClock clock = &std::chrono::steady_clock::now) : clock_(std::move(clock))
    {
    }

    void SetTotals(std::optional<PlanTotals> totals) { totals_ = totals; }
    // While planning the line says so and shows the planning walk's own operation only.
    void SetPlanning(bool planning) { planning_ = planning; }
    void SetOperation(const std::string& text) { operation_ = text; }
    void SetCounters(const CopyCounters& counters);
    // While a question waits for its answer the rate stands still.
    void PauseRate() { rate_.Pause(clock_()); }
    void ResumeRate() { rate_.Resume(clock_()); }

    // The line for the width: the figures first, then the operation shortened to what is left.
    std::string Text(std::size_t width);

private:
    std::string Figures();

    ProgressClock clock_;
    std::optional<PlanTotals> totals_;
    bool planning_ = false;
    std::string operation_;
    CopyCounters counters_;
    RateMeter rate_;
};

} // namespace twinfol::cli
