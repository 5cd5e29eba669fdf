// Counting the copies of a run, on the engine thread and from the workers' tallies.
#include "engine/walk/copy_figures.h"

namespace twinfol {

void CopyTally::DataCopied(std::uint64_t copied, std::uint64_t)
{
    if (inFlight == nullptr)
        return;
    const std::uint64_t reported = finished_ + copied;
    if (reported >= reported_)
        inFlight->fetch_add(reported - reported_, std::memory_order_relaxed);
    else
        inFlight->fetch_sub(reported_ - reported, std::memory_order_relaxed);
    reported_ = reported;
}

void CopyTally::FileCopied(std::uint64_t size)
{
    ++files;
    bytes += size;
    finished_ = reported_;
}

void CopyFigures::DataCopied(std::uint64_t copied, std::uint64_t size)
{
    copies_.fileBytesDone = copied;
    copies_.fileSize = size;
    host_.ShowCopyProgress(copies_);
}

void CopyFigures::FileCopied(std::uint64_t size)
{
    copies_.fileBytesDone = copies_.fileSize = 0;
    report_.filesCopied = ++copies_.filesCopied;
    report_.bytesCopied = copies_.bytesCopied += size;
    host_.ShowCopyProgress(copies_);
}

void CopyFigures::AddCopied(const CopyTally& tally)
{
    if (tally.InFlight() != 0)
        bytesInFlight_.fetch_sub(tally.InFlight(), std::memory_order_relaxed);
    if (tally.files == 0)
        return;
    // The copies still under way on other workers stay in the figures.
    copies_.fileBytesDone = bytesInFlight_.load(std::memory_order_relaxed);
    copies_.fileSize = 0;
    report_.filesCopied = copies_.filesCopied += tally.files;
    report_.bytesCopied = copies_.bytesCopied += tally.bytes;
    host_.ShowCopyProgress(copies_);
}

void CopyFigures::ShowBytesInFlight()
{
    // The bytes of the copies under way, without a share of any one file: the text shown is the last
    // item recorded, which may not be the file being copied.
    const std::uint64_t inFlight = bytesInFlight_.load(std::memory_order_relaxed);
    if (inFlight == copies_.fileBytesDone && copies_.fileSize == 0)
        return;
    copies_.fileBytesDone = inFlight;
    copies_.fileSize = 0;
    host_.ShowCopyProgress(copies_);
}

std::function<void()> CopyFigures::WhileWaiting()
{
    if (!host_.ShowsFileProgress())
        return {};
    return [this] { ShowBytesInFlight(); };
}

std::atomic<std::uint64_t>* CopyFigures::InFlightCounter()
{
    return host_.ShowsFileProgress() ? &bytesInFlight_ : nullptr;
}

} // namespace twinfol
