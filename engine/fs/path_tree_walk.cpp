// The by-path tree walks: each level lists its folder completely, then handles the entries in
// listing order; the first failure ends the walk, a stop request ends it after the current entry.
#include "engine/fs/path_tree_walk.h"

#include "engine/fs/refusal_rules.h"

namespace twinfol {

PathTreeWalk::PathTreeWalk(FileSystem& fileSystem, WalkHook* hook, const StopFlag& stop, EnterCheck mayEnter,
                           MadeFolderStep onMadeFolder, CopyProgress* progress)
    : fileSystem_(fileSystem), hook_(hook), stop_(stop), mayEnter_(std::move(mayEnter)),
      onMadeFolder_(std::move(onMadeFolder)), progress_(progress)
{
}

FsStatus PathTreeWalk::Step(WalkStep step, const std::string& path, const std::string& secondPath)
{
    return hook_ != nullptr ? hook_->BeforeStep(step, path, secondPath) : FsStatus();
}

FsStatus PathTreeWalk::Copy(const std::string& sourceFolder, const std::string& targetFolder)
{
    if (FsStatus made = Step(WalkStep::MakeFolder, targetFolder); !made)
        return made;
    // Only a folder that was not there is this copy's own to finish.
    const bool making = onMadeFolder_ && fileSystem_.KindOf(targetFolder) == EntryKind::Missing;
    if (FsStatus made = fileSystem_.MakeFolder(targetFolder); !made)
        return made;
    if (making)
        if (FsStatus made = onMadeFolder_(sourceFolder, targetFolder, true); !made)
            return made;
    FsStatus result = CopyEntries(sourceFolder, targetFolder);
    if (making)
        if (FsStatus finished = onMadeFolder_(sourceFolder, targetFolder, false); !finished && result)
            result = finished;
    return result;
}

FsStatus PathTreeWalk::CopyEntries(const std::string& sourceFolder, const std::string& targetFolder)
{
    if (FsStatus listing = Step(WalkStep::List, sourceFolder); !listing)
        return listing;
    FsStatus result;
    bool stopped = false;
    const FsStatus listed = fileSystem_.ListFolder(sourceFolder, [&](std::string_view name, EntryKind kind) {
        if (IsTemporaryName(name))
            return true;
        // The listing goes on after a stop only to learn whether it left an entry uncopied.
        if (stopped) {
            if (progress_ != nullptr)
                progress_->CopyCutShort();
            return false;
        }
        std::string from = JoinPath(sourceFolder, name);
        std::string to = JoinPath(targetFolder, name);
        if (kind == EntryKind::Folder) {
            from += pathSeparator;
            to += pathSeparator;
            result = Step(WalkStep::CopyTree, from, to);
            if (result)
                result = Copy(from, to);
        } else {
            result = Step(WalkStep::CopyFile, from, to);
            if (result)
                result = fileSystem_.CopyFile(from, to, progress_);
        }
        stopped = stop_.load(std::memory_order_relaxed);
        return result.IsOk();
    });
    return listed ? result : listed;
}

FsStatus PathTreeWalk::Delete(const std::string& folder)
{
    if (FsStatus listing = Step(WalkStep::List, folder); !listing)
        return listing;
    FsStatus result;
    const FsStatus listed = fileSystem_.ListFolder(folder, [&](std::string_view name, EntryKind kind) {
        std::string path = JoinPath(folder, name);
        if (kind == EntryKind::Folder) {
            path += pathSeparator;
            result = Step(WalkStep::DeleteTree, path);
            if (result && mayEnter_)
                result = mayEnter_(path);
            if (result)
                result = Delete(path);
        } else {
            result = Step(WalkStep::DeleteFile, path);
            if (result)
                result = fileSystem_.DeleteFile(path);
        }
        return result.IsOk() && !stop_.load(std::memory_order_relaxed);
    });
    if (!listed)
        return listed;
    if (!result)
        return result;
    // After a stop part-way the folder is not empty, so removing it fails and so does the whole delete.
    if (FsStatus removing = Step(WalkStep::RemoveFolder, folder); !removing)
        return removing;
    return fileSystem_.RemoveFolder(folder);
}

FsStatus FolderEntryCheck::operator()(const std::string& folder)
{
    std::string entry = WithoutTrailingSeparator(folder);
    EntryFacts facts;
    if (FsStatus looked = fileSystem_.LookAt(entry, facts); !looked)
        return looked;
    if (FsStatus still = CheckStillFolder(facts); !still)
        return still;
    const std::string parentPath = WithoutTrailingSeparator(FolderOf(entry));
    EntryFacts parent;
    if (const auto known = entered_.find(parentPath); known != entered_.end())
        parent = known->second;
    else if (!fileSystem_.LookAt(parentPath, parent))
        parent = {}; // A parent that cannot be looked at tells of no mount; the rule counts known ones.
    if (FsStatus sameMount = CheckSameMount(facts, parent); !sameMount)
        return sameMount;
    entered_.emplace(std::move(entry), facts);
    return {};
}

} // namespace twinfol
