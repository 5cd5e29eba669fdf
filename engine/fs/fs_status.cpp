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
    if (error_ < 0)
        return "an unknown failure";
    // The system's text, taken in a way that is safe while other threads ask for theirs.
    return std::system_category().message(error_);
}

} // namespace twinfol
