// What the folder browser needs of the file system, kept apart from the widgets so that it can be
// tested and measured on its own: the sub-folders of a folder, whether a path exists, and whether a
// link to a folder leads back into its own ancestry. Every look at the disk goes through the
// file-system layer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/fs/file_system.h"

namespace twinfol {

enum class FolderEntryKind { Folder, LinkToFolder };

struct FolderEntry {
    std::string name;
    FolderEntryKind kind = FolderEntryKind::Folder;
};

// The sub-folders of a folder, hidden ones included, with symbolic links that point at folders.
// Sorted for display: letters compared without regard to case, then byte by byte. Files, broken
// links and links to files are left out. A folder that cannot be read has no sub-folders.
std::vector<FolderEntry> ListSubFolders(FileSystem& fileSystem, const std::string& folderPath);

// The absolute path as the disk spells it, without a trailing "/" ("/" for the root), when something
// (a folder, a file, a link) exists there; nothing otherwise. One trailing "/" is ignored. A
// component is taken as spelt when that leads on, and otherwise each name that differs from it only
// in case is tried, in byte order, until one has the rest of the path below it: with "data" and
// "Data/Work" side by side, "/DATA/work" is found as "/Data/Work".
std::optional<std::string> FindPathAsSpelt(FileSystem& fileSystem, const std::string& path);

// Whether FindPathAsSpelt finds the path.
bool FolderExists(FileSystem& fileSystem, const std::string& path);

// Whether the link resolves to "/", to one of the folders the path passes through, or to a folder
// above one of them: reading its children would lead back to where the person came from.
// A link that cannot be resolved counts as looping, since it leads nowhere useful.
bool IsLoopingFolderLink(FileSystem& fileSystem, const std::string& linkPath);

// The path as the browser hands it back: "/" for an empty path, otherwise ending in one "/".
std::string CompleteFolderPath(std::string path);

} // namespace twinfol
