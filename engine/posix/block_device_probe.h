// What a block device's superblock tells of its file system (type, UUID, label), read through
// libblkid, which needs no udev, or from udev's record where the process may not read the device.
#pragma once

#include <sys/types.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace twinfol {

// The values of the superblock's tags, named as libblkid names them ("TYPE", "UUID", "LABEL"), in
// the order asked. They are probed through libblkid; when none of them can be read that way (a
// desktop user's USB stick, which only root may read), as udev recorded them (ID_FS_TYPE and so
// on). A value neither can tell is empty.
std::vector<std::string> BlockDeviceValues(dev_t device, std::initializer_list<const char*> tags);

} // namespace twinfol
