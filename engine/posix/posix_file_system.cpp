// The Linux file-system layer: the single-entry operations, and the hand-over of tree walks and
// whole-file work to the parts that do them.
#include "engine/posix/posix_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "base/path.h"
#include "engine/fs/refusal_rules.h"
#include "engine/posix/posix_disk_kind.h"
#include "engine/posix/posix_entry_delete.h"
#include "engine/posix/posix_entry_facts.h"
#include "engine/posix/posix_file_facts.h"
#include "engine/posix/posix_listing.h"
#include "engine/posix/posix_mount_table.h"
#include "engine/posix/posix_prepared_copies.h"
#include "engine/posix/posix_respell.h"
#include "engine/posix/posix_target_lock.h"
#include "engine/posix/posix_trash_folder.h"
#include "engine/posix/posix_trash_move.h"
#include "engine/posix/posix_tree_copy.h"
#include "engine/posix/posix_tree_delete.h"
#include "engine/posix/posix_whole_file.h"

namespace twinfol {

PosixFileSystem::PosixFileSystem(TemporaryFileKind temporaryFiles)
    : entryCopy_(temporaryFiles, resolver_, closer_)
{
}

FsStatus PosixFileSystem::ListEntries(const std::string& folder, const EntryVisitor& onEntry,
                                      std::unique_ptr<FolderStampReader>* stamps)
{
    // The names are read completely before any is handed out: the visitor may then change the
    // folder, and a walk down a deep tree keeps no folder open per level.
    std::vector<ListedEntry> entries;
    OpenedFolder dir = resolver_.OpenFolder(folder, FinalLink::Follow);
    if (!dir.status)
        return dir.status;
    if (FsStatus read = ReadEntries(dir.Get(), entries); !read)
        return read;
    if (stamps != nullptr)
        *stamps = std::make_unique<OpenFolderStampReader>(std::move(dir.fd));
    else
        dir.fd.reset();
    for (const ListedEntry& entry : entries)
        if (!onEntry(entry.name, entry.kind))
            break;
    return {};
}

FsStatus PosixFileSystem::ListFolder(const std::string& folder, const EntryVisitor& onEntry)
{
    return ListEntries(folder, onEntry, nullptr);
}

FsStatus PosixFileSystem::ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                              std::unique_ptr<FolderStampReader>& stamps)
{
    return ListEntries(folder, onEntry, &stamps);
}

std::unique_ptr<RunScope> PosixFileSystem::BeginRun(const std::string& sourceRoot,
                                                    const std::string& targetRoot, ReadOnlyTargets readOnly)
{
    // The lock is taken first and let go last, so that no other run writes while this one has its
    // roots open.
    auto lock = std::make_unique<PosixTargetLock>(targetRoot);
    auto state = std::make_shared<PosixRunState>();
    state->targetNames = DiskKindOf(targetRoot).names;
    state->readOnly = readOnly;
    return std::make_unique<LockedRunScope>(std::move(lock),
                                            resolver_.BeginRun(sourceRoot, targetRoot, std::move(state)));
}

