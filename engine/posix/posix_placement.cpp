// Linking and renaming finished temporary files into place.
#include "engine/posix/posix_placement.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/unique_fd.h"

namespace twinfol {

namespace {

bool IsUnsupportedError(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// Renames the temporary file to a name that must be free; false with errno set when it fails.
bool AddWithoutReplacing(int dirFd, const std::string& temporaryPath, const std::string& to)
{
    if (renameat2(dirFd, temporaryPath.c_str(), dirFd, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (!IsUnsupportedError(errno))
        return false;
    // File systems without RENAME_NOREPLACE still refuse to link over an existing name.
    if (linkat(dirFd, temporaryPath.c_str(), dirFd, to.c_str(), 0) == 0) {
        unlinkat(dirFd, temporaryPath.c_str(), 0);
        return true;
    }
    if (errno != EPERM && !IsUnsupportedError(errno))
        return false;
    // Without hard links either (FAT, say), the name is looked at just before a plain rename: only a
    // name that appears in that moment could still be replaced.
    struct stat info {};
    if (fstatat(dirFd, to.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return errno == ENOENT && renameat(dirFd, temporaryPath.c_str(), dirFd, to.c_str()) == 0;
}

} // namespace

int LinkUnnamed(int fd, int dirFd, const std::string& name)
{
    char procPath[32];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", fd);
    if (linkat(AT_FDCWD, procPath, dirFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT)
        return errno;
    return linkat(fd, "", dirFd, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

FsStatus PlaceNamedFile(int dirFd, const std::string& temporaryPath, const std::string& to,
                        Placement placement, DeferredCloser* holdReplaced)
{
    if (placement == Placement::Replace) {
        UniqueFd replaced;
        if (holdReplaced != nullptr)
            replaced.Reset(openat(dirFd, to.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (renameat(dirFd, temporaryPath.c_str(), dirFd, to.c_str()) == 0) {
            if (replaced)
                holdReplaced->Close(replaced.Release());
            return {};
        }
    } else if (AddWithoutReplacing(dirFd, temporaryPath, to)) {
        return {};
    }
    const int error = errno;
    unlinkat(dirFd, temporaryPath.c_str(), 0);
    return FsStatus::Failure(error);
}

} // namespace twinfol
