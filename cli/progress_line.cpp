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

ProgressLine::ProgressLine(std::ostream& out, std::size_t width, std::chrono::milliseconds minimumInterval)
    : out_(out), width_(width), minimumInterval_(minimumInterval)
{
}

void ProgressLine::Show(std::string_view text)
{
    const auto now = std::chrono::steady_clock::now();
    if (shown_ && now - lastDrawn_ < minimumInterval_)
        return;
    lastDrawn_ = now;
    shown_ = true;
    // One column is kept free: writing into the last column makes some terminals wrap the line.
    const std::size_t usable = width_ > 1 ? width_ - 1 : width_;
    out_ << "\r\x1b[K" << ShortenToWidth(text, usable) << std::flush;
}

void ProgressLine::Clear()
{
    if (!shown_)
        return;
    out_ << "\r\x1b[K" << std::flush;
    shown_ = false;
}

} // namespace twinfol::cli
