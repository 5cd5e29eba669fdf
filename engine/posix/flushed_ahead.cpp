// Filling ahead, and one flush for every file filled before it.
#include "engine/posix/flushed_ahead.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace twinfol {

FlushedAhead::FlushedAhead(PrepareAhead* helper, std::size_t count, PrepareAhead::Prepare prepare,
                           int targetFd)
    : helper_(helper), prepare_(std::move(prepare)), targetFd_(targetFd),
      filled_(helper == nullptr ? count : 0)
{
}

FlushedAhead::~FlushedAhead()
{
    if (helper_ != nullptr)
        helper_->End();
}

FsStatus FlushedAhead::Take(std::size_t index, UniqueFd& prepared)
{
    if (helper_ != nullptr) {
        prepared = helper_->Take(index);
    } else {
        if (index >= filledEnd_) {
            filledEnd_ = std::min(index + batch, filled_.size());
            for (std::size_t next = index; next < filledEnd_; ++next)
                filled_[next] = prepare_(next);
        }
        prepared = std::move(filled_[index]);
    }
    if (!prepared || index < flushedEnd_)
        return {};
    // Everything filled before the flush begins is on the disk once it returns.
    const std::size_t filled = helper_ != nullptr ? helper_->DoneEnd() : filledEnd_;
    if (syncfs(targetFd_) != 0) {
        prepared.Reset();
        return FsStatus::Failure(errno);
    }
    flushedEnd_ = std::max(filled, index + 1);
    return {};
}

} // namespace twinfol
