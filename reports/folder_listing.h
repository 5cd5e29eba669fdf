// What the folder browser needs of the file system, kept apart from the widgets so that it can be
// tested and measured on its own: the sub-folders of a folder, whether a path exists, and whether a
// link to a folder leads back into its own ancestry. Every look at the disk goes through the
// file-system layer.
#pragma once

#include <string>
#include <vector>

#include "engine/file_system.h"

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

// Whether something (a folder, a file, a link) exists at the absolute path; one trailing "/" is
// ignored. A component not found as spelt is looked for without regard to case, as the browser's
// walk along a path matches its components, so "/home/ann/documents" exists when "Documents" does.
bool FolderExists(FileSystem& fileSystem, const std::string& path);

// Whether the link resolves to "/", to one of the folders the path passes through, or to a folder
// above one of them: reading its children would lead back to where the person came from.
// A link that cannot be resolved counts as looping, since it leads nowhere useful.
bool IsLoopingFolderLink(FileSystem& fileSystem, const std::string& linkPath);

// The path as the browser hands it back: "/" for an empty path, otherwise ending in one "/".
std::string CompleteFolderPath(std::string path);

} // namespace twinfol
