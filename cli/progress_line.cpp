// Drawing and shortening the progress line.
#include "cli/progress_line.h"

#include <vector>

#include "cli/text_encoding.h"

namespace twinfol::cli {
namespace {

constexpr std::string_view ellipsis = "...";

// Splits the text into characters: whole UTF-8 sequences, or single bytes where it is not UTF-8.
std::vector<std::string_view> Characters(std::string_view text)
{
    std::vector<std::string_view> characters;
    while (!text.empty()) {
        std::size_t length = Utf8SequenceLength(text);
        if (length == 0)
            length = 1;
        characters.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return characters;
}

} // namespace

std::string ShortenToWidth(std::string_view text, std::size_t width)
{
    const std::string safe = ForTerminal(text);
    const std::vector<std::string_view> characters = Characters(safe);
    if (characters.size() <= width)
        return safe;
    if (width <= ellipsis.size()) {
        std::string head;
        for (std::size_t index = 0; index < width; ++index)
            head += characters[index];
        return head;
    }
    const std::size_t keep = width - ellipsis.size();
    const std::size_t headCount = keep / 3;
    const std::size_t tailCount = keep - headCount;
    std::string shortened;
    for (std::size_t index = 0; index < headCount; ++index)
        shortened += characters[index];
    shortened += ellipsis;
    for (std::size_t index = characters.size() - tailCount; index < characters.size(); ++index)
        shortened += characters[index];
    return shortened;
}

ProgressLine::ProgressLine(std::ostream& out, std::size_t width, LineStyle style, Compose compose,
                           ProgressClock clock)
    : out_(out), width_(width), style_(style), compose_(std::move(compose)), clock_(std::move(clock))
{
}

std::chrono::milliseconds ProgressLine::Interval() const
{
    return style_ == LineStyle::Redraw ? redrawInterval : plainInterval;
}

void ProgressLine::Changed()
{
    waiting_ = true;
    const TimePoint now = clock_();
    if (!drawnOnce_ || now - lastDrawn_ >= Interval())
        Draw(now);
}

std::optional<ProgressLine::TimePoint> ProgressLine::DrawDue()
{
    if (!waiting_)
        return std::nullopt;
    const TimePoint due = lastDrawn_ + Interval();
    const TimePoint now = clock_();
    if (now < due)
        return due;
    Draw(now);
    return std::nullopt;
}

void ProgressLine::Draw(TimePoint now)
{
    lastDrawn_ = now;
    drawnOnce_ = true;
    waiting_ = false;
    // One column is kept free: writing into the last column makes some terminals wrap the line.
    const std::size_t usable = width_ > 1 ? width_ - 1 : width_;
    const std::string text = ShortenToWidth(compose_(usable), usable);
    if (style_ == LineStyle::PlainLines) {
        // A line that says nothing new is not worth a line of its own.
        if (text != lastPlainLine_)
            out_ << text << '\n' << std::flush;
        lastPlainLine_ = text;
        return;
    }
    out_ << "\r\x1b[K" << text << std::flush;
    shown_ = true;
}

void ProgressLine::PrintLine(std::string_view line)
{
    if (style_ == LineStyle::PlainLines) {
        out_ << ForTerminal(line) << '\n' << std::flush;
        return;
    }
    out_ << "\r\x1b[K" << ForTerminal(line) << '\n';
    if (shown_)
        Draw(clock_());
    else
        out_ << std::flush;
}

void ProgressLine::Clear()
{
    waiting_ = false;
    if (!shown_)
        return;
    out_ << "\r\x1b[K" << std::flush;
    shown_ = false;
}

} // namespace twinfol::cli
