// One side of a folder level as the walk sees it: the entry names in byte order, split by kind, with
// the entries that are no item of the person's (trash folders, a killed copy's temporary files) set
// apart.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/changes/trash_folder_filter.h"
#include "engine/fs/file_system.h"

namespace twinfol {

struct Listing {
    std::set<std::string> files;
    std::set<std::string> folders;
    // Reads the stamps of the folder's files; let go before the walk goes deeper, so that no folder
    // stays open per level.
    std::unique_ptr<FolderStampReader> stamps;
    // Trash folders the listing met: left out, and their names left alone on the other side too.
    std::set<std::string> trashFolders;
    // Entries of the one reserved shape of temporary files, with their kinds: never items of the run.
    // On the source side each is refused with a problem line; the target's files are removed once they
    // are old enough to be a killed run's.
    std::map<std::string, EntryKind> reserved;

    bool IsEmpty() const { return files.empty() && folders.empty(); }
};

// Lists one folder (ending with the separator) into the listing, stopping early once a stop is asked
// for. May run on any thread.
FsStatus ListLevelSide(FileSystem& fileSystem, TrashFolderFilter& trashFolders, const StopFlag& stop,
                       const std::string& folder, Listing& listing);

// A trash folder on one side is no item of the person's: whatever of its name stands on the other side
// is neither copied into it nor deleted for its sake.
void LeaveTrashFoldersAlone(Listing& source, Listing& target);

} // namespace twinfol
