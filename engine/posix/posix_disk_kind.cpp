// Reading a disk's kind from the mount table and, for FUSE block mounts, from the device itself.
#include "engine/posix/posix_disk_kind.h"

#include <blkid.h>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>

#include "base/bounded_read.h"
#include "base/unique_fd.h"
#include "engine/posix/posix_mount_table.h"

namespace twinfol {
namespace {

// A udev record is a few hundred bytes.
constexpr std::size_t udevRecordBytes = 64 * 1024;

std::string ProbedType(dev_t device)
{
    const std::unique_ptr<char, decltype(&std::free)> path(blkid_devno_to_devname(device), &std::free);
    if (!path)
        return {};
    const std::unique_ptr<blkid_struct_probe, decltype(&blkid_free_probe)> probe(
        blkid_new_probe_from_filename(path.get()), &blkid_free_probe);
    if (!probe)
        return {};
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_TYPE);
    const char* type = nullptr;
    if (blkid_do_safeprobe(probe.get()) != 0 ||
        blkid_probe_lookup_value(probe.get(), "TYPE", &type, nullptr) != 0 || type == nullptr)
        return {};
    return type;
}

// udev probes every block device as it appears and keeps what it found where anyone may read it.
std::string RecordedType(dev_t device)
{
    const std::string record =
        "/run/udev/data/b" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    const UniqueFd file(open(record.c_str(), O_RDONLY | O_CLOEXEC));
    std::string text;
    if (!file || ReadBounded(file.Get(), udevRecordBytes, text) != 0)
        return {};
    constexpr std::string_view key = "E:ID_FS_TYPE=";
    const std::size_t at = text.find(key);
    if (at == std::string::npos || (at != 0 && text[at - 1] != '\n'))
        return {};
    const std::size_t start = at + key.size();
    return text.substr(start, text.find('\n', start) - start);
}

} // namespace

std::string BlockDeviceType(dev_t device)
{
    std::string type = ProbedType(device);
    return type.empty() ? RecordedType(device) : type;
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
