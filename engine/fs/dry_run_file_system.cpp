// Reads go to the real layer; changes are checked by the refusal rules against what the real layer
// shows, then only pretended.
#include "engine/fs/dry_run_file_system.h"

#include <algorithm>
#include <cerrno>

#include <utility>
#include <vector>

#include "engine/fs/path_tree_walk.h"
#include "engine/fs/refusal_rules.h"
#include "engine/records/refusal_reasons.h"

namespace twinfol {

std::unique_ptr<RunScope> DryRunFileSystem::BeginRun(const std::string& sourceRoot,
                                                     const std::string& targetRoot, ReadOnlyTargets readOnly)
{
    {
        const std::lock_guard lock(pretendedMutex_);
        gone_.clear();
        made_.clear();
        keptInTrash_.clear();
        space_ = {};
        targetRoot_ = targetRoot;
    }
    targetNames_ = Inner().DiskKindOf(targetRoot).names;
    readOnly_ = readOnly;
    return Inner().BeginRun(sourceRoot, targetRoot, readOnly);
}

bool DryRunFileSystem::IsGone(const std::string& path) const
{
    const std::lock_guard lock(pretendedMutex_);
    if (gone_.empty())
        return false;
    // The entry itself, then each folder above it, as parts of the one path.
    std::string_view entry = path;
    if (entry.size() > 1 && entry.ends_with(pathSeparator))
        entry.remove_suffix(1);
    for (;;) {
        if (gone_.contains(entry))
            return true;
        const std::size_t separator = entry.rfind(pathSeparator);
        if (separator == std::string_view::npos || separator == 0)
            return false;
        entry = entry.substr(0, separator);
    }
}

void DryRunFileSystem::MarkGone(const std::string& path)
{
    const std::lock_guard lock(pretendedMutex_);
    gone_.insert(WithoutTrailingSeparator(path));
}

FsStatus DryRunFileSystem::LookAtPlace(const std::string& path, EntryFacts& facts)
{
    facts = {};
    const std::string parent = WithoutTrailingSeparator(FolderOf(WithoutTrailingSeparator(path)));
    {
        // Nothing stands yet inside a folder this trial run made: it was missing when it was made.
        const std::lock_guard lock(pretendedMutex_);
        if (made_.contains(parent))
            return {};
    }
    const FsStatus looked = LookAt(path, facts);
    if (looked || looked.Error() != ENOENT)
        return looked;
    facts = {};
    if (parent.empty())
        return {}; // The current folder holds it.
    // Nothing there: the new entry needs the folder that would hold it.
    EntryFacts above;
    if (FsStatus holder = LookAt(parent, above); !holder && holder.Error() == ENOENT)
        return holder;
    return {};
}

bool DryRunFileSystem::WasMade(const std::string& folder)
{
    const std::lock_guard lock(pretendedMutex_);
    return made_.contains(WithoutTrailingSeparator(folder));
}

FsStatus DryRunFileSystem::ListFolder(const std::string& folder, const EntryVisitor& onEntry)
{
    return WasMade(folder) ? FsStatus() : ForwardingFileSystem::ListFolder(folder, onEntry);
}

FsStatus DryRunFileSystem::ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                               std::unique_ptr<FolderStampReader>& stamps)
{
    if (!WasMade(folder))
        return ForwardingFileSystem::ListFolderForStamps(folder, onEntry, stamps);
    stamps.reset();
    return {};
}

FsStatus DryRunFileSystem::LookAt(const std::string& path, EntryFacts& facts)
{
    if (IsGone(path)) {
        facts = {};
        return FsStatus::Failure(ENOENT);
    }
    return Inner().LookAt(path, facts);
}

EntryKind DryRunFileSystem::KindOf(const std::string& path)
{
    return FileSystem::KindOf(path);
}

