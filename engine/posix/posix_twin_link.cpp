// Linking a later name of a source inode to the copy its first name got.
#include "engine/posix/posix_twin_link.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "base/unique_fd.h"

namespace twinfol {
namespace {

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Opens the first copy (no link followed on the way) when it is still the inode that was made, with
// the size and time it was given, and the source still has the size and time it was copied with.
UniqueFd OpenUnchangedCopy(const PosixPathResolver& resolver, const FirstCopy& first,
                           const struct stat& source)
{
    if (source.st_size != first.sourceSize || !SameTime(source.st_mtim, first.sourceModified))
        return {};
    const PosixLocation place = resolver.Locate(first.targetPath);
    if (!place.status)
        return {};
    UniqueFd copy(openat(place.dirFd, place.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!copy || fstat(copy.Get(), &info) != 0 || info.st_dev != first.copyDevice ||
        info.st_ino != first.copyInode || info.st_size != first.copySize ||
        !SameTime(info.st_mtim, first.copyModified))
        return {};
    return copy;
}

} // namespace

FsStatus LinkToFirstCopy(const PosixPathResolver& resolver, const FirstCopy& first, const struct stat& source,
                         const Destination& to, Placement placement, DeferredCloser* holdReplaced,
                         bool& linked)
{
    linked = false;
    const UniqueFd copy = OpenUnchangedCopy(resolver, first, source);
    if (!copy)
        return {};
    if (placement == Placement::Add) {
        // linkat refuses a name that exists, which is what an add needs.
        const int error = LinkUnnamed(copy.Get(), to.dirFd, to.name);
        linked = error == 0;
        return error == EEXIST ? FsStatus::Failure(EEXIST) : FsStatus();
    }
    std::string temporaryPath;
    const FsStatus made = CreateUnderTemporaryName(
        to.folder, [&](const std::string& path) { return LinkUnnamed(copy.Get(), to.dirFd, path); },
        temporaryPath);
    if (!made)
        return {};
    linked = true;
    return PlaceNamedFile(to.dirFd, temporaryPath, to.name, Placement::Replace, holdReplaced);
}

} // namespace twinfol
