// The tree check before a folder goes to the Trash: one listing per folder, one stat per file, each
// sub-folder opened so that it cannot be on another mount. Levels below the deepest one that keeps its
// folder open are reached again name by name from the last open one, so the descriptors in use stay
// bounded however deep the tree goes.
#include "engine/posix/posix_trash_check.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "base/unique_fd.h"
#include "engine/fs/refusal_rules.h"
#include "engine/posix/posix_beneath.h"
#include "engine/posix/posix_file_facts.h"
#include "engine/posix/posix_listing.h"
#include "engine/posix/posix_walk_context.h"

namespace twinfol {
namespace {

FsStatus CheckFiles(int folderFd, const std::vector<ListedEntry>& entries, ReadOnlyTargets readOnly)
{
    for (const ListedEntry& entry : entries) {
        if (entry.kind != EntryKind::File)
            continue;
        struct stat info {};
        if (fstatat(folderFd, entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                continue; // Gone since the folder was read: nothing of it to keep.
            return FsStatus::Failure(errno);
        }
        if (FsStatus trashable = CheckFileInTrashedFolder(FactsFromStat(info), readOnly); !trashable)
            return trashable;
    }
    return {};
}

FsStatus OpenChain(int anchorFd, const std::vector<std::string>& chain, UniqueFd& opened)
{
    UniqueFd current;
    int at = anchorFd;
    for (const std::string& name : chain) {
        UniqueFd next;
        if (FsStatus step = OpenSubFolderOnSameMount(at, name.c_str(), next); !step)
            return step;
        current = std::move(next);
        at = current.Get();
    }
    opened = std::move(current);
    return {};
}

FsStatus CheckByChain(int anchorFd, std::vector<std::string>& chain, ReadOnlyTargets readOnly)
{
    std::vector<ListedEntry> entries;
    {
        UniqueFd folder;
        if (FsStatus opened = OpenChain(anchorFd, chain, folder); !opened)
            return opened;
        if (FsStatus listed = ReadEntries(folder.Get(), entries); !listed)
            return listed;
        if (FsStatus files = CheckFiles(folder.Get(), entries, readOnly); !files)
            return files;
    }
    for (const ListedEntry& entry : entries) {
        if (entry.kind != EntryKind::Folder)
            continue;
        chain.push_back(entry.name);
        const FsStatus checked = CheckByChain(anchorFd, chain, readOnly);
        chain.pop_back();
        if (!checked)
            return checked;
    }
    return {};
}

FsStatus CheckLevel(int folderFd, int depth, ReadOnlyTargets readOnly)
{
    std::vector<ListedEntry> entries;
    if (FsStatus listed = ReadEntries(folderFd, entries); !listed)
        return listed;
    if (FsStatus files = CheckFiles(folderFd, entries, readOnly); !files)
        return files;
    for (const ListedEntry& entry : entries) {
        if (entry.kind != EntryKind::Folder)
            continue;
        FsStatus checked;
        if (depth < deepestOpenLevel) {
            UniqueFd sub;
            checked = OpenSubFolderOnSameMount(folderFd, entry.name.c_str(), sub);
            if (checked)
                checked = CheckLevel(sub.Get(), depth + 1, readOnly);
        } else {
            std::vector<std::string> chain{entry.name};
            checked = CheckByChain(folderFd, chain, readOnly);
        }
        if (!checked)
            return checked;
    }
    return {};
}

} // namespace

FsStatus CheckTreeMayBeTrashed(int folderFd, ReadOnlyTargets readOnly)
{
    return CheckLevel(folderFd, 1, readOnly);
}

} // namespace twinfol
