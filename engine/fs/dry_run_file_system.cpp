// Reads go to the real layer; changes are checked against what the real layer would refuse, then only
// pretended.
#include "engine/fs/dry_run_file_system.h"

#include <cerrno>

#include "engine/records/refusal_reasons.h"

namespace twinfol {
namespace {

bool IsStopped(const StopFlag& stop)
{
    return stop.load(std::memory_order_relaxed);
}

// Whether a folder lies on another mount than the folder that holds it; unknown mounts never count.
bool IsOtherMount(std::uint64_t folderMount, std::uint64_t parentMount)
{
    return folderMount != 0 && parentMount != 0 && folderMount != parentMount;
}

} // namespace

std::unique_ptr<RunScope> DryRunFileSystem::BeginRun(const std::string& sourceRoot,
                                                     const std::string& targetRoot)
{
    {
        const std::lock_guard lock(deletedMutex_);
        deletedFiles_.clear();
    }
    return reader_.BeginRun(sourceRoot, targetRoot);
}

FsStatus DryRunFileSystem::ListFolder(const std::string& folder, const EntryVisitor& onEntry)
{
    return reader_.ListFolder(folder, onEntry);
}

FsStatus DryRunFileSystem::ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                               std::unique_ptr<FolderStampReader>& stamps)
{
    return reader_.ListFolderForStamps(folder, onEntry, stamps);
}

EntryKind DryRunFileSystem::KindOf(const std::string& path)
{
    EntryFacts facts;
    return LookAt(path, facts) ? facts.kind : EntryKind::Missing;
}

bool DryRunFileSystem::WasDeleted(const std::string& path) const
{
    const std::lock_guard lock(deletedMutex_);
    return deletedFiles_.contains(WithoutTrailingSeparator(path));
}

FsStatus DryRunFileSystem::LookAt(const std::string& path, EntryFacts& facts)
{
    if (WasDeleted(path)) {
        facts = {};
        return FsStatus::Failure(ENOENT);
    }
    return reader_.LookAt(path, facts);
}

std::optional<std::string> DryRunFileSystem::ResolvePath(const std::string& path)
{
    return reader_.ResolvePath(path);
}

std::optional<FolderIdentity> DryRunFileSystem::IdentifyFolder(const std::string& folder)
{
    return reader_.IdentifyFolder(folder);
}

std::optional<FileStamp> DryRunFileSystem::ReadFileStamp(const std::string& path)
{
    return reader_.ReadFileStamp(path);
}

FsStatus DryRunFileSystem::CopyFile(const std::string& from, const std::string& to, CopyProgress* progress)
{
    // In the order the real copy looks: the source first, then what stands at the target.
    EntryFacts source;
    if (FsStatus looked = LookAt(from, source); !looked)
        return looked;
    if (source.kind == EntryKind::Folder)
        return FsStatus::Refusal(EISDIR, sourceIsFolderReason);
    if (source.kind == EntryKind::Other)
        return FsStatus::Refusal(EOPNOTSUPP, sourceIsSpecialReason);
    EntryFacts target;
    if (FsStatus looked = LookAt(to, target); !looked && looked.Error() != ENOENT)
        return looked;
    if (target.kind == EntryKind::Folder)
        return FsStatus::Refusal(EISDIR, folderAtTargetReason);
    if (target.readOnly)
        return FsStatus::Refusal(EACCES, targetReadOnlyReason);
    if (progress != nullptr)
        progress->FileCopied(source.kind == EntryKind::File ? static_cast<std::uint64_t>(source.size) : 0);
    return {};
}

FsStatus DryRunFileSystem::DeleteFile(const std::string& path)
{
    EntryFacts facts;
    if (FsStatus looked = LookAt(path, facts); !looked)
        return looked;
    if (facts.kind == EntryKind::Folder)
        return FsStatus::Refusal(EISDIR, folderWhereFileReason);
    if (facts.readOnly)
        return FsStatus::Refusal(EACCES, fileReadOnlyReason);
    {
        const std::lock_guard lock(deletedMutex_);
        deletedFiles_.insert(WithoutTrailingSeparator(path));
    }
    return {};
}

FsStatus DryRunFileSystem::MakeFolder(const std::string&)
{
    return {};
}

FsStatus DryRunFileSystem::RemoveFolder(const std::string&)
{
    return {};
}

FsStatus DryRunFileSystem::Respell(const std::string& path, const std::string&)
{
    EntryFacts facts;
    return LookAt(path, facts);
}

