// One entry's copy: a regular file through an unnamed or a named temporary file, a second name of a
// file as a link to the run's first copy, a link as a link.
#include "engine/posix/posix_entry_copy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "base/path.h"
#include "engine/fs/refusal_rules.h"
#include "engine/posix/posix_copy_data.h"
#include "engine/posix/posix_creation_mode.h"
#include "engine/posix/posix_extended_attributes.h"
#include "engine/posix/posix_file_facts.h"
#include "engine/posix/posix_twin_link.h"
#include "engine/records/refusal_reasons.h"

namespace twinfol {

PosixEntryCopy::PosixEntryCopy(TemporaryFileKind temporaryFiles, const PosixPathResolver& resolver,
                               DeferredCloser& closer)
    : temporaryFiles_(temporaryFiles), resolver_(resolver), closer_(closer)
{
}

FsStatus PosixEntryCopy::Copy(const SourceEntry& from, const Destination& to,
                              std::optional<Placement> knownPlacement, PosixRunState& run,
                              const CopySteps& steps)
{
    std::uint64_t size = 0;
    FsStatus copied = CopyOnce(from, to, knownPlacement, run, steps, size);
    // Space that deleted and replaced files still hold comes back once they are let go; a copy that
    // found the disk full tries once more after that, as it would have found it without the wait.
    if ((copied.Error() == ENOSPC || copied.Error() == EDQUOT) && closer_.Drain())
        copied = CopyOnce(from, to, knownPlacement, run, steps, size);
    // The size is the one the copy read: no second look at the target is needed to tell it.
    if (copied && steps.progress != nullptr)
        steps.progress->FileCopied(size);
    return copied;
}

namespace {

// The listing's kind, or the stat's, is all the rule for a source needs.
FsStatus RefuseUncopyable(EntryKind kind)
{
    return CheckCopySource(EntryFacts{.kind = kind});
}

// Opens a regular file for reading, or finds a link, deciding before anything is opened: opening a
// FIFO or a device has effects of its own. kind comes in as the listing saw it and goes out as
// what the entry is; source is left closed for a link.
FsStatus OpenSource(const SourceEntry& from, UniqueFd& source, struct stat& sourceInfo, EntryKind& kind)
{
    kind = from.listedKind;
    // A link's own stat is needed for its length and times anyway.
    if (kind == EntryKind::Missing || kind == EntryKind::Link) {
        if (fstatat(from.dirFd, from.name, &sourceInfo, AT_SYMLINK_NOFOLLOW) != 0)
            return FsStatus::Failure(errno);
        kind = KindFromMode(sourceInfo.st_mode);
    }
    if (FsStatus copyable = RefuseUncopyable(kind); !copyable)
        return copyable;
    if (kind != EntryKind::File)
        return {};
    // Should the name have become a FIFO since it was looked at, O_NONBLOCK keeps the open from
    // waiting; should it have become a link, O_NOFOLLOW refuses it and it is copied as a link.
    source.Reset(openat(from.dirFd, from.name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (source) {
        if (fstat(source.Get(), &sourceInfo) != 0)
            return FsStatus::Failure(errno);
        return RefuseUncopyable(KindFromMode(sourceInfo.st_mode));
    }
    const int openError = errno;
    // The problem line names the target, so a source that cannot be opened says so in its reason.
    if (openError != ELOOP || fstatat(from.dirFd, from.name, &sourceInfo, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(sourceInfo.st_mode))
        return FsStatus::FailureAt(sourceUnreadableStep, openError);
    kind = EntryKind::Link;
    return {};
}

} // namespace

FsStatus PosixEntryCopy::CopyOnce(const SourceEntry& from, const Destination& to,
                                  std::optional<Placement> knownPlacement, PosixRunState& run,
                                  const CopySteps& steps, std::uint64_t& size)
{
    UniqueFd source;
    struct stat sourceInfo {};
    EntryKind kind = EntryKind::Missing;
    if (FsStatus opened = OpenSource(from, source, sourceInfo, kind); !opened)
        return opened;
    if (FsStatus holdable = CheckNewKind(kind, run.targetNames); !holdable)
        return holdable;

    // An add never replaces a name that appears meanwhile.
    Placement placement = Placement::Add;
    DeferredCloser* holdReplaced = nullptr;
    struct stat targetInfo {};
    if (knownPlacement)
        placement = *knownPlacement;
    else if (FsStatus decided = DecidePlacement(to, FactsFromStat(sourceInfo), run.readOnly, placement,
                                                holdReplaced, targetInfo);
             !decided)
        return decided;
    if (placement == Placement::Add)
        if (FsStatus holdable = CheckNewName(BaseNameOf(to.name), run.targetNames); !holdable)
            return holdable;

    if (kind == EntryKind::Link) {
        size = 0;
        return CopyLink(from, sourceInfo, to, placement, holdReplaced, run.credentials);
    }
    // Read after the copy, sourceInfo holds the size of the data that was copied.
    const auto copiedSize = [&](FsStatus status) {
        size = static_cast<std::uint64_t>(sourceInfo.st_size);
        return status;
    };
    if (sourceInfo.st_nlink > 1)
        return copiedSize(
            CopyNamesakeFile(source.Get(), sourceInfo, to, placement, holdReplaced, targetInfo, run, steps));
    return copiedSize(CopyRegularFile(source.Get(), sourceInfo, to, placement, holdReplaced,
                                      CopyOwnership{run.credentials, to.created}, steps, nullptr));
}

// Looks at what stands at the target: nothing (an add), a file or link to replace (its data let go
// in the background when it holds any), or something a copy must not replace.
FsStatus PosixEntryCopy::DecidePlacement(const Destination& to, const EntryFacts& source,
                                         ReadOnlyTargets readOnly, Placement& placement,
                                         DeferredCloser*& holdReplaced, struct stat& targetInfo)
{
    if (fstatat(to.dirFd, to.name.c_str(), &targetInfo, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            return FsStatus::Failure(errno);
        placement = Placement::Add;
        return {};
    }
    if (FsStatus replaceable = CheckCopyTarget(FactsFromStat(targetInfo), source, readOnly); !replaceable)
        return replaceable;
    placement = Placement::Replace;
    if (HoldsData(targetInfo))
        holdReplaced = &closer_;
    return {};
}

FsStatus PosixEntryCopy::CopyNamesakeFile(int source, struct stat& sourceInfo, const Destination& to,
                                          Placement placement, DeferredCloser* holdReplaced,
                                          const struct stat& targetInfo, PosixRunState& run,
                                          const CopySteps& steps)
{
    const CopyOwnership ownership{run.credentials, to.created};
    if (const std::optional<FirstCopy> first = run.links.FindOrClaim(sourceInfo)) {
        run.links.NameHandled(sourceInfo);
        // A twin that is the first copy's inode already has nothing to gain.
        if (placement == Placement::Replace && targetInfo.st_dev == first->copyDevice &&
            targetInfo.st_ino == first->copyInode)
            return {};
        bool linked = false;
        const FsStatus status =
            LinkToFirstCopy(resolver_, *first, sourceInfo, to, placement, holdReplaced, linked);
        if (linked || !status)
            return status;
        // Not linked: a copy of its own.
        return CopyRegularFile(source, sourceInfo, to, placement, holdReplaced, ownership, steps, nullptr);
    }
    struct stat copyInfo {};
    const FsStatus copied =
        CopyRegularFile(source, sourceInfo, to, placement, holdReplaced, ownership, steps, &copyInfo);
    if (copied)
        run.links.Remember(sourceInfo, std::string(to.wholeFolder).append(BaseNameOf(to.name)), copyInfo);
    else
        run.links.Release(sourceInfo);
    return copied;
}

FsStatus PosixEntryCopy::CopyRegularFile(int source, struct stat& sourceInfo, const Destination& to,
                                         Placement placement, DeferredCloser* holdReplaced,
                                         const CopyOwnership& ownership, const CopySteps& steps,
                                         struct stat* copyInfo)
{
    if (temporaryFiles_ == TemporaryFileKind::UnnamedWhereSupported) {
        // An unnamed file vanishes with the process, so a crash mid-copy leaves nothing behind.
        // Nobody can open it by name, so it may be created with the source's mode at once.
        const bool setMode = NeedsModeChange(sourceInfo, to.createMask);
        const mode_t createMode = setMode ? 0600 : (sourceInfo.st_mode & 0777);
        UniqueFd temporary(openat(to.dirFd, to.folder.empty() ? "." : to.folder.c_str(),
                                  O_TMPFILE | O_WRONLY | O_CLOEXEC, createMode));
        if (temporary) {
            if (FsStatus filled = FillTemporary(source, sourceInfo, temporary.Get(), setMode, ownership,
                                                steps, FlushData::Now);
                !filled)
                return filled;
            if (copyInfo != nullptr && fstat(temporary.Get(), copyInfo) != 0)
                return FsStatus::Failure(errno);
            return PlaceUnnamedFile(temporary.Get(), sourceInfo, to, placement, holdReplaced);
        }
        // EISDIR comes from kernels that do not know O_TMPFILE at all.
        if (errno != EOPNOTSUPP && errno != EISDIR)
            return FsStatus::Failure(errno);
    }
    return CopyThroughNamedFile(source, sourceInfo, to, placement, holdReplaced, ownership, steps, copyInfo);
}

FsStatus PosixEntryCopy::CopyThroughNamedFile(int source, struct stat& sourceInfo, const Destination& to,
                                              Placement placement, DeferredCloser* holdReplaced,
                                              const CopyOwnership& ownership, const CopySteps& steps,
                                              struct stat* copyInfo)
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
    FsStatus filled =
        FillTemporary(source, sourceInfo, temporary.Get(), true, ownership, steps, FlushData::Now);
    if (filled && copyInfo != nullptr && fstat(temporary.Get(), copyInfo) != 0)
        filled = FsStatus::Failure(errno);
    // A delayed write error (on a network file system, say) may only show when the file is closed.
    if (temporary.Close() != 0 && filled)
        filled = FsStatus::Failure(errno);
    if (!filled) {
        unlinkat(to.dirFd, temporaryPath.c_str(), 0);
        return filled;
    }
    PlacedBy placedBy = PlacedBy::Rename;
    const FsStatus placed =
        PlaceNamedFile(to.dirFd, temporaryPath, to.name, placement, holdReplaced, &placedBy);
    if (!placed || placedBy == PlacedBy::Link)
        return placed;
    return KeepStampOnceNamed(to.dirFd, to.name.c_str(), sourceInfo);
}

FsStatus PosixEntryCopy::PlaceUnnamedFile(int temporary, const struct stat& sourceInfo, const Destination& to,
                                          Placement placement, DeferredCloser* holdReplaced)
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
    if (FsStatus placed = PlaceNamedFile(to.dirFd, temporaryPath, to.name, Placement::Replace, holdReplaced);
        !placed)
        return placed;
    return KeepStampOnceNamed(to.dirFd, to.name.c_str(), sourceInfo);
}

FsStatus PosixEntryCopy::CopyLink(const SourceEntry& from, const struct stat& info, const Destination& to,
                                  Placement placement, DeferredCloser* holdReplaced,
                                  const PosixCredentials& credentials)
{
    // st_size is the length of the link's text, but it may change meanwhile, so read until it fits.
    std::string pointsTo(static_cast<std::size_t>(info.st_size) + 1, '\0');
    for (;;) {
        const ssize_t length = readlinkat(from.dirFd, from.name, pointsTo.data(), pointsTo.size());
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
    // The link's own owner, attributes and times, in that order: the times last, as for files.
    FsStatus status = KeepLinkOwner(to.dirFd, temporaryPath.c_str(), info, credentials, to.created);
    if (status)
        status = CopyLinkExtendedAttributes(from.dirFd, from.name, to.dirFd, temporaryPath.c_str());
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if (status && utimensat(to.dirFd, temporaryPath.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        status = FsStatus::Failure(errno);
    if (!status) {
        unlinkat(to.dirFd, temporaryPath.c_str(), 0);
        return status;
    }
    return PlaceNamedFile(to.dirFd, temporaryPath, to.name, placement, holdReplaced);
}

PreparedFile PosixEntryCopy::PrepareUnnamed(const SourceEntry& from, int targetDirFd,
                                            std::optional<mode_t> createMask, const CopyOwnership& ownership,
                                            const CopySteps& steps, std::optional<off_t> largest) const
{
    PreparedFile prepared;
    if (from.listedKind != EntryKind::File)
        return prepared;
    const UniqueFd source(
        openat(from.dirFd, from.name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    // A file with several names may become a link to a copy made before it, which is decided in order.
    if (!source || fstat(source.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink > 1 ||
        (largest && info.st_size > *largest))
        return prepared;
    const bool setMode = NeedsModeChange(info, createMask);
    UniqueFd temporary(openat(targetDirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC,
                              setMode ? mode_t{0600} : (info.st_mode & 0777)));
    if (!temporary)
        return prepared;
    const FsStatus filled =
        FillTemporary(source.Get(), info, temporary.Get(), setMode, ownership, steps, FlushData::Later);
    if (filled) {
        prepared.temporary = std::move(temporary);
        prepared.size = static_cast<std::uint64_t>(info.st_size);
        prepared.sourceInfo = info;
    } else if (filled.Error() == sourceChangedError)
        prepared.failure = filled; // Copied twice already: doing it again would not be "once more".
    return prepared;
}

FsStatus PosixEntryCopy::PlacePrepared(int temporary, const struct stat& sourceInfo, const Destination& to,
                                       PosixRunState& run, const CopySteps& steps)
{
    Placement placement = Placement::Add;
    DeferredCloser* holdReplaced = nullptr;
    struct stat targetInfo {};
    if (FsStatus decided =
            DecidePlacement(to, FactsFromStat(sourceInfo), run.readOnly, placement, holdReplaced, targetInfo);
        !decided)
        return decided;
    if (placement == Placement::Add)
        if (FsStatus holdable = CheckNewName(BaseNameOf(to.name), run.targetNames); !holdable)
            return holdable;
    const FsStatus placed = PlaceUnnamedFile(temporary, sourceInfo, to, placement, holdReplaced);
    if (placed && steps.progress != nullptr)
        steps.progress->FileCopied(static_cast<std::uint64_t>(sourceInfo.st_size));
    return placed;
}

} // namespace twinfol
