// Measuring a copy rate over a sliding window of samples.
#include "base/rate_meter.h"

namespace twinfol {
namespace {

// Samples closer together than this add nothing but memory.
constexpr std::chrono::milliseconds sampleSpacing{250};
// The rate is measured over about this much of the recent past.
constexpr std::chrono::seconds rateWindow{5};
constexpr std::chrono::seconds shortestMeasurement{1};

} // namespace

void RateMeter::Add(std::chrono::steady_clock::time_point now, std::uint64_t bytes)
{
    if (pausedSince_)
        return;
    if (!samples_.empty() && now - samples_.back().time < sampleSpacing)
        return;
    samples_.push_back({now, bytes});
    // The oldest sample kept is the last one at least a window old, so the window is always covered.
    while (samples_.size() > 2 && now - samples_[1].time >= rateWindow)
        samples_.pop_front();
}

std::optional<double> RateMeter::Rate(std::chrono::steady_clock::time_point now, std::uint64_t bytes) const
{
    if (samples_.empty())
        return std::nullopt;
    if (pausedSince_)
        now = *pausedSince_;
    const Sample& oldest = samples_.front();
    const std::chrono::duration<double> measured = now - oldest.time;
    if (measured < shortestMeasurement || bytes < oldest.bytes)
        return std::nullopt;
    return static_cast<double>(bytes - oldest.bytes) / measured.count();
}

void RateMeter::Clear()
{
    samples_.clear();
    pausedSince_.reset();
}

void RateMeter::Pause(std::chrono::steady_clock::time_point now)
{
    if (!pausedSince_)
        pausedSince_ = now;
}

void RateMeter::Resume(std::chrono::steady_clock::time_point now)
{
    if (!pausedSince_)
        return;
    // The samples move forward by the pause, as if it had never been.
    const auto paused = now - *pausedSince_;
    for (Sample& sample : samples_)
        sample.time += paused;
    pausedSince_.reset();
}

} // namespace twinfol
