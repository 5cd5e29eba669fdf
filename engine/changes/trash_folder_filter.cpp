// Recognising trash folders in a listing: a name test first, and a look at the file system only for
// the rare folder that has such a name.
#include "engine/changes/trash_folder_filter.h"

#include "base/path.h"

namespace twinfol {

bool IsTrashFolderName(std::string_view name)
{
    constexpr std::string_view shared = ".Trash";
    if (!name.starts_with(shared))
        return false;
    name.remove_prefix(shared.size());
    if (name.empty())
        return true;
    return name.size() > 1 && name[0] == '-' &&
           name.find_first_not_of("0123456789", 1) == std::string_view::npos;
}

bool TrashFolderFilter::IsTrashFolder(const std::string& folder, std::string_view name)
{
    const bool volumeTrashName = IsTrashFolderName(name);
    if (!volumeTrashName && (homeTrash_.empty() || name != BaseNameOf(WithoutTrailingSeparator(homeTrash_))))
        return false;
    // Listings read ahead on a run's workers ask too, and the answers kept are shared.
    const std::lock_guard lock(mutex_);
    return volumeTrashName ? IsVolumeTop(folder) : IsHomeTrash(JoinPath(folder, name));
}

bool TrashFolderFilter::IsVolumeTop(const std::string& folder)
{
    if (folder == lastFolder_)
        return lastWasTop_;
    lastFolder_ = folder;
    lastWasTop_ = false;
    const FsResult<std::string> resolved = fileSystem_.ResolvePath(WithoutTrailingSeparator(folder));
    if (!resolved)
        return false;
    if (*resolved == "/")
        return lastWasTop_ = true;
    const FsResult<EntryFacts> inside = fileSystem_.LookAt(*resolved);
    const FsResult<EntryFacts> above = fileSystem_.LookAt(FolderOf(*resolved));
    lastWasTop_ = inside && above && !inside->SameMountAs(*above);
    return lastWasTop_;
}

bool TrashFolderFilter::IsHomeTrash(const std::string& path)
{
    if (!homeTrashResolved_)
        homeTrashResolved_ =
            fileSystem_.ResolvePath(WithoutTrailingSeparator(homeTrash_)).value_or(std::string());
    return !homeTrashResolved_->empty() && fileSystem_.ResolvePath(path) == *homeTrashResolved_;
}

} // namespace twinfol
