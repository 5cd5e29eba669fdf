// Reading a disk's kind from the mount table and, for FUSE block mounts, from the device itself.
#include "engine/posix/posix_disk_kind.h"

#include <sys/sysmacros.h>

#include <optional>

#include "engine/posix/block_device_probe.h"
#include "engine/posix/posix_mount_table.h"

namespace twinfol {

std::string BlockDeviceType(dev_t device)
{
    return BlockDeviceValues(device, {"TYPE"}).front();
}

DiskKind DiskKindOfOpenFolder(int folderFd)
{
    const std::optional<MountEntry> mount = MountOf(folderFd);
    if (!mount)
        return {};
    // A FUSE block mount is a disk's driver in user space; only the disk can say which.
    if (mount->fileSystemType == "fuseblk")
        return DiskKindOfType(BlockDeviceType(makedev(mount->deviceMajor, mount->deviceMinor)));
    return DiskKindOfType(mount->fileSystemType);
}

} // namespace twinfol
