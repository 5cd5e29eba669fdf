// What the progress line says: the files and bytes copied so far, the rate, and with a plan's totals
// the time left; then the engine's current operation, with a large file's own percentage.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "cli/progress_line.h"
#include "engine/copy_progress.h"

namespace twinfol::cli {

// What a plan found the run will copy.
struct PlanTotals {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

// "1,234,567".
std::string FormatCount(std::uint64_t count);
// "512 B", "1.5 KiB", "12.3 MiB", "4.0 GiB".
std::string FormatBytes(std::uint64_t bytes);
// "0:42", "12:05", "1:02:03".
std::string FormatDuration(std::chrono::seconds duration);

// The copy rate over the last few seconds, so that a slow stretch long ago does not weigh on it.
class RateMeter {
public:
    void Add(std::chrono::steady_clock::time_point now, std::uint64_t bytes);
    // Bytes a second; nothing until a second has been measured.
    std::optional<double> Rate(std::chrono::steady_clock::time_point now, std::uint64_t bytes) const;

private:
    struct Sample {
        std::chrono::steady_clock::time_point time;
        std::uint64_t bytes;
    };
    std::deque<Sample> samples_;
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