FsStatus DryRunFileSystem::CopyFile(const std::string& from, const std::string& to, CopyProgress* progress)
{
    // In the order the real copy looks: the source first, then what stands at the target.
    EntryFacts source;
    if (FsStatus looked = LookAt(from, source); !looked)
        return looked;
    if (FsStatus copyable = CheckCopySource(source); !copyable)
        return copyable;
    if (FsStatus holdable = CheckNewKind(source.kind, targetNames_); !holdable)
        return holdable;
    if (source.kind == EntryKind::File)
        if (FsStatus readable = OpenForReading(from); !readable)
            return FsStatus::FailureAt(sourceUnreadableStep, readable.Error());
    EntryFacts target;
    if (FsStatus looked = LookAtPlace(to, target); !looked)
        return looked;
    if (FsStatus replaceable = CheckCopyTarget(target, source, readOnly_); !replaceable)
        return replaceable;
    if (target.kind == EntryKind::Missing)
        if (FsStatus holdable = CheckNewName(BaseNameOf(WithoutTrailingSeparator(to)), targetNames_);
            !holdable)
            return holdable;
    Tally(source, target, to);
    if (progress != nullptr)
        progress->FileCopied(source.kind == EntryKind::File ? static_cast<std::uint64_t>(source.size) : 0);
    return {};
}

std::uint64_t DryRunFileSystem::Rounded(std::int64_t size) const
{
    const auto bytes = static_cast<std::uint64_t>(size > 0 ? size : 0);
    return (bytes + unit_ - 1) / unit_ * unit_;
}

void DryRunFileSystem::Tally(const EntryFacts& source, const EntryFacts& replaced, const std::string& to)
{
    // A link's text is held in its entry, near enough.
    const std::uint64_t written = source.kind == EntryKind::File ? Rounded(source.size) : 0;
    const std::lock_guard lock(pretendedMutex_);
    space_.written += written;
    space_.largest = std::max(space_.largest, written);
    if (replaced.kind == EntryKind::File && !keptInTrash_.contains(WithoutTrailingSeparator(to)))
        space_.released += Rounded(replaced.size);
}

SpaceTally DryRunFileSystem::Space() const
{
    const std::lock_guard lock(pretendedMutex_);
    return space_;
}

FsStatus DryRunFileSystem::DeleteFile(const std::string& path)
{
    EntryFacts facts;
    if (FsStatus looked = LookAt(path, facts); !looked)
        return looked;
    if (FsStatus deletable = CheckFileDelete(facts, readOnly_); !deletable)
        return deletable;
    MarkGone(path);
    return {};
}

FsStatus DryRunFileSystem::MakeFolder(const std::string& folder, mode_t)
{
    EntryFacts existing;
    if (FsStatus looked = LookAtPlace(folder, existing); !looked)
        return looked;
    if (existing.kind == EntryKind::Missing) {
        if (FsStatus holdable = CheckNewName(BaseNameOf(WithoutTrailingSeparator(folder)), targetNames_);
            !holdable)
            return holdable;
        const std::lock_guard lock(pretendedMutex_);
        made_.insert(WithoutTrailingSeparator(folder));
        if (folder.starts_with(targetRoot_))
            space_.written += unit_;
    }
    return CheckFolderPlace(existing);
}

FsStatus DryRunFileSystem::RemoveFolder(const std::string& folder)
{
    EntryFacts facts;
    if (FsStatus looked = LookAt(folder, facts); !looked)
        return looked;
    // rmdir answers ENOTDIR for anything else, a link to a folder included.
    if (facts.kind != EntryKind::Folder)
        return FsStatus::Failure(ENOTDIR);
    const std::string inside = WithTrailingSeparator(WithoutTrailingSeparator(folder));
    bool empty = true;
    const FsStatus listed = Inner().ListFolder(inside, [&](std::string_view name, EntryKind) {
        empty = IsGone(JoinPath(inside, name));
        return empty;
    });
    if (!listed)
        return listed;
    if (!empty)
        return FsStatus::Failure(ENOTEMPTY);
    MarkGone(folder);
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
    PathTreeWalk walk(*this, nullptr, stop, {}, {}, progress);
    walk.KeepNamesOf(targetNames_);
    return walk.Copy(sourceFolder, targetFolder);
}

FsStatus DryRunFileSystem::DeleteFolderTree(const std::string& folder, const StopFlag& stop)
{
    return FileSystem::DeleteFolderTree(folder, stop);
}

FsStatus DryRunFileSystem::MakeFolders(const std::string& folder, mode_t mode)
{
    return FileSystem::MakeFolders(folder, mode);
}

FsStatus DryRunFileSystem::ReplaceFile(const std::string&, std::string_view, mode_t)
{
    return {};
}

FsStatus DryRunFileSystem::LockFile(const std::string&, std::unique_ptr<FileLock>& lock)
{
    lock = std::make_unique<FileLock>();
    return {};
}

