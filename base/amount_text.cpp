// Formatting counts, sizes and durations for people.
#include "base/amount_text.h"

#include <array>
#include <cstdio>

namespace twinfol {

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

} // namespace twinfol
