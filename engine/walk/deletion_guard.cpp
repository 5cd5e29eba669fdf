// Counting what an empty source would cost: one listing of the source root, stopped at its first
// entry, and only when that finds none, one of the target root.
#include "engine/walk/deletion_guard.h"

namespace twinfol {

std::int64_t CountEmptySourceLosses(FileSystem& fileSystem, const std::string& sourceRoot,
                                    const std::string& targetRoot, const SyncOptions& options,
                                    const ExclusionList& exclusions)
{
    if (!options.deleteMissing)
        return 0;
    bool sourceHoldsAnything = false;
    const FsStatus sourceListed = fileSystem.ListFolder(sourceRoot, [&](std::string_view name, EntryKind) {
        sourceHoldsAnything = !IsTemporaryName(name);
        return !sourceHoldsAnything;
    });
    if (!sourceListed || sourceHoldsAnything)
        return 0;
    // The items the engine's walk would delete at the top level, with the same exclusion tests.
    // A target that cannot be listed loses nothing here; the run then records that it cannot read it.
    std::int64_t losses = 0;
    const FsStatus targetListed =
        fileSystem.ListFolder(targetRoot, [&](std::string_view name, EntryKind kind) {
            if (IsTemporaryName(name))
                return true;
            std::string path = JoinPath(targetRoot, name);
            if (kind == EntryKind::Folder) {
                path += pathSeparator;
                if (!options.checkSubFolders)
                    return true;
            }
            if (!exclusions.IsExcluded(path))
                ++losses;
            return true;
        });
    return targetListed ? losses : 0;
}

} // namespace twinfol
