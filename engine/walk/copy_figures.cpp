// Counting the copies of a run from every thread, and drawing the figures as they stand.
#include "engine/walk/copy_figures.h"

namespace twinfol {
namespace {

std::int64_t Signed(std::uint64_t value)
{
    return static_cast<std::int64_t>(value);
}

} // namespace

CopyTally::CopyTally(CopyTally&& other) noexcept
    : files(other.files), bytes(other.bytes), cutShort(other.cutShort), figures_(other.figures_),
      followsChunks_(other.followsChunks_), partial_(other.partial_), filledAhead_(other.filledAhead_.load())
{
}

void CopyTally::DataCopied(std::uint64_t copied, std::uint64_t size)
{
    if (figures_ == nullptr)
        return;
    // A copy that starts again, or the first report of a file after a copy that failed, replaces what
    // was told before.
    if (partial_ == 0 && copied > 0)
        ++figures_->underWay_;
    else if (partial_ > 0 && copied == 0)
        --figures_->underWay_;
    figures_->AddBytes(Signed(copied) - Signed(partial_));
    partial_ = copied;
    figures_->Draw(copied, size);
}

void CopyTally::FileCopied(std::uint64_t size)
{
    ++files;
    bytes += size;
    if (figures_ == nullptr)
        return;
    if (partial_ > 0)
        --figures_->underWay_;
    figures_->AddFile(Signed(size) - Signed(partial_));
    partial_ = 0;
    figures_->Draw();
}

void CopyTally::DataFilledAhead(std::int64_t told)
{
    if (figures_ == nullptr)
        return;
    filledAhead_ += told;
    figures_->AddBytes(told);
    figures_->Draw();
}

void CopyTally::FilledFileCopied(std::uint64_t size)
{
    ++files;
    bytes += size;
    if (figures_ == nullptr)
        return;
    filledAhead_ -= Signed(size);
    figures_->AddFile(0);
    figures_->Draw();
}

void CopyFigures::BeginRun()
{
    const std::lock_guard lock(drawing_);
    files_ = 0;
    bytes_ = 0;
    underWay_ = 0;
    drawn_ = {};
    own_.files = own_.bytes = own_.partial_ = 0;
    own_.filledAhead_ = 0;
    Attach(own_);
}

void CopyFigures::EndRun()
{
    Retract(own_);
    Draw();
}

void CopyFigures::DataCopied(std::uint64_t copied, std::uint64_t size)
{
    own_.DataCopied(copied, size);
}

void CopyFigures::FileCopied(std::uint64_t size)
{
    own_.FileCopied(size);
    ++report_.filesCopied;
    report_.bytesCopied += size;
}

void CopyFigures::Attach(CopyTally& tally)
{
    tally.figures_ = this;
    tally.followsChunks_ = host_.ShowsFileProgress();
}

void CopyFigures::AddCopied(CopyTally& tally)
{
    Retract(tally);
    report_.filesCopied += tally.files;
    report_.bytesCopied += tally.bytes;
}

void CopyFigures::AddBytes(std::int64_t bytes)
{
    bytes_ += bytes;
}

void CopyFigures::AddFile(std::int64_t unseenBytes)
{
    // The bytes first: a file is never shown named without its data.
    bytes_ += unseenBytes;
    ++files_;
}

void CopyFigures::Draw(std::uint64_t copied, std::uint64_t size)
{
    const std::lock_guard lock(drawing_);
    const CopyCounters counters = Snapshot(copied, size);
    if (counters == drawn_)
        return;
    drawn_ = counters;
    host_.ShowCopyProgress(counters);
}

CopyCounters CopyFigures::Snapshot(std::uint64_t copied, std::uint64_t size) const
{
    const std::uint64_t files = files_.load();
    const std::int64_t bytes = bytes_.load();
    const std::uint64_t total = bytes < 0 ? 0 : static_cast<std::uint64_t>(bytes);
    // A file's own share is shown only while it is the one copy under way.
    if (copied > 0 && copied < size && copied <= total && underWay_.load() == 1)
        return {files, total - copied, copied, size};
    return {files, total, 0, 0};
}

void CopyFigures::Retract(CopyTally& tally)
{
    const std::int64_t left = Signed(tally.partial_) + tally.filledAhead_.exchange(0);
    if (tally.partial_ > 0)
        --underWay_;
    tally.partial_ = 0;
    if (left == 0)
        return;
    AddBytes(-left);
    Draw();
}

} // namespace twinfol
