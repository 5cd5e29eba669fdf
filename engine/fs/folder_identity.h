// Where a folder lies inside its file system, whatever path, symbolic link or mount reaches it: the
// file system's device and the folder's path from the file system's own top. A bind mount gives one
// folder two unrelated paths; its place inside the file system stays one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace twinfol {

struct FolderPlace {
    std::uint32_t deviceMajor = 0;
    std::uint32_t deviceMinor = 0;
    // The path from the top of the file system, starting and ending with the separator.
    std::string pathInFileSystem;

    friend bool operator==(const FolderPlace&, const FolderPlace&) = default;
};

struct FolderIdentity {
    FolderPlace place;
    // The places of the file systems mounted somewhere below the folder: a walk of the folder enters
    // them, so they belong to its tree as much as its own sub-folders do.
    std::vector<FolderPlace> mountedInside;
};

// Whether inner is the same folder as outer or lies somewhere inside it.
bool IsWithin(const FolderPlace& inner, const FolderPlace& outer);

// Whether the tree of a folder reaches into the other place: the place is inside the folder or inside
// one of the file systems mounted below it. Same folder included.
bool TreeReaches(const FolderIdentity& folder, const FolderPlace& place);

} // namespace twinfol
