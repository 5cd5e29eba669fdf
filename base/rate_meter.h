// The copy rate of a run over the last few seconds, so that a slow stretch long ago does not weigh on
// it; the runner's progress line and the window's figures both use it. Time spent waiting for the
// person to answer a question is no copying time: the meter leaves it out.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

namespace twinfol {

class RateMeter {
public:
    void Add(std::chrono::steady_clock::time_point now, std::uint64_t bytes);
    // Bytes a second; nothing until a second has been measured.
    std::optional<double> Rate(std::chrono::steady_clock::time_point now, std::uint64_t bytes) const;
    void Clear();
    // From now until Resume, no time passes for the rate: it stays as it stood, and samples are
    // ignored.
    void Pause(std::chrono::steady_clock::time_point now);
    void Resume(std::chrono::steady_clock::time_point now);

private:
    struct Sample {
        std::chrono::steady_clock::time_point time;
        std::uint64_t bytes;
    };
    std::deque<Sample> samples_;
    std::optional<std::chrono::steady_clock::time_point> pausedSince_;
};

} // namespace twinfol
