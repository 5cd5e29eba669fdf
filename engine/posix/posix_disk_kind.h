// What kind of disk a folder lies on, as the system tells it: the mount table's type, and for a FUSE
// block mount, which names no file system, the type the device's superblock shows.
#pragma once

#include <sys/types.h>

#include <string>

#include "engine/fs/disk_kind.h"

namespace twinfol {

// The type a block device's superblock shows ("exfat", "ntfs", "vfat"), probed through libblkid, or,
// where the process may not read the device (a desktop user's USB stick), as udev recorded it. Empty
// when neither can tell.
std::string BlockDeviceType(dev_t device);

// The kind of disk that holds the open folder; a plain local disk when the mount table cannot tell.
DiskKind DiskKindOfOpenFolder(int folderFd);

} // namespace twinfol
