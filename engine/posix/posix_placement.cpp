// Linking and renaming finished temporary files into place.
#include "engine/posix/posix_placement.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/unique_fd.h"

namespace twinfol {

namespace {

// What the no-replace steps of an add may answer when the file system cannot do them, or when they
// failed without effect, and the look-then-rename may be taken instead. One table for both steps, so
// that each file system's answers are found in one place.
struct UnsupportedAnswer {
    int error;
    bool afterNoReplaceRename;
    bool afterLink;
};

constexpr UnsupportedAnswer unsupportedAnswers[] = {
    // The rename's flag, or hard links, unknown to the file system: FUSE servers (sshfs, rclone,
    // fusefat, exfat-fuse), NFS before version 4, CIFS. EOPNOTSUPP is also ENOTSUP.
    {EINVAL, true, true},
    {ENOSYS, true, true},
    {EOPNOTSUPP, true, true},
    // FUSE servers that fail what they do not handle with a plain input/output error: rclone's link.
    {EIO, true, true},
    // No hard links at all (FAT and exFAT, through FUSE too), or none to another user's file where
    // the system protects hard links.
    {EPERM, false, true},
    // The file has as many names as the file system allows.
    {EMLINK, false, true},
};

enum class AddStep { NoReplaceRename, Link };

bool MayLookThenRename(AddStep step, int error)
{
    for (const UnsupportedAnswer& answer : unsupportedAnswers)
        if (answer.error == error)
            return step == AddStep::NoReplaceRename ? answer.afterNoReplaceRename : answer.afterLink;
    return false;
}

// The name is looked at just before a plain rename, with nothing between the two calls: only a name
// that appears in that moment (or that a network file system's cache does not show yet) could still
// be replaced. Answers 0 or an errno value.
int LookThenRename(int fromDir, const char* from, int toDir, const char* to)
{
    struct stat info {};
    if (fstatat(toDir, to, &info, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return renameat(fromDir, from, toDir, to) == 0 ? 0 : errno;
}

// Gives the temporary file a name that must be free; answers 0 or an errno value. by tells whether
// the file took the name by a rename or by a link.
int AddWithoutReplacing(int dirFd, const std::string& temporaryPath, const std::string& to, PlacedBy& by)
{
    by = PlacedBy::Rename;
    if (renameat2(dirFd, temporaryPath.c_str(), dirFd, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (!MayLookThenRename(AddStep::NoReplaceRename, errno))
        return errno;
    // File systems without RENAME_NOREPLACE may still refuse to link over an existing name.
    if (linkat(dirFd, temporaryPath.c_str(), dirFd, to.c_str(), 0) == 0) {
        unlinkat(dirFd, temporaryPath.c_str(), 0);
        by = PlacedBy::Link;
        return 0;
    }
    if (!MayLookThenRename(AddStep::Link, errno))
        return errno;
    return LookThenRename(dirFd, temporaryPath.c_str(), dirFd, to.c_str());
}

} // namespace

int RenameWithoutReplacing(int fromDir, const char* from, int toDir, const char* to)
{
    if (renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (!MayLookThenRename(AddStep::NoReplaceRename, errno))
        return errno;
    return LookThenRename(fromDir, from, toDir, to);
}

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
                        Placement placement, DeferredCloser* holdReplaced, PlacedBy* placedBy)
{
    PlacedBy by = PlacedBy::Rename;
    if (placedBy != nullptr)
        *placedBy = by;
    if (placement == Placement::Replace) {
        UniqueFd replaced;
        if (holdReplaced != nullptr)
            replaced.Reset(openat(dirFd, to.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (renameat(dirFd, temporaryPath.c_str(), dirFd, to.c_str()) == 0) {
            if (replaced)
                holdReplaced->Close(replaced.Release());
            return {};
        }
        const int error = errno;
        unlinkat(dirFd, temporaryPath.c_str(), 0);
        return FsStatus::Failure(error);
    }
    if (const int error = AddWithoutReplacing(dirFd, temporaryPath, to, by); error != 0) {
        unlinkat(dirFd, temporaryPath.c_str(), 0);
        return FsStatus::Failure(error);
    }
    if (placedBy != nullptr)
        *placedBy = by;
    return {};
}

} // namespace twinfol
