// Which disk holds a folder, named as the disk names itself (its file system's UUID, or its label when
// it has no UUID) rather than by where it happens to be mounted, and where that disk is mounted now.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/posix/posix_mount_table.h"

namespace twinfol {

struct DiskIdentity {
    std::string uuid;
    std::string label;

    bool IsKnown() const { return !uuid.empty() || !label.empty(); }
    // "UUID 1234-ABCD" or "label BACKUP", for messages.
    std::string Text() const { return uuid.empty() ? "label " + label : "UUID " + uuid; }
    // The UUID decides when there is one; a label only stands in for a file system without one.
    bool Matches(const DiskIdentity& other) const
    {
        return uuid.empty() ? other.uuid.empty() && !label.empty() && label == other.label
                            : uuid == other.uuid;
    }
};

// The file system's UUID and label on the block device, read from its superblock through libblkid
// or, where the process may not read the device (a desktop user's USB stick), as udev recorded them.
DiskIdentity IdentifyDevice(dev_t device);

// A folder on a disk: the disk, the folder's path from the file system's top ("/" for the top itself),
// and where the disk is mounted now.
struct DiskPlace {
    DiskIdentity disk;
    std::string below;
    std::string mountPoint;
};

struct DiskPlaceResult {
    std::optional<DiskPlace> place;
    // Why there is none: the folder cannot be opened, or it lies on the disk that holds "/", or its disk
    // names itself neither by UUID nor by label.
    std::string error;
};

// Where the folder lies when it is on another file system than the one that holds "/".
DiskPlaceResult PlaceOnOtherDisk(const std::string& folder);

// Where the path below a disk's top is now: the mount point of the first mount of that disk that shows
// the path, followed by the rest of the path; nothing when the disk is not mounted (or no mount of it
// shows that folder). The identity of each device is asked of `identify`, so that callers can cache it.
template <typename Identify>
std::optional<std::string> CurrentPlace(const std::vector<MountEntry>& mounts, const DiskIdentity& disk,
                                        const std::string& below, Identify&& identify);

// The path below a mount's root that a path below the file system's top reaches, or nothing when the
// mount does not show it: both paths start with "/".
std::optional<std::string> PathInsideMount(const std::string& mountRoot, const std::string& below);

template <typename Identify>
std::optional<std::string> CurrentPlace(const std::vector<MountEntry>& mounts, const DiskIdentity& disk,
                                        const std::string& below, Identify&& identify)
{
    for (const MountEntry& mount : mounts) {
        const std::optional<std::string> inside = PathInsideMount(mount.root, below);
        if (!inside || mount.deviceMajor == 0 || !disk.Matches(identify(mount)))
            continue;
        const std::string top = mount.mountPoint == "/" ? std::string() : mount.mountPoint;
        return *inside == "/" ? (top.empty() ? "/" : top) : top + *inside;
    }
    return std::nullopt;
}

} // namespace twinfol
