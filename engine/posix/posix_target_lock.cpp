// Taking the target's lock: the root is opened for reading (a path-only descriptor cannot be locked).
#include "engine/posix/posix_target_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace twinfol {

PosixTargetLock::PosixTargetLock(const std::string& targetRoot)
    : folder_(open(targetRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    // A root that cannot be opened is the run's own failure, met and reported at its first listing.
    if (!folder_)
        return;
    while (flock(folder_.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EWOULDBLOCK)
            status_ = FsStatus::Refusal(EWOULDBLOCK, targetBusyReason);
        break;
    }
}

} // namespace twinfol
