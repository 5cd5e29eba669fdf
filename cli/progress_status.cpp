// Composing the progress line's figures.
#include "cli/progress_status.h"

#include "cli/text_encoding.h"

namespace twinfol::cli {
namespace {

std::uint64_t Percent(std::uint64_t part, std::uint64_t whole)
{
    return whole == 0 ? 0 : part * 100 / whole;
}

} // namespace

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
        figures.append(1, '/').append(FormatCount(totals_->files));
    figures.append(" files, ").append(FormatBytes(bytes));
    if (totals_)
        figures.append(1, '/').append(FormatBytes(totals_->bytes));
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
