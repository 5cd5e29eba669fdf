// The mounts this process sees (/proc/self/mountinfo) and what they tell about a folder: which mount
// holds it, where it lies inside its file system, and what is mounted below it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/fs/folder_identity.h"
#include "engine/fs/fs_result.h"

namespace twinfol {

struct MountEntry {
    std::uint64_t id = 0;
    std::uint32_t deviceMajor = 0;
    std::uint32_t deviceMinor = 0;
    // The folder of the file system that the mount shows, from the file system's own top.
    std::string root;
    // Where the mount is seen, as an absolute path of this process.
    std::string mountPoint;
    std::string fileSystemType;
    // For an overlay: the folders it shows (lower, upper and data-only layers), as the mount named
    // them, in the mounting process's view.
    std::vector<std::string> layers;
};

// The mounts of a mountinfo text, with the kernel's octal escapes (\040 for a blank) undone, and of an
// overlay the layers its options name (a list of lower folders is split at each colon that no
// backslash escapes). Lines that do not parse are left out.
std::vector<MountEntry> ParseMountTable(std::string_view text);

// The id of the mount that holds the open file (statx's STATX_MNT_ID); nothing on kernels before 5.8.
std::optional<std::uint64_t> MountIdOf(int fd);

// The mount that holds the open file or folder: by its mount id, or on kernels before 5.8 by its
// device (the last mount of that device, the one on top). Nothing when the table cannot be read or
// does not hold it.
std::optional<MountEntry> MountOf(int fd);

// The identity of an open folder. The folders an overlay shows count as mounted where it is mounted, so
// an overlay below the folder whose layer holds or lies inside another folder reaches it, as a bind
// mount would. A failure, with the reason, when /proc or the mount id is not available, or when an
// overlay below the folder names a layer that cannot be found.
FsResult<FolderIdentity> IdentifyOpenFolder(int folderFd);

} // namespace twinfol
