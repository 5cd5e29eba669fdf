// Tree deletes relative to open folders: each level lists its folder completely, then deletes the
// entries in listing order; the first failure ends the walk, a stop request ends it after the current
// entry, a link is deleted as a link, never walked through, and a folder on another mount than the
// folder that holds it (a mount point, a bind mount included) is never entered: a file system
// mounted inside the tree is left whole, and the delete fails there.
#include "engine/posix_tree_delete.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "engine/path_tree_walk.h"
#include "engine/posix_beneath.h"
#include "engine/posix_entry_delete.h"
#include "engine/posix_listing.h"

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
    UniqueFd dir;
    if (FsStatus opened = OpenSubFolderOnSameMount(place.dirFd, place.name.c_str(), dir); !opened)
        return opened;
    if (FsStatus emptied = DeleteLevel(dir.Get(), folder, 1); !emptied)
        return emptied;
    // After a stop part-way the folder is not empty, so removing it fails and so does the whole delete.
    if (FsStatus step = context_.Step(WalkStep::RemoveFolder, folder); !step)
        return step;
    if (unlinkat(place.dirFd, place.name.c_str(), AT_REMOVEDIR) != 0)
        return FsStatus::Failure(errno);
    // The open folder is let go in the background like a deleted file.
    context_.closer.Close(dir.Release());
    return {};
}

FsStatus PosixTreeDelete::DeleteSubTree(int parentFd, const std::string& name, const std::string& folder,
                                        int depth)
{
    const std::string path = folder + name + pathSeparator;
    if (FsStatus step = context_.Step(WalkStep::DeleteTree, path); !step)
        return step;
    if (depth >= deepestOpenLevel) {
        if (FsStatus sameMount = CheckSameMount(parentFd, name.c_str()); !sameMount)
            return sameMount;
        return PathTreeWalk(context_.layer, context_.hook, stop_,
                            [this](const std::string& subFolder) {
                                const PosixLocation place = context_.resolver.LocateInOpenFolder(subFolder);
                                return place.status ? CheckSameMount(place.dirFd, place.name.c_str())
                                                    : place.status;
                            })
            .Delete(path);
    }
    if (FsStatus step = context_.Step(WalkStep::List, path); !step)
        return step;
    UniqueFd dir;
    if (FsStatus opened = OpenSubFolderOnSameMount(parentFd, name.c_str(), dir); !opened)
        return opened;
    if (FsStatus emptied = DeleteLevel(dir.Get(), path, depth); !emptied)
        return emptied;
    if (FsStatus step = context_.Step(WalkStep::RemoveFolder, path); !step)
        return step;
    if (unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) != 0)
        return FsStatus::Failure(errno);
    context_.closer.Close(dir.Release());
    return {};
}

FsStatus PosixTreeDelete::CheckSameMount(int parentFd, const char* name)
{
    UniqueFd opened;
    return OpenSubFolderOnSameMount(parentFd, name, opened);
}

FsStatus PosixTreeDelete::DeleteLevel(int folderFd, const std::string& folder, int depth)
{
    std::vector<ListedEntry> entries;
    if (FsStatus listed = ReadEntries(folderFd, entries); !listed)
        return listed;
    FsStatus result;
    for (const ListedEntry& entry : entries) {
        if (entry.kind == EntryKind::Folder) {
            result = DeleteSubTree(folderFd, entry.name, folder, depth + 1);
        } else {
            if (context_.hook != nullptr)
                result = context_.Step(WalkStep::DeleteFile, folder + entry.name);
            if (result)
                result = DeleteEntryAt(folderFd, entry.name.c_str(), context_.closer);
        }
        if (!result || stop_.load(std::memory_order_relaxed))
            break;
    }
    return result;
}

} // namespace twinfol