FsStatus DryRunFileSystem::CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                                          const StopFlag& stop, CopyProgress* progress)
{
    // The real copy makes the folder first (reusing a folder already there), then walks the source.
    EntryFacts existing;
    if (FsStatus looked = LookAt(targetFolder, existing); !looked && looked.Error() != ENOENT)
        return looked;
    if (existing.kind != EntryKind::Missing && existing.kind != EntryKind::Folder)
        return FsStatus::Refusal(EEXIST, fileWhereFolderReason);
    return WalkCopy(sourceFolder, stop, progress);
}

FsStatus DryRunFileSystem::WalkCopy(const std::string& sourceFolder, const StopFlag& stop,
                                    CopyProgress* progress)
{
    FsStatus result;
    const FsStatus listed = reader_.ListFolder(sourceFolder, [&](std::string_view name, EntryKind kind) {
        if (IsTemporaryName(name))
            return true;
        const std::string path = JoinPath(sourceFolder, name);
        if (kind == EntryKind::Folder) {
            result = WalkCopy(path + pathSeparator, stop, progress);
        } else if (kind == EntryKind::Other) {
            result = FsStatus::Refusal(EOPNOTSUPP, sourceIsSpecialReason);
        } else if (progress != nullptr) {
            EntryFacts facts;
            result = reader_.LookAt(path, facts);
            if (result)
                progress->FileCopied(facts.kind == EntryKind::File ? static_cast<std::uint64_t>(facts.size)
                                                                   : 0);
        }
        return result.IsOk() && !IsStopped(stop);
    });
    return listed ? result : listed;
}

FsStatus DryRunFileSystem::DeleteFolderTree(const std::string& folder, const StopFlag& stop)
{
    EntryFacts top;
    if (FsStatus looked = LookAt(folder, top); !looked)
        return looked;
    if (top.kind != EntryKind::Folder)
        return FsStatus::Refusal(ELOOP, linkWhereFolderWas);
    EntryFacts parent;
    if (reader_.LookAt(FolderOf(WithoutTrailingSeparator(folder)), parent) &&
        IsOtherMount(top.mountId, parent.mountId))
        return FsStatus::Refusal(EXDEV, mountedInside);
    bool stopped = false;
    if (FsStatus walked = WalkDelete(folder, top.mountId, stop, stopped); !walked)
        return walked;
    // After a stop part-way the folder is not empty, so the real delete fails to remove it.
    return stopped ? FsStatus::Failure(ENOTEMPTY) : FsStatus();
}

FsStatus DryRunFileSystem::WalkDelete(const std::string& folder, std::uint64_t mountId, const StopFlag& stop,
                                      bool& stopped)
{
    FsStatus result;
    bool endedEarly = false;
    const FsStatus listed = reader_.ListFolder(folder, [&](std::string_view name, EntryKind kind) {
        if (endedEarly) {
            stopped = true;
            return false;
        }
        EntryFacts facts;
        const std::string path = JoinPath(folder, name);
        result = reader_.LookAt(path, facts);
        if (result && kind == EntryKind::Folder) {
            if (IsOtherMount(facts.mountId, mountId))
                result = FsStatus::Refusal(EXDEV, mountedInside);
            else
                result = WalkDelete(path + pathSeparator, facts.mountId, stop, stopped);
        } else if (result && facts.readOnly) {
            result = FsStatus::Refusal(EACCES, fileReadOnlyReason);
        }
        // A stop request is seen after the entry; only an entry left after it keeps the folder.
        endedEarly = IsStopped(stop);
        return result.IsOk() && !stopped;
    });
    return listed ? result : listed;
}

FsStatus DryRunFileSystem::ReadFile(const std::string& path, std::size_t maxBytes, std::string& bytes)
{
    return reader_.ReadFile(path, maxBytes, bytes);
}

FsStatus DryRunFileSystem::ReplaceFile(const std::string&, std::string_view, mode_t)
{
    return {};
}

FsStatus DryRunFileSystem::MakeFolders(const std::string&, mode_t)
{
    return {};
}

FsStatus DryRunFileSystem::LockFile(const std::string&, std::unique_ptr<FileLock>& lock)
{
    lock = std::make_unique<FileLock>();
    return {};
}

std::optional<EntryFacts> DryRunFileSystem::ReadEntryFacts(const std::string& path)
{
    return reader_.ReadEntryFacts(path);
}

FsStatus DryRunFileSystem::CreateNewFile(const std::string&, std::string_view, mode_t)
{
    return {};
}

FsStatus DryRunFileSystem::AppendFile(const std::string&, std::string_view, mode_t)
{
    return {};
}

FsStatus DryRunFileSystem::MoveToTrash(const std::string&, const std::string&)
{
    return {};
}

FsStatus DryRunFileSystem::LinkToTrash(const std::string&, const std::string&)
{
    return {};
}

FsStatus DryRunFileSystem::MoveFromTrash(const std::string&, const std::string&, ExistingEntry)
{
    return {};
}

} // namespace twinfol