EntryKind PosixFileSystem::KindOf(const std::string& path)
{
    const PosixLocation place = resolver_.Locate(path);
    struct stat info {};
    if (!place.status || fstatat(place.dirFd, place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return EntryKind::Missing;
    return KindFromMode(info.st_mode);
}

FsStatus PosixFileSystem::LookAt(const std::string& path, EntryFacts& facts)
{
    facts = {};
    const PosixLocation place = resolver_.Locate(path);
    if (!place.status)
        return place.status;
    return LookAtEntry(place.dirFd, place.name.c_str(), facts);
}

FsResult<std::string> PosixFileSystem::ResolvePath(const std::string& path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    if (!resolved)
        return FsStatus::Failure(errno);
    std::string real(resolved.get());
    return path.ends_with(pathSeparator) ? WithTrailingSeparator(std::move(real)) : real;
}

FsResult<FolderIdentity> PosixFileSystem::IdentifyFolder(const std::string& folder)
{
    const UniqueFd opened(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!opened)
        return FsStatus::Failure(errno);
    return IdentifyOpenFolder(opened.Get());
}

FsResult<FileStamp> PosixFileSystem::ReadFileStamp(const std::string& path)
{
    const PosixLocation place = resolver_.Locate(path);
    if (!place.status)
        return place.status;
    struct stat info {};
    if (fstatat(place.dirFd, place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return FsStatus::Failure(errno);
    return FileStamp::FromUnixTime(info.st_mtim.tv_sec);
}

FsStatus PosixFileSystem::OpenForReading(const std::string& path)
{
    const PosixLocation place = resolver_.Locate(path);
    if (!place.status)
        return place.status;
    // Opening a regular file for reading changes nothing; O_NONBLOCK keeps a FIFO from waiting.
    const UniqueFd opened(
        openat(place.dirFd, place.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!opened)
        return FsStatus::Failure(errno);
    struct stat info {};
    if (fstat(opened.Get(), &info) != 0)
        return FsStatus::Failure(errno);
    return S_ISREG(info.st_mode) ? FsStatus{} : FsStatus::Failure(EINVAL);
}

FsStatus PosixFileSystem::MatchFolderTime(const std::string& sourceFolder, const std::string& targetFolder)
{
    const PosixLocation from = resolver_.Locate(WithoutTrailingSeparator(sourceFolder));
    if (!from.status)
        return from.status;
    struct stat source {};
    if (fstatat(from.dirFd, from.name.c_str(), &source, AT_SYMLINK_NOFOLLOW) != 0)
        return FsStatus::Failure(errno);
    if (!S_ISDIR(source.st_mode))
        return FsStatus::Failure(ENOTDIR);
    const PosixLocation to = resolver_.Locate(WithoutTrailingSeparator(targetFolder));
    if (!to.status)
        return to.status;
    // The access time stays the target's own: the walk's reading of the source has just moved its.
    const struct timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
    if (utimensat(to.dirFd, to.name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        return FsStatus::Failure(errno);
    return {};
}

FsResult<SpaceFigures> PosixFileSystem::ReadSpace(const std::string& folder)
{
    struct statvfs figures {};
    if (statvfs(folder.c_str(), &figures) != 0)
        return FsStatus::Failure(errno);
    const std::uint64_t unit = figures.f_frsize != 0 ? figures.f_frsize : figures.f_bsize;
    return SpaceFigures{static_cast<std::uint64_t>(figures.f_bavail) * unit, unit};
}

DiskKind PosixFileSystem::DiskKindOf(const std::string& folder)
{
    // A folder a run is about to make lies on the disk of the nearest one above it.
    std::string existing = WithoutTrailingSeparator(folder);
    for (;;) {
        const UniqueFd opened(
            open(existing.empty() ? "/" : existing.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (opened)
            return DiskKindOfOpenFolder(opened.Get());
        const std::size_t separator = existing.rfind(pathSeparator);
        if (errno != ENOENT || separator == std::string::npos || existing.empty())
            return {};
        existing.resize(separator);
    }
}

FsStatus PosixFileSystem::CopyFile(const std::string& from, const std::string& to, CopyProgress* progress)
{
    return CopyFile(from, to, progress, nullptr);
}

FsStatus PosixFileSystem::CopyFile(const std::string& from, const std::string& to, CopyProgress* progress,
                                   WalkHook* hook)
{
    const PosixLocation source = resolver_.Locate(from);
    if (!source.status)
        return source.status;
    PosixLocation target = resolver_.Locate(to);
    if (!target.status)
        return target.status;
    std::string targetFolder = target.Folder();
    const std::string wholeFolder = FolderOf(to);
    CopySteps steps;
    if (hook != nullptr)
        steps = {hook, from, to};
    steps.progress = progress;
    // Outside a run the copy has a state of its own: nothing to share with other copies.
    std::shared_ptr<PosixRunState> run = resolver_.RunStateOf(to);
    if (!run)
        run = std::make_shared<PosixRunState>();
    // No listing tells a single copy what the source is, so it looks before it opens anything. It
    // does not know what the folder's default ACL would make of a mode either, so it always sets the
    // mode itself, nor who owns what is created there, which it looks up only when that matters.
    const int targetDirFd = target.dirFd;
    if (PreparedCopy prepared; hook == nullptr && PosixPreparedCopies::TakeForThisThread(from, to, prepared))
        return entryCopy_.PlacePrepared(prepared.temporary.Get(), prepared.sourceInfo,
                                        Destination{targetDirFd, std::move(target.name),
                                                    std::move(targetFolder), std::nullopt, std::nullopt,
                                                    wholeFolder},
                                        *run, steps);
    return entryCopy_.Copy(SourceEntry{source.dirFd, source.name.c_str(), EntryKind::Missing},
                           Destination{targetDirFd, std::move(target.name), std::move(targetFolder),
                                       std::nullopt, std::nullopt, wholeFolder},
                           std::nullopt, *run, steps);
}

std::unique_ptr<PreparedCopies> PosixFileSystem::PrepareCopies(const std::vector<CopyPair>& copies)
{
    // A flush for one file costs what the copy's own would.
    if (copies.size() < 2 || entryCopy_.TemporaryFiles() != TemporaryFileKind::UnnamedWhereSupported)
        return nullptr;
    std::vector<PreparedCopy> prepared;
    prepared.reserve(copies.size());
    // One folder's files: one flush covers them all.
    const std::string folder = FolderOf(copies.front().to);
    for (const CopyPair& copy : copies) {
        if (FolderOf(copy.to) != folder)
            continue;
        const PosixLocation source = resolver_.Locate(copy.from);
        const PosixLocation target = resolver_.Locate(copy.to);
        const std::shared_ptr<PosixRunState> run = resolver_.RunStateOf(copy.to);
        if (!source.status || !target.status || !run)
            continue;
        PreparedFile file = entryCopy_.PrepareUnnamed(
            SourceEntry{source.dirFd, source.name.c_str(), EntryKind::File}, target.dirFd, std::nullopt,
            CopyOwnership{run->credentials, std::nullopt}, {}, largestPreparedCopy);
        if (file.temporary)
            prepared.push_back({copy.from, copy.to, std::move(file.temporary), file.sourceInfo});
    }
    if (prepared.empty())
        return nullptr;
    // One flush for all of them, before any takes a name: a name never shows data a power cut could
    // still take away. Should it fail, each copy is made as usual, with its own.
    if (syncfs(prepared.front().temporary.Get()) != 0)
        return nullptr;
    return std::make_unique<PosixPreparedCopies>(std::move(prepared));
}

FsStatus PosixFileSystem::DeleteFile(const std::string& path)
{
    const PosixLocation place = resolver_.Locate(path);
    if (!place.status)
        return place.status;
    return DeleteEntryAt(place.dirFd, place.name.c_str(), closer_, resolver_.ReadOnlyRuleOf(path));
}

FsStatus PosixFileSystem::MakeFolder(const std::string& folder, mode_t mode)
{
    const PosixLocation place = resolver_.Locate(folder);
    if (!place.status)
        return place.status;
    if (const std::shared_ptr<PosixRunState> run = resolver_.RunStateOf(folder)) {
        const FsStatus holdable = CheckNewName(BaseNameOf(place.name), run->targetNames);
        struct stat existing {};
        if (!holdable && fstatat(place.dirFd, place.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0)
            return holdable;
    }
    bool created = false;
    return MakeFolderAt(place.dirFd, place.name.c_str(), mode, created);
}

FsStatus PosixFileSystem::RemoveFolder(const std::string& folder)
{
    const PosixLocation place = resolver_.Locate(folder);
    if (!place.status)
        return place.status;
    if (unlinkat(place.dirFd, place.name.c_str(), AT_REMOVEDIR) != 0)
        return FsStatus::Failure(errno);
    return {};
}

FsStatus PosixFileSystem::Respell(const std::string& path, const std::string& newName)
{
    return RespellEntry(resolver_, path, newName);
}

FsStatus PosixFileSystem::CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                                         const StopFlag& stop, CopyProgress* progress)
{
    return CopyFolderTree(sourceFolder, targetFolder, stop, progress, nullptr);
}

FsStatus PosixFileSystem::DeleteFolderTree(const std::string& folder, const StopFlag& stop)
{
    return DeleteFolderTree(folder, stop, nullptr);
}

FsStatus PosixFileSystem::CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                                         const StopFlag& stop, CopyProgress* progress, WalkHook* hook)
{
    const PosixWalkContext context{*this, resolver_, entryCopy_, prepareAhead_, closer_, hook, progress};
    return PosixTreeCopy(context, stop).Run(sourceFolder, targetFolder);
}

FsStatus PosixFileSystem::DeleteFolderTree(const std::string& folder, const StopFlag& stop, WalkHook* hook)
{
    const PosixWalkContext context{*this, resolver_, entryCopy_, prepareAhead_, closer_, hook, nullptr};
    return PosixTreeDelete(context, stop).Run(folder);
}

FsStatus PosixFileSystem::ReadFile(const std::string& path, std::size_t maxBytes, std::string& bytes)
{
    return ReadWholeFile(resolver_, path, maxBytes, bytes);
}

FsStatus PosixFileSystem::ReplaceFile(const std::string& path, std::string_view content, mode_t newFileMode)
{
    return ReplaceWholeFile(resolver_, path, content, newFileMode);
}

FsStatus PosixFileSystem::MakeFolders(const std::string& folder, mode_t mode)
{
    return MakeFolderPath(resolver_, folder, mode);
}

FsStatus PosixFileSystem::LockFile(const std::string& path, std::unique_ptr<FileLock>& lock)
{
    return LockWholeFile(resolver_, path, lock);
}

FsStatus PosixFileSystem::CreateNewFile(const std::string& path, std::string_view content, mode_t mode)
{
    return CreateNewFileAt(resolver_, path, content, mode);
}

FsStatus PosixFileSystem::AppendFile(const std::string& path, std::string_view content, mode_t newFileMode)
{
    return AppendFileAt(resolver_, path, content, newFileMode);
}

FsStatus PosixFileSystem::OpenTrashFolder(const TrashFolderRequest& request, std::unique_ptr<TrashHold>& hold)
{
    return OpenCheckedTrashFolder(resolver_, request, hold);
}

FsStatus PosixFileSystem::CreateAppendOnlyFile(const std::string& path, std::string_view content, mode_t mode,
                                               std::unique_ptr<AppendOnlyFile>& file)
{
    return CreateAppendOnlyFileAt(resolver_, path, content, mode, file);
}

FsStatus PosixFileSystem::MoveToTrash(const std::string& path, const std::string& trashPath)
{
    return MoveIntoTrash(resolver_, path, trashPath);
}

FsStatus PosixFileSystem::LinkToTrash(const std::string& path, const std::string& trashPath,
                                      const std::string& source)
{
    return LinkIntoTrash(resolver_, path, trashPath, source);
}

FsStatus PosixFileSystem::MoveFromTrash(const std::string& trashPath, const std::string& path,
                                        ExistingEntry existing)
{
    return MoveOutOfTrash(resolver_, trashPath, path, existing);
}

} // namespace twinfol
