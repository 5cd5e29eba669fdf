// The live progress line on a terminal: one line, redrawn in place and never wider than the terminal,
// or on a terminal without cursor control (TERM=dumb) a plain line now and then.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace twinfol::cli {

using ProgressClock = std::function<std::chrono::steady_clock::time_point()>;

enum class LineStyle {
    // One line redrawn in place with a carriage return and "erase to end of line".
    Redraw,
    // Plain lines without escape sequences, each on a line of its own, far fewer of them.
    PlainLines,
};

// The text made safe for a terminal and cut to at most width columns (one column per character);
// a text that is too long loses its middle, which becomes "...", so the start of the progress
// prefix and the end of the path stay readable.
std::string ShortenToWidth(std::string_view text, std::size_t width);

class ProgressLine {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    // Composes the line's text for the width it may take; called only when the line is drawn, so
    // that a change that is never drawn costs nothing.
    using Compose = std::function<std::string(std::size_t width)>;

    // The shortest time between two drawings: a walk over many small files is not slowed down by the
    // terminal, and a person still sees every change that lasts.
    static constexpr std::chrono::milliseconds redrawInterval{50};
    static constexpr std::chrono::milliseconds plainInterval{1000};

    ProgressLine(std::ostream& out, std::size_t width, LineStyle style, Compose compose,
                 ProgressClock clock = &std::chrono::steady_clock::now);

    // What the line shows has changed. It is drawn at once when the last drawing is at least the
    // interval old; otherwise DrawDue draws the newest state when that time comes, so the line never
    // shows a state more than one interval older than the newest.
    void Changed();
    // Draws a change held back, once its time has come. Answers when the next call is due; nothing
    // when no change waits.
    std::optional<TimePoint> DrawDue();
    // Whether a change waits to be drawn.
    bool Waiting() const { return waiting_; }
    // Prints a line of its own (an action, say); the progress line is drawn again below it.
    void PrintLine(std::string_view line);
    // Removes the line, leaving the cursor at the start of an empty line; a waiting change is dropped.
    void Clear();

private:
    std::chrono::milliseconds Interval() const;
    void Draw(TimePoint now);

    std::ostream& out_;
    std::size_t width_;
    LineStyle style_;
    Compose compose_;
    ProgressClock clock_;
    TimePoint lastDrawn_{};
    bool drawnOnce_ = false;
    bool shown_ = false;
    bool waiting_ = false;
    std::string lastPlainLine_;
};

} // namespace twinfol::cli