FsStatus DryRunFileSystem::CreateNewFile(const std::string&, std::string_view, mode_t)
{
    return {};
}

FsStatus DryRunFileSystem::AppendFile(const std::string&, std::string_view, mode_t)
{
    return {};
}

FsStatus DryRunFileSystem::MoveToTrash(const std::string& path, const std::string&)
{
    // The item's own rules, then its whole tree's, as the real move checks them before anything moves.
    EntryFacts item;
    if (FsStatus looked = LookAt(path, item); !looked)
        return looked;
    if (item.kind != EntryKind::Folder)
        if (FsStatus deletable = CheckFileDelete(item, readOnly_); !deletable)
            return deletable;
    if (item.kind == EntryKind::Folder) {
        EntryFacts parent;
        if (LookAt(FolderOf(WithoutTrailingSeparator(path)), parent))
            if (FsStatus sameMount = CheckSameMount(item, parent); !sameMount)
                return sameMount;
        if (FsStatus tree = CheckTreeForTrash(WithTrailingSeparator(WithoutTrailingSeparator(path)), item);
            !tree)
            return tree;
    }
    MarkGone(path);
    return {};
}

FsStatus DryRunFileSystem::CheckTreeForTrash(const std::string& folder, const EntryFacts& facts)
{
    std::vector<std::pair<std::string, EntryKind>> entries;
    if (FsStatus listed = ListFolder(folder,
                                     [&](std::string_view name, EntryKind kind) {
                                         entries.emplace_back(name, kind);
                                         return true;
                                     });
        !listed)
        return listed;
    // The files of a folder first, then its sub-folders, in the order the listing gave them.
    for (const auto& [name, kind] : entries) {
        EntryFacts file;
        if (kind == EntryKind::File && LookAt(folder + name, file))
            if (FsStatus trashable = CheckFileInTrashedFolder(file, readOnly_); !trashable)
                return trashable;
    }
    for (const auto& [name, kind] : entries) {
        EntryFacts sub;
        if (kind != EntryKind::Folder || !LookAt(folder + name, sub))
            continue;
        if (FsStatus still = CheckStillFolder(sub); !still)
            return still;
        if (FsStatus sameMount = CheckSameMount(sub, facts); !sameMount)
            return sameMount;
        if (FsStatus checked = CheckTreeForTrash(folder + name + pathSeparator, sub); !checked)
            return checked;
    }
    return {};
}

FsStatus DryRunFileSystem::LinkToTrash(const std::string& path, const std::string&, const std::string& source)
{
    // A second name for the old content of a file about to be replaced: refused as the replacement is.
    EntryFacts item;
    if (FsStatus looked = LookAt(path, item); !looked)
        return looked;
    EntryFacts replacement;
    if (FsStatus looked = LookAt(source, replacement); !looked)
        return looked;
    if (FsStatus replaceable = CheckCopyTarget(item, replacement, readOnly_); !replaceable)
        return replaceable;
    const std::lock_guard lock(pretendedMutex_);
    keptInTrash_.insert(WithoutTrailingSeparator(path));
    return {};
}

FsStatus DryRunFileSystem::MoveFromTrash(const std::string&, const std::string&, ExistingEntry)
{
    return {};
}

namespace {

// A journal of a trial run: written nowhere.
class PretendedAppends : public AppendOnlyFile {
public:
    FsStatus Append(std::string_view) override { return {}; }
    FsStatus Sync() override { return {}; }
};

} // namespace

FsStatus DryRunFileSystem::OpenTrashFolder(const TrashFolderRequest& request,
                                           std::unique_ptr<TrashHold>& hold)
{
    TrashFolderRequest lookOnly = request;
    lookOnly.create = false;
    const FsStatus opened = Inner().OpenTrashFolder(lookOnly, hold);
    if (!opened && !opened.IsRefusal() && opened.Error() == ENOENT) {
        hold = std::make_unique<TrashHold>();
        return {};
    }
    return opened;
}

FsStatus DryRunFileSystem::CreateAppendOnlyFile(const std::string&, std::string_view, mode_t,
                                                std::unique_ptr<AppendOnlyFile>& file)
{
    file = std::make_unique<PretendedAppends>();
    return {};
}

} // namespace twinfol
