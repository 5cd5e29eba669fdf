// Replacing a whole file: temporary file beside it, write, flush, rename, flush the folder. Where the
// folder may not be written but the file may, the file is rewritten in place instead.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/path.h"
#include "base/unique_fd.h"
#include "engine/posix/posix_copy_data.h"
#include "engine/posix/posix_file_facts.h"
#include "engine/posix/posix_placement.h"
#include "engine/posix/posix_whole_file.h"

namespace twinfol {
namespace {

// A target that is a symbolic link is replaced where the link points, so that the link survives. A
// link that leads nowhere is replaced itself.
std::string FollowLink(const PosixLocation& place, const std::string& path)
{
    struct stat info {};
    if (fstatat(place.dirFd, place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(info.st_mode))
        return path;
    return RealPath(path).value_or(path);
}

// The read-only rule of every layer, and the permission this process has: a file it may not write
// is not replaced behind its back by a rename in the folder.
FsStatus RefuseReadOnly(const PosixLocation& place, const struct stat& info)
{
    if (IsReadOnlyFile(info))
        return FsStatus::Refusal(EACCES, "the file is read-only");
    if (faccessat(place.dirFd, place.name.c_str(), W_OK, AT_EACCESS) == 0)
        return {};
    if (errno == EACCES || errno == EPERM)
        return FsStatus::Refusal(EACCES, "the file is read-only for this user");
    return FsStatus::Failure(errno);
}

// Makes the rename itself durable; a failure here cannot undo the replacement, so it is ignored.
void SyncFolder(const PosixLocation& place)
{
    const std::string folderPath = place.Folder();
    const UniqueFd folder(openat(place.dirFd, folderPath.empty() ? "." : folderPath.c_str(),
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder)
        fsync(folder.Get());
}

// The way for a writable file in a folder this process may not write: no temporary file can be made
// beside it, so the content is written over the old one. Unlike a replacement, a failure part-way
// leaves a damaged file.
FsStatus RewriteInPlace(const PosixLocation& place, std::string_view content)
{
    UniqueFd file(openat(place.dirFd, place.name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file)
        return FsStatus::Failure(errno);
    if (FsStatus written = WriteAll(file.Get(), content.data(), content.size()); !written)
        return written;
    if (ftruncate(file.Get(), static_cast<off_t>(content.size())) != 0 || fsync(file.Get()) != 0)
        return FsStatus::Failure(errno);
    if (file.Close() != 0)
        return FsStatus::Failure(errno);
    return {};
}

// Writes the content to the open temporary file, gives it the old file's mode and flushes it.
FsStatus FillReplacement(UniqueFd& temporary, std::string_view content, const struct stat* existing)
{
    if (FsStatus written = WriteAll(temporary.Get(), content.data(), content.size()); !written)
        return written;
    if (existing != nullptr && fchmod(temporary.Get(), existing->st_mode & 07777) != 0)
        return FsStatus::Failure(errno);
    if (fsync(temporary.Get()) != 0)
        return FsStatus::Failure(errno);
    // A delayed write error (on a network file system, say) may only show when the file is closed.
    if (temporary.Close() != 0)
        return FsStatus::Failure(errno);
    return {};
}

} // namespace

FsStatus ReplaceWholeFile(const PosixPathResolver& resolver, const std::string& linkOrPath,
                          std::string_view content, mode_t newFileMode)
{
    if (linkOrPath.ends_with(pathSeparator))
        return FsStatus::Failure(EISDIR);
    const std::string path = FollowLink(resolver.Locate(linkOrPath), linkOrPath);
    const PosixLocation place = resolver.Locate(path);
    if (!place.status)
        return place.status;
    struct stat info {};
    const bool exists = fstatat(place.dirFd, place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT)
        return FsStatus::Failure(errno);
    const bool existingFile = exists && S_ISREG(info.st_mode);
    if (exists && S_ISDIR(info.st_mode))
        return FsStatus::Refusal(EISDIR, "a folder stands where the file belongs");
    if (existingFile)
        if (FsStatus writable = RefuseReadOnly(place, info); !writable)
            return writable;

    // An existing file's content is private until the temporary file has its mode.
    std::string temporaryPath;
    UniqueFd temporary;
    const FsStatus created = CreateUnderTemporaryName(
        place.Folder(),
        [&](const std::string& candidate) {
            temporary.Reset(openat(place.dirFd, candidate.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                   existingFile ? mode_t{0600} : newFileMode));
            return temporary ? 0 : errno;
        },
        temporaryPath);
    if (!created)
        return existingFile && (created.Error() == EACCES || created.Error() == EPERM)
                   ? RewriteInPlace(place, content)
                   : created;
    FsStatus status = FillReplacement(temporary, content, existingFile ? &info : nullptr);
    if (status && renameat(place.dirFd, temporaryPath.c_str(), place.dirFd, place.name.c_str()) != 0)
        status = FsStatus::Failure(errno);
    if (!status) {
        unlinkat(place.dirFd, temporaryPath.c_str(), 0);
        return status;
    }
    SyncFolder(place);
    return status;
}

} // namespace twinfol
