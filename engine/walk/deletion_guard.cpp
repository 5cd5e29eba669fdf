// Counting what an empty source would cost: the roots' level listed and decided as the walk does it.
#include "engine/walk/deletion_guard.h"

#include "base/amount_text.h"
#include "engine/walk/item_rules.h"
#include "engine/walk/level_listing.h"
#include "engine/walk/plan_reasons.h"

namespace twinfol {

EmptySourceLosses CountEmptySourceLosses(FileSystem& fileSystem, const std::string& sourceRoot,
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
        return {};
    if (!ListLevelSide(fileSystem, trashFolders, neverStopped, targetRoot, target))
        return {};
    LeaveTrashFoldersAlone(source, target);
    if (!source.IsEmpty())
        return {};
    const ItemRules rules(options, exclusions, sourceRoot, targetRoot);
    const IgnoreRules& ignore = rules.Ignore();
    // What the ignore rules leave out is no loss, unless the job deletes ignored items too.
    const auto leftOut = [&](const std::string& path, bool folder, std::optional<std::int64_t> size) {
        return !ignore.DeletesIgnored() && !ignore.ReasonFor(path, folder, size).empty();
    };
    EmptySourceLosses losses;
    for (const std::string& name : target.files) {
        if (rules.ForTargetOnlyFile({sourceRoot, targetRoot, name}) != ItemAction::DeleteFile)
            continue;
        EntryFacts facts;
        const bool looked = fileSystem.LookAt(targetRoot + name, facts).IsOk();
        if (leftOut(targetRoot + name, false,
                    looked ? std::optional<std::int64_t>(facts.size) : std::nullopt))
            continue;
        ++losses.items;
        ++losses.files;
        if (looked && facts.kind == EntryKind::File)
            losses.bytes += static_cast<std::uint64_t>(facts.size);
    }
    for (const std::string& name : target.folders) {
        if (rules.ForTargetOnlyFolder({sourceRoot, targetRoot, name}) != ItemAction::DeleteFolder ||
            leftOut(targetRoot + name, true, std::nullopt))
            continue;
        ++losses.items;
        const FolderContents held = CountFolderTree(fileSystem, targetRoot + name + pathSeparator);
        losses.files += held.files;
        losses.bytes += held.bytes;
    }
    return losses;
}

std::string LossesText(const EmptySourceLosses& losses)
{
    return FormatCount(losses.files) + (losses.files == 1 ? " file, " : " files, ") +
           FormatBytes(losses.bytes);
}

} // namespace twinfol
