// One delete, with the freeing of the file's data left to a background thread.
#include "engine/posix/posix_entry_delete.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/unique_fd.h"
#include "engine/fs/refusal_rules.h"
#include "engine/posix/posix_file_facts.h"

namespace twinfol {

FsStatus DeleteEntryAt(int dirFd, const char* name, DeferredCloser& closer, ReadOnlyTargets readOnly)
{
    struct stat info {};
    if (fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return FsStatus::Failure(errno);
    if (FsStatus deletable = CheckFileDelete(FactsFromStat(info), readOnly); !deletable)
        return deletable;
    UniqueFd held;
    if (HoldsData(info))
        held.Reset(openat(dirFd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (unlinkat(dirFd, name, 0) != 0)
        return FsStatus::Failure(errno);
    if (held)
        closer.Close(held.Release());
    return {};
}

} // namespace twinfol
