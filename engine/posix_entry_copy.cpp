// One entry's copy: a regular file through an unnamed or a named temporary file, a link as a link.
#include "engine/posix_entry_copy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "engine/posix_copy_data.h"
#include "engine/posix_creation_mode.h"
#include "engine/posix_file_facts.h"
#include "engine/refusal_reasons.h"

namespace twinfol {

PosixEntryCopy::PosixEntryCopy(TemporaryFileKind temporaryFiles, DeferredCloser& closer)
    : temporaryFiles_(temporaryFiles), closer_(closer)
{
}

FsStatus PosixEntryCopy::Copy(const SourceEntry& from, const Destination& to,
                              std::optional<Placement> knownPlacement, const CopySteps& steps)
{
    const FsStatus copied = CopyOnce(from, to, knownPlacement, steps);
    // Space that deleted and replaced files still hold comes back once they are let go; a copy that
    // found the disk full tries once more after that, as it would have found it without the wait.
    if ((copied.Error() == ENOSPC || copied.Error() == EDQUOT) && closer_.Drain())
        return CopyOnce(from, to, knownPlacement, steps);
    return copied;
}

namespace {

FsStatus RefuseUncopyable(EntryKind kind)
{
    if (kind == EntryKind::Folder)
        return FsStatus::Refusal(EISDIR, sourceIsFolderReason);
    if (kind == EntryKind::Other)
        return FsStatus::Refusal(EOPNOTSUPP, sourceIsSpecialReason);
    return {};
}

} // namespace

FsStatus PosixEntryCopy::CopyOnce(const SourceEntry& from, const Destination& to,
                                  std::optional<Placement> knownPlacement, const CopySteps& steps)
{
    struct stat sourceInfo {};
    EntryKind kind = from.listedKind;
    // Decided before anything is opened. A link's own stat is needed for its length and times anyway.
    if (kind == EntryKind::Missing || kind == EntryKind::Link) {
        if (fstatat(from.dirFd, from.name, &sourceInfo, AT_SYMLINK_NOFOLLOW) != 0)
            return FsStatus::Failure(errno);
        kind = KindFromMode(sourceInfo.st_mode);
    }
    if (FsStatus copyable = RefuseUncopyable(kind); !copyable)
        return copyable;
    UniqueFd source;
    if (kind == EntryKind::File) {
        // Should the name have become a FIFO since it was looked at, O_NONBLOCK keeps the open from
        // waiting; should it have become a link, O_NOFOLLOW refuses it and it is copied as a link.
        source.Reset(
            openat(from.dirFd, from.name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        const int openError = source ? 0 : errno;
        if (source) {
            if (fstat(source.Get(), &sourceInfo) != 0)
                return FsStatus::Failure(errno);
            if (FsStatus copyable = RefuseUncopyable(KindFromMode(sourceInfo.st_mode)); !copyable)
                return copyable;
        } else if (openError != ELOOP ||
                   fstatat(from.dirFd, from.name, &sourceInfo, AT_SYMLINK_NOFOLLOW) != 0 ||
                   !S_ISLNK(sourceInfo.st_mode)) {
            return FsStatus::Failure(openError);
        } else {
            kind = EntryKind::Link;
        }
    }

    // An add never replaces a name that appears meanwhile.
    Placement placement = Placement::Add;
    DeferredCloser* holdReplaced = nullptr;
    if (knownPlacement)
        placement = *knownPlacement;
    else if (FsStatus decided = DecidePlacement(to, placement, holdReplaced); !decided)
        return decided;

    if (kind == EntryKind::Link)
        return CopyLink(from.dirFd, from.name, sourceInfo, to, placement, holdReplaced);
    return CopyRegularFile(source.Get(), sourceInfo, to, placement, holdReplaced, steps);
}

// Looks at what stands at the target: nothing (an add), a file or link to replace (its data let go
// in the background when it holds any), or something a copy must not replace.
FsStatus PosixEntryCopy::DecidePlacement(const Destination& to, Placement& placement,
                                         DeferredCloser*& holdReplaced)
{
    struct stat targetInfo {};
    if (fstatat(to.dirFd, to.name.c_str(), &targetInfo, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            return FsStatus::Failure(errno);
        placement = Placement::Add;
        return {};
    }
    if (S_ISDIR(targetInfo.st_mode))
        return FsStatus::Refusal(EISDIR, folderAtTargetReason);
    if (IsReadOnlyFile(targetInfo))
        return FsStatus::Refusal(EACCES, targetReadOnlyReason);
    placement = Placement::Replace;
    if (HoldsData(targetInfo))
        holdReplaced = &closer_;
    return {};
}

FsStatus PosixEntryCopy::CopyRegularFile(int source, struct stat& sourceInfo, const Destination& to,
                                         Placement placement, DeferredCloser* holdReplaced,
                                         const CopySteps& steps)
{
    if (temporaryFiles_ == TemporaryFileKind::UnnamedWhereSupported) {
        // An unnamed file vanishes with the process, so a crash mid-copy leaves nothing behind.
        // Nobody can open it by name, so it may be created with the source's mode at once.
        const bool setMode = NeedsModeChange(sourceInfo, to.createMask);
        const mode_t createMode = setMode ? 0600 : (sourceInfo.st_mode & 0777);
        UniqueFd temporary(openat(to.dirFd, to.folder.empty() ? "." : to.folder.c_str(),
                                  O_TMPFILE | O_WRONLY | O_CLOEXEC, createMode));
        if (temporary) {
            if (FsStatus filled = FillTemporary(source, sourceInfo, temporary.Get(), setMode, steps); !filled)
                return filled;
            return PlaceUnnamedFile(temporary.Get(), to, placement, holdReplaced);
        }
        // EISDIR comes from kernels that do not know O_TMPFILE at all.
        if (errno != EOPNOTSUPP && errno != EISDIR)
            return FsStatus::Failure(errno);
    }
    return CopyThroughNamedFile(source, sourceInfo, to, placement, holdReplaced, steps);
}

FsStatus PosixEntryCopy::CopyThroughNamedFile(int source, struct stat& sourceInfo, const Destination& to,
                                              Placement placement, DeferredCloser* holdReplaced,
                                              const CopySteps& steps)
{
    std::string temporaryPath;
    UniqueFd temporary;
    const FsStatus created = CreateUnderTemporaryName(
        to.folder,
        [&](const std::string& path) {
            temporary.Reset(
                openat(to.dirFd, path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            return temporary ? 0 : errno;
        },
        temporaryPath);
    if (!created)
        return created;
    FsStatus filled = FillTemporary(source, sourceInfo, temporary.Get(), true, steps);
    // A delayed write error (on a network file system, say) may only show when the file is closed.
    if (temporary.Close() != 0 && filled)
        filled = FsStatus::Failure(errno);
    if (!filled) {
        unlinkat(to.dirFd, temporaryPath.c_str(), 0);
        return filled;
    }
    return PlaceNamedFile(to.dirFd, temporaryPath, to.name, placement, holdReplaced);
}

FsStatus PosixEntryCopy::PlaceUnnamedFile(int temporary, const Destination& to, Placement placement,
                                          DeferredCloser* holdReplaced)
{
    if (placement == Placement::Add) {
        const int error = LinkUnnamed(temporary, to.dirFd, to.name);
        return error == 0 ? FsStatus() : FsStatus::Failure(error);
    }
    // rename() is the only way to replace a name in one step, and it needs a named file.
    std::string temporaryPath;
    const FsStatus linked = CreateUnderTemporaryName(
        to.folder, [&](const std::string& path) { return LinkUnnamed(temporary, to.dirFd, path); },
        temporaryPath);
    if (!linked)
        return linked;
    return PlaceNamedFile(to.dirFd, temporaryPath, to.name, Placement::Replace, holdReplaced);
}

FsStatus PosixEntryCopy::CopyLink(int sourceDirFd, const char* sourceName, const struct stat& info,
                                  const Destination& to, Placement placement, DeferredCloser* holdReplaced)
{
    // st_size is the length of the link's text, but it may change meanwhile, so read until it fits.
    std::string pointsTo(static_cast<std::size_t>(info.st_size) + 1, '\0');
    for (;;) {
        const ssize_t length = readlinkat(sourceDirFd, sourceName, pointsTo.data(), pointsTo.size());
        if (length < 0)
            return FsStatus::Failure(errno);
        if (static_cast<std::size_t>(length) < pointsTo.size()) {
            pointsTo.resize(static_cast<std::size_t>(length));
            break;
        }
        pointsTo.resize(pointsTo.size() * 2);
    }

    std::string temporaryPath;
    const FsStatus created = CreateUnderTemporaryName(
        to.folder,
        [&](const std::string& path) {
            return symlinkat(pointsTo.c_str(), to.dirFd, path.c_str()) == 0 ? 0 : errno;
        },
        temporaryPath);
    if (!created)
        return created;
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if (utimensat(to.dirFd, temporaryPath.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        unlinkat(to.dirFd, temporaryPath.c_str(), 0);
        return FsStatus::Failure(error);
    }
    return PlaceNamedFile(to.dirFd, temporaryPath, to.name, placement, holdReplaced);
}

PreparedFile PosixEntryCopy::PrepareUnnamed(const SourceEntry& from, int targetDirFd,
                                            std::optional<mode_t> createMask, const CopySteps& steps) const
{
    PreparedFile prepared;
    if (from.listedKind != EntryKind::File)
        return prepared;
    const UniqueFd source(
        openat(from.dirFd, from.name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (!source || fstat(source.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return prepared;
    const bool setMode = NeedsModeChange(info, createMask);
    UniqueFd temporary(openat(targetDirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC,
                              setMode ? mode_t{0600} : (info.st_mode & 0777)));
    if (!temporary)
        return prepared;
    const FsStatus filled = FillTemporary(source.Get(), info, temporary.Get(), setMode, steps);
    if (filled)
        prepared.temporary = std::move(temporary);
    else if (filled.Error() == sourceChangedError)
        prepared.failure = filled; // Copied twice already: doing it again would not be "once more".
    return prepared;
}

} // namespace twinfol
