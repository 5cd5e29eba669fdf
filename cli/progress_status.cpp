// Composing the progress line's figures.
#include "cli/progress_status.h"

#include <array>
#include <cstdio>

#include "cli/text_encoding.h"

namespace twinfol::cli {
namespace {

// Samples closer together than this add nothing but memory.
constexpr std::chrono::milliseconds sampleSpacing{250};
// The rate is measured over about this much of the recent past.
constexpr std::chrono::seconds rateWindow{5};
constexpr std::chrono::seconds shortestMeasurement{1};

std::uint64_t Percent(std::uint64_t part, std::uint64_t whole)
{
    return whole == 0 ? 0 : part * 100 / whole;
}

} // namespace

std::string FormatCount(std::uint64_t count)
{
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}

std::string FormatBytes(std::uint64_t bytes)
{
    static constexpr std::array<const char*, 5> units = {"KiB", "MiB", "GiB", "TiB", "PiB"};
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    for (; value >= 1024.0 && unit + 1 < units.size(); ++unit)
        value /= 1024.0;
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.1f %s", value, units[unit]);
    return text.data();
}

std::string FormatDuration(std::chrono::seconds duration)
{
    const long long total = duration.count() < 0 ? 0 : duration.count();
    std::array<char, 48> text{};
    if (total >= 3600)
        std::snprintf(text.data(), text.size(), "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    else
        std::snprintf(text.data(), text.size(), "%lld:%02lld", total / 60, total % 60);
    return text.data();
}

void RateMeter::Add(std::chrono::steady_clock::time_point now, std::uint64_t bytes)
{
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
    const Sample& oldest = samples_.front();
    const std::chrono::duration<double> measured = now - oldest.time;
    if (measured < shortestMeasurement || bytes < oldest.bytes)
        return std::nullopt;
    return static_cast<double>(bytes - oldest.bytes) / measured.count();
}

void ProgressStatus::SetCounters(const CopyCounters& counters)
{
    counters_ = counters;
    rate_.Add(clock_(), counters_.bytesCopied + counters_.fileBytesDone);
}

std::string ProgressStatus::Figures()
{
    const std::uint64_t bytes = counters_.bytesCopied + counters_.fileBytesDone;
    if (!totals_ && bytes == 0 && counters_.filesCopied == 0)
        return {};
    std::string figures = FormatCount(counters_.filesCopied);
    if (totals_)
        figures += "/" + FormatCount(totals_->files);
    figures += " files, " + FormatBytes(bytes);
    if (totals_)
        figures += "/" + FormatBytes(totals_->bytes);
    const auto now = clock_();
    rate_.Add(now, bytes);
    if (const std::optional<double> rate = rate_.Rate(now, bytes)) {
        figures += ", " + FormatBytes(static_cast<std::uint64_t>(*rate)) + "/s";
        if (totals_ && *rate > 0 && totals_->bytes > bytes) {
            const auto left = std::chrono::seconds(
                static_cast<long long>(static_cast<double>(totals_->bytes - bytes) / *rate + 0.5));
            figures += ", " + FormatDuration(left) + " left";
        }
    }
    return figures;
}

std::string ProgressStatus::Text(std::size_t width)
{
    std::string operation = ForTerminal(operation_);
    if (counters_.fileSize > 0 && counters_.fileBytesDone < counters_.fileSize)
        operation += " (" + std::to_string(Percent(counters_.fileBytesDone, counters_.fileSize)) + "%)";
    if (planning_)
        return "Planning: " + operation;
    const std::string figures = Figures();
    if (figures.empty())
        return operation;
    const std::string separator = " | ";
    if (figures.size() + separator.size() >= width)
        return figures;
    return figures + separator + ShortenToWidth(operation, width - figures.size() - separator.size());
}

} // namespace twinfol::cli
