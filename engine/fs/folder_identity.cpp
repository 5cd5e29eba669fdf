// Comparing the places of folders inside their file systems.
#include "engine/fs/folder_identity.h"

#include <algorithm>

namespace twinfol {

bool IsWithin(const FolderPlace& inner, const FolderPlace& outer)
{
    // Both paths end with the separator, so a prefix is always one at a separator: /a/b/ is within
    // /a/, and /a/bc/ is not within /a/b/.
    return inner.deviceMajor == outer.deviceMajor && inner.deviceMinor == outer.deviceMinor &&
           inner.pathInFileSystem.starts_with(outer.pathInFileSystem);
}

bool TreeReaches(const FolderIdentity& folder, const FolderPlace& place)
{
    if (IsWithin(place, folder.place))
        return true;
    // A file system mounted below the folder reaches the place when either holds the other: a bind
    // mount of the place itself, of a folder above it, or of one of its sub-folders.
    return std::any_of(
        folder.mountedInside.begin(), folder.mountedInside.end(),
        [&](const FolderPlace& mounted) { return IsWithin(place, mounted) || IsWithin(mounted, place); });
}

} // namespace twinfol
