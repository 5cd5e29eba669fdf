// Finishing the folders a tree copy made, through open descriptors or through whole paths.
#include "engine/posix/posix_folder_metadata.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "engine/posix/posix_creation_mode.h"
#include "engine/posix/posix_extended_attributes.h"
#include "engine/posix/unsupported_metadata.h"

namespace twinfol {
namespace {

FsStatus Outcome(int result)
{
    if (result == 0 || IsUnsupportedMetadataError(errno))
        return {};
    return FsStatus::Failure(errno);
}

// The mode the finished folder gets (the source's, set-ID bits only where owner and group were kept)
// and the mode it has now. A change of owner may have cleared set-ID bits, so only a source with such
// bits asks what the folder has become; any other folder still has the mode it was made with: an ACL
// copied from the source gives it the source's permission bits, and a change of owner leaves them.
FsStatus DecideMode(int targetFd, const struct stat& sourceInfo, const struct stat& made, mode_t& wanted,
                    mode_t& current)
{
    wanted = sourceInfo.st_mode & 07777;
    current = made.st_mode & 07777;
    if ((wanted & (S_ISUID | S_ISGID)) == 0)
        return {};
    struct stat now {};
    if (fstat(targetFd, &now) != 0)
        return FsStatus::Failure(errno);
    wanted = CopyModeFor(sourceInfo, now.st_uid, now.st_gid);
    current = now.st_mode & 07777;
    return {};
}

} // namespace

FsStatus FinishFolder(int sourceFd, const struct stat& sourceInfo, int targetFd, const struct stat& made,
                      const PosixCredentials& credentials)
{
    if (FsStatus owner =
            KeepOwner(targetFd, sourceInfo, credentials, NewEntryOwner{made.st_uid, made.st_gid});
        !owner)
        return owner;
    if (FsStatus attributes = CopyExtendedAttributes(sourceFd, targetFd); !attributes)
        return attributes;
    mode_t wanted = 0;
    mode_t current = 0;
    if (FsStatus decided = DecideMode(targetFd, sourceInfo, made, wanted, current); !decided)
        return decided;
    if (current != wanted)
        if (FsStatus set = Outcome(fchmod(targetFd, wanted)); !set)
            return set;
    const timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    return Outcome(futimens(targetFd, times));
}

FsStatus FinishFolderAt(const PosixPathResolver& resolver, const PosixCredentials& credentials,
                        const std::string& sourceFolder, const std::string& targetFolder, FolderStage stage)
{
    const OpenedFolder source = resolver.OpenFolder(sourceFolder, FinalLink::NoFollow);
    if (!source.status)
        return source.status;
    const OpenedFolder target = resolver.OpenFolder(targetFolder, FinalLink::NoFollow);
    if (!target.status)
        return target.status;
    struct stat sourceInfo {};
    struct stat made {};
    if (fstat(source.Get(), &sourceInfo) != 0 || fstat(target.Get(), &made) != 0)
        return FsStatus::Failure(errno);
    if (stage == FolderStage::Filled)
        return FinishFolder(source.Get(), sourceInfo, target.Get(), made, credentials);
    const mode_t allowed = made.st_mode & 0777 & FolderCreationMode(sourceInfo);
    if (allowed == (made.st_mode & 07777))
        return {};
    return Outcome(fchmod(target.Get(), allowed));
}

} // namespace twinfol
