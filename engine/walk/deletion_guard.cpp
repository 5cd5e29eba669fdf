// Counting what an empty source would cost: the roots' level listed and decided as the walk does it.
#include "engine/walk/deletion_guard.h"

#include "engine/walk/item_rules.h"
#include "engine/walk/level_listing.h"

namespace twinfol {

std::int64_t CountEmptySourceLosses(FileSystem& fileSystem, const std::string& sourceRoot,
                                    const std::string& targetRoot, const SyncOptions& options,
                                    const ExclusionList& exclusions, const UserPlaces* places)
{
    // The roots' level as the walk lists it and as the walk's rules see it: a source root that holds
    // only trash folders or a killed copy's temporary files holds nothing. A target that cannot be
    // listed loses nothing here; the run then records that it cannot read it.
    TrashFolderFilter trashFolders(fileSystem);
    if (places != nullptr)
        trashFolders.SetHomeTrash(places->homeTrash);
    const StopFlag neverStopped{false};
    Listing source;
    Listing target;
    // The target is listed only when the source holds no item at all.
    if (!ListLevelSide(fileSystem, trashFolders, neverStopped, sourceRoot, source) || !source.IsEmpty())
        return 0;
    if (!ListLevelSide(fileSystem, trashFolders, neverStopped, targetRoot, target))
        return 0;
    LeaveTrashFoldersAlone(source, target);
    if (!source.IsEmpty())
        return 0;
    const ItemRules rules(options, exclusions);
    std::int64_t losses = 0;
    for (const std::string& name : target.files)
        losses += rules.ForTargetOnlyFile({sourceRoot, targetRoot, name}) == ItemAction::DeleteFile ? 1 : 0;
    for (const std::string& name : target.folders)
        losses +=
            rules.ForTargetOnlyFolder({sourceRoot, targetRoot, name}) == ItemAction::DeleteFolder ? 1 : 0;
    return losses;
}

} // namespace twinfol
