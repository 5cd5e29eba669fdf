// Tree deletes relative to open folders: each level lists its folder completely, then deletes the
// entries in listing order (on a run's workers, its sub-folders beside one another); the first failure
// ends the walk, a stop request ends it after the current
// entry, a link is deleted as a link, never walked through, and a folder on another mount than the
// folder that holds it (a mount point, a bind mount included) is never entered: a file system
// mounted inside the tree is left whole, and the delete fails there.
#include "engine/posix/posix_tree_delete.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "base/work_pool.h"
#include "engine/fs/path_tree_walk.h"
#include "engine/posix/posix_beneath.h"
#include "engine/posix/posix_entry_delete.h"
#include "engine/posix/posix_listing.h"

namespace twinfol {

PosixTreeDelete::PosixTreeDelete(const PosixWalkContext& context, const StopFlag& stop)
    : context_(context), stop_(stop)
{
}

FsStatus PosixTreeDelete::Run(const std::string& folder)
{
    if (FsStatus step = context_.Step(WalkStep::List, folder); !step)
        return step;
    const PosixLocation place = context_.resolver.LocateInOpenFolder(folder);
    if (!place.status)
        return place.status;
    readOnly_ = context_.resolver.ReadOnlyRuleOf(folder);
    UniqueFd dir;
    if (FsStatus opened = OpenSubFolderOnSameMount(place.dirFd, place.name.c_str(), dir); !opened)
        return opened;
    DeleteLevel(dir.Get(), folder, 1);
    if (Failed())
        return failure_;
    // After a stop part-way the folder is not empty, so removing it fails and so does the whole delete.
    if (FsStatus step = context_.Step(WalkStep::RemoveFolder, folder); !step)
        return step;
    if (unlinkat(place.dirFd, place.name.c_str(), AT_REMOVEDIR) != 0)
        return FsStatus::Failure(errno);
    // The open folder is let go in the background like a deleted file.
    context_.closer.Close(dir.Release());
    return {};
}

bool PosixTreeDelete::Succeeded(FsStatus status)
{
    if (status)
        return true;
    const std::lock_guard lock(failureMutex_);
    if (!failed_.load(std::memory_order_relaxed)) {
        failure_ = std::move(status);
        failed_.store(true, std::memory_order_release);
    }
    return false;
}

void PosixTreeDelete::DeleteSubTree(int parentFd, const std::string& name, const std::string& folder,
                                    int depth)
{
    const std::string path = folder + name + pathSeparator;
    if (!Succeeded(context_.Step(WalkStep::DeleteTree, path)))
        return;
    if (depth >= deepestOpenLevel) {
        if (!Succeeded(CheckSameMount(parentFd, name.c_str())))
            return;
        Succeeded(PathTreeWalk(context_.layer, context_.hook, stop_, [this](const std::string& subFolder) {
                      const PosixLocation place = context_.resolver.LocateInOpenFolder(subFolder);
                      return place.status ? CheckSameMount(place.dirFd, place.name.c_str()) : place.status;
                  }).Delete(path));
        return;
    }
    if (!Succeeded(context_.Step(WalkStep::List, path)))
        return;
    UniqueFd dir;
    if (!Succeeded(OpenSubFolderOnSameMount(parentFd, name.c_str(), dir)))
        return;
    DeleteLevel(dir.Get(), path, depth);
    if (Failed() || !Succeeded(context_.Step(WalkStep::RemoveFolder, path)))
        return;
    if (!Succeeded(unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0 ? FsStatus()
                                                                       : FsStatus::Failure(errno)))
        return;
    context_.closer.Close(dir.Release());
}

FsStatus PosixTreeDelete::CheckSameMount(int parentFd, const char* name)
{
    UniqueFd opened;
    return OpenSubFolderOnSameMount(parentFd, name, opened);
}

void PosixTreeDelete::DeleteLevel(int folderFd, const std::string& folder, int depth)
{
    std::vector<ListedEntry> entries;
    if (!Succeeded(ReadEntries(folderFd, entries)))
        return;
    // On a run's worker each sub-folder is a part of its own while this thread deletes the files;
    // elsewhere the entries are deleted one after the other in listing order.
    WorkSplit subFolders;
    for (const ListedEntry& entry : entries) {
        if (entry.kind == EntryKind::Folder) {
            // A part that begins after a stop or a failure elsewhere does nothing; done here at once,
            // the sub-folder is the current entry, which a stop lets finish.
            subFolders.Split([this, &subFolders, folderFd, &entry, &folder, depth] {
                if (!subFolders.Spreads() || !Halted())
                    DeleteSubTree(folderFd, entry.name, folder, depth + 1);
            });
        } else {
            FsStatus result;
            if (context_.hook != nullptr)
                result = context_.Step(WalkStep::DeleteFile, folder + entry.name);
            if (result)
                result = DeleteEntryAt(folderFd, entry.name.c_str(), context_.closer, readOnly_);
            Succeeded(std::move(result));
        }
        if (Halted())
            break;
    }
    subFolders.Wait();
}

} // namespace twinfol
