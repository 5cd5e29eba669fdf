// Listing one side of a level.
#include "engine/walk/level_listing.h"

#include "base/temporary_name.h"

namespace twinfol {

FsStatus ListLevelSide(FileSystem& fileSystem, TrashFolderFilter& trashFolders, const StopFlag& stop,
                       const std::string& folder, Listing& listing)
{
    const auto addEntry = [&](std::string_view name, EntryKind kind) {
        // A copy's leftover temporary file belongs to no user: it is never copied, counted or deleted
        // as an item; the target's are swept once they are old.
        if (IsTemporaryName(name)) {
            listing.reserved.emplace(name, kind);
        } else if (kind != EntryKind::Folder) {
            listing.files.emplace(name);
        } else if (trashFolders.IsTrashFolder(folder, name)) {
            listing.trashFolders.emplace(name);
        } else {
            listing.folders.emplace(name);
        }
        return !stop.load(std::memory_order_relaxed);
    };
    return fileSystem.ListFolderForStamps(folder, addEntry, listing.stamps);
}

void LeaveTrashFoldersAlone(Listing& source, Listing& target)
{
    for (const std::string& name : source.trashFolders) {
        target.files.erase(name);
        target.folders.erase(name);
    }
    for (const std::string& name : target.trashFolders) {
        source.files.erase(name);
        source.folders.erase(name);
    }
}

} // namespace twinfol
