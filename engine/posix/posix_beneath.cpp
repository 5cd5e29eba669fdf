// openat2 with RESOLVE_BENEATH and RESOLVE_NO_SYMLINKS, and the component walk that stands in for it
// on kernels older than 5.6.
#include "engine/posix/posix_beneath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "base/path.h"
#include "engine/fs/refusal_rules.h"
#include "engine/posix/posix_file_facts.h"
#include "engine/posix/posix_mount_table.h"

namespace twinfol {
namespace {

// Set once the kernel has answered that it has no openat2; every later open takes the component walk.
std::atomic<bool> openat2Missing{false};

constexpr std::uint64_t beneathNoLinks = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
// How often a resolution is tried again when the kernel saw a rename race by and refused to guess.
constexpr int raceRetries = 8;

// Answers the new descriptor, or -1 with errno set.
int OpenAt2(int baseFd, const char* path, int flags, std::uint64_t resolve)
{
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags);
    how.resolve = resolve;
    for (int attempt = 0;; ++attempt) {
        const long fd = syscall(SYS_openat2, baseFd, path, &how, sizeof how);
        if (fd >= 0 || errno != EAGAIN || attempt == raceRetries)
            return static_cast<int>(fd);
    }
}

// A failed open, with the refusal of our own where the kernel met a link or a way out (EXDEV) that
// the flags of the open forbade.
FsStatus OpenFailure(int error, FsStatus wayOut)
{
    if (error == ELOOP)
        return LinkWhereFolderWasRefusal();
    if (error == EXDEV)
        return wayOut;
    return FsStatus::Failure(error);
}

// openat() with O_NOFOLLOW answers ENOTDIR or ELOOP for a link; only a look at the entry tells a link
// from a file, and the refusal rule for a folder to enter then names the link.
FsStatus NoFollowFailure(int dirFd, const char* name, int error)
{
    struct stat info {};
    if ((error == ENOTDIR || error == ELOOP) && fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(info.st_mode))
        return CheckStillFolder(FactsFromStat(info));
    return FsStatus::Failure(error);
}

} // namespace

FsStatus OpenBeneath(int baseFd, std::string_view relative, int flags, UniqueFd& opened)
{
    opened.Reset();
    if (!openat2Missing.load(std::memory_order_relaxed)) {
        // No O_NOFOLLOW here: it would turn a final link into ENOTDIR before RESOLVE_NO_SYMLINKS
        // could name it.
        const std::string path = relative.empty() ? std::string(".") : std::string(relative);
        const int fd = OpenAt2(baseFd, path.c_str(), flags | O_DIRECTORY | O_CLOEXEC, beneathNoLinks);
        if (fd >= 0) {
            opened.Reset(fd);
            return {};
        }
        if (errno != ENOSYS)
            return OpenFailure(errno, FsStatus::Refusal(EXDEV, pathLeavesRoot));
        openat2Missing.store(true, std::memory_order_relaxed);
    }
    return OpenBeneathByComponents(baseFd, relative, flags, opened);
}

FsStatus OpenBeneathByComponents(int baseFd, std::string_view relative, int flags, UniqueFd& opened)
{
    opened.Reset();
    std::vector<std::string> components;
    while (!relative.empty()) {
        const std::size_t separator = relative.find(pathSeparator);
        const std::string_view component = relative.substr(0, separator);
        relative = separator == std::string_view::npos ? std::string_view() : relative.substr(separator + 1);
        if (component == "..")
            return FsStatus::Refusal(EXDEV, pathLeavesRoot);
        if (!component.empty() && component != ".")
            components.emplace_back(component);
    }
    if (components.empty()) {
        opened.Reset(openat(baseFd, ".", flags | O_DIRECTORY | O_CLOEXEC));
        return opened ? FsStatus() : FsStatus::Failure(errno);
    }
    UniqueFd current;
    int at = baseFd;
    for (std::size_t index = 0; index < components.size(); ++index) {
        // Folders on the way are only passed through; the last one is opened as the caller asks.
        const bool last = index + 1 == components.size();
        const int componentFlags = (last ? flags : O_PATH) | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        UniqueFd next(openat(at, components[index].c_str(), componentFlags));
        if (!next)
            return NoFollowFailure(at, components[index].c_str(), errno);
        current = std::move(next);
        at = current.Get();
    }
    opened = std::move(current);
    return {};
}

FsStatus OpenSubFolderOnSameMount(int parentFd, const char* name, UniqueFd& opened)
{
    opened.Reset();
    if (!openat2Missing.load(std::memory_order_relaxed)) {
        // RESOLVE_NO_XDEV refuses whatever is on another mount than the parent, bind mounts included,
        // at no cost beyond the open itself.
        const int fd =
            OpenAt2(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC, beneathNoLinks | RESOLVE_NO_XDEV);
        if (fd >= 0) {
            opened.Reset(fd);
            return {};
        }
        if (errno != ENOSYS)
            return OpenFailure(errno, MountedInsideRefusal());
        openat2Missing.store(true, std::memory_order_relaxed);
    }
    return OpenSubFolderOnSameMountByIds(parentFd, name, opened);
}

FsStatus OpenSubFolderOnSameMountByIds(int parentFd, const char* name, UniqueFd& opened)
{
    opened.Reset(openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!opened)
        return NoFollowFailure(parentFd, name, errno);
    // The mount id tells a bind mount from its parent where st_dev does not.
    const EntryFacts parent{.mountId = MountIdOf(parentFd).value_or(0)};
    const EntryFacts folder{.kind = EntryKind::Folder, .mountId = MountIdOf(opened.Get()).value_or(0)};
    FsStatus sameMount = CheckSameMount(folder, parent);
    if (!sameMount)
        opened.Reset();
    return sameMount;
}

} // namespace twinfol
