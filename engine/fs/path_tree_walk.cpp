// The by-path tree walks: each level lists its folder completely, then handles the entries in
// listing order. A copy tells and leaves out an entry it cannot copy; the first failure ends a delete;
// a stop request ends either after the current entry.
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
    FsStatus own = CopyFolder(sourceFolder, targetFolder, false);
    return own ? firstNotCopied_ : own;
}

FsStatus PathTreeWalk::CopyFolder(const std::string& sourceFolder, const std::string& targetFolder,
                                  bool intoNew)
{
    if (FsStatus made = Step(WalkStep::MakeFolder, targetFolder); !made)
        return made;
    // Only a folder that was not there is this copy's own to finish. In a folder the copy made,
    // whatever stands under the name already came from another spelling of it.
    const bool missing = fileSystem_.KindOf(targetFolder) == EntryKind::Missing;
    if (intoNew && !missing)
        return CaseTwinRefusal();
    const bool making = onMadeFolder_ && missing;
    if (FsStatus made = fileSystem_.MakeFolder(targetFolder); !made)
        return made;
    if (making)
        if (FsStatus made = onMadeFolder_(sourceFolder, targetFolder, true); !made)
            return made;
    FsStatus result = CopyEntries(sourceFolder, targetFolder, missing);
    if (making)
        if (FsStatus finished = onMadeFolder_(sourceFolder, targetFolder, false); !finished && result)
            result = finished;
    return result;
}

FsStatus PathTreeWalk::CopyEntries(const std::string& sourceFolder, const std::string& targetFolder,
                                   bool intoNew)
{
    if (FsStatus listing = Step(WalkStep::List, sourceFolder); !listing)
        return listing;
    std::vector<std::pair<std::string, EntryKind>> entries;
    const FsStatus listed = fileSystem_.ListFolder(sourceFolder, [&](std::string_view name, EntryKind kind) {
        // A copy's own leftover temporary file (or anything else of that reserved shape) is never copied.
        if (!IsTemporaryName(name))
            entries.emplace_back(name, kind);
        return true;
    });
    if (!listed)
        return listed;
    std::vector<std::string_view> names;
    names.reserve(entries.size());
    for (const auto& [name, kind] : entries)
        names.emplace_back(name);
    const std::set<std::string> twins = LaterCaseTwins(names, names_);
    for (std::size_t index = 0; index < entries.size() && !connectionLost_; ++index) {
        const auto& [name, kind] = entries[index];
        const std::string from = JoinPath(sourceFolder, name);
        const std::string to = JoinPath(targetFolder, name);
        if (FsStatus copied = twins.contains(name) ? CaseTwinRefusal() : CopyEntry(from, to, kind, intoNew);
            !copied) {
            const bool folder = kind == EntryKind::Folder;
            NotCopied(folder ? from + pathSeparator : from, folder ? to + pathSeparator : to, copied);
        }
        if (stop_.load(std::memory_order_relaxed)) {
            if (progress_ != nullptr && index + 1 < entries.size())
                progress_->CopyCutShort();
            break;
        }
    }
    return {};
}

FsStatus PathTreeWalk::CopyEntry(std::string from, std::string to, EntryKind kind, bool intoNew)
{
    if (kind == EntryKind::Folder) {
        from += pathSeparator;
        to += pathSeparator;
        if (FsStatus step = Step(WalkStep::CopyTree, from, to); !step)
            return step;
        return CopyFolder(from, to, intoNew);
    }
    if (FsStatus step = Step(WalkStep::CopyFile, from, to); !step)
        return step;
    if (FsStatus holdable = CheckNewKind(kind, names_); !holdable)
        return holdable;
    return fileSystem_.CopyFile(from, to, progress_);
}

void PathTreeWalk::NotCopied(const std::string& from, const std::string& to, const FsStatus& why)
{
    if (firstNotCopied_)
        firstNotCopied_ = why;
    if (progress_ != nullptr)
        progress_->EntryNotCopied(from, to, why);
    if (IsConnectionLoss(why))
        connectionLost_ = true;
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
