// Counts, sizes and durations as the runner's progress line and the window's figures show them.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace twinfol {

// "1,234,567".
std::string FormatCount(std::uint64_t count);
// "512 B", "1.5 KiB", "12.3 MiB", "4.0 GiB".
std::string FormatBytes(std::uint64_t bytes);
// "0:42", "12:05", "1:02:03".
std::string FormatDuration(std::chrono::seconds duration);

} // namespace twinfol
