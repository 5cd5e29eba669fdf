// The readable reason of a failed file operation.
#include "engine/fs/fs_status.h"

#include <system_error>

namespace twinfol {

std::string FsStatus::Reason() const
{
    if (IsOk())
        return {};
    if (ownReason_ != nullptr)
        return ownReason_;
    // The system's text, taken in a way that is safe while other threads ask for theirs.
    std::string systemText = error_ < 0 ? "an unknown failure" : std::system_category().message(error_);
    return step_ != nullptr ? std::string(step_) + ": " + systemText : systemText;
}

} // namespace twinfol
