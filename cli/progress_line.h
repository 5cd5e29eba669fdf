// The live progress line on a terminal: one line, redrawn in place, never wider than the terminal.
#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace twinfol::cli {

// The text made safe for a terminal and cut to at most width columns (one column per character);
// a text that is too long loses its middle, which becomes "...", so the start of the progress
// prefix and the end of the path stay readable.
std::string ShortenToWidth(std::string_view text, std::size_t width);

class ProgressLine {
public:
    // Redraws at most once per minimumInterval, so a walk over many small files is not slowed down
    // by the terminal.
    ProgressLine(std::ostream& out, std::size_t width,
                 std::chrono::milliseconds minimumInterval = std::chrono::milliseconds(50));

    void Show(std::string_view text);
    // Removes the line, leaving the cursor at the start of an empty line.
    void Clear();

private:
    std::ostream& out_;
    std::size_t width_;
    std::chrono::milliseconds minimumInterval_;
    std::chrono::steady_clock::time_point lastDrawn_{};
    bool shown_ = false;
};

} // namespace twinfol::cli
