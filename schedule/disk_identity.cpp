// Naming a disk by its file system's UUID or label, through libblkid, which needs no udev.
#include "schedule/disk_identity.h"

#include <blkid.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/bounded_read.h"
#include "base/unique_fd.h"

namespace twinfol {
namespace {

// A udev record is a few hundred bytes.
constexpr std::size_t udevRecordBytes = 64 * 1024;

std::string ProbedValue(blkid_probe probe, const char* name)
{
    const char* value = nullptr;
    if (blkid_probe_lookup_value(probe, name, &value, nullptr) != 0 || value == nullptr)
        return {};
    return value;
}

DiskIdentity ProbedIdentity(dev_t device)
{
    const std::unique_ptr<char, decltype(&std::free)> path(blkid_devno_to_devname(device), &std::free);
    if (!path)
        return {};
    const std::unique_ptr<blkid_struct_probe, decltype(&blkid_free_probe)> probe(
        blkid_new_probe_from_filename(path.get()), &blkid_free_probe);
    if (!probe)
        return {};
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_UUID | BLKID_SUBLKS_LABEL);
    if (blkid_do_safeprobe(probe.get()) != 0)
        return {};
    return {ProbedValue(probe.get(), "UUID"), ProbedValue(probe.get(), "LABEL")};
}

std::string RecordedValue(const std::string& record, std::string_view key)
{
    std::size_t at = record.find(key);
    while (at != std::string::npos && at != 0 && record[at - 1] != '\n')
        at = record.find(key, at + 1);
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + key.size();
    return record.substr(start, record.find('\n', start) - start);
}

// udev probes every block device as it appears and keeps what it found where anyone may read it.
DiskIdentity RecordedIdentity(dev_t device)
{
    const std::string path =
        "/run/udev/data/b" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string record;
    if (!file || ReadBounded(file.Get(), udevRecordBytes, record) != 0)
        return {};
    return {RecordedValue(record, "E:ID_FS_UUID="), RecordedValue(record, "E:ID_FS_LABEL=")};
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

DiskIdentity IdentifyDevice(dev_t device)
{
    DiskIdentity identity = ProbedIdentity(device);
    return identity.IsKnown() ? identity : RecordedIdentity(device);
}

std::optional<std::string> PathInsideMount(const std::string& mountRoot, const std::string& below)
{
    const std::string root = WithoutTrailingSlash(mountRoot);
    if (root == "/")
        return below;
    if (below == root)
        return std::string("/");
    if (below.size() > root.size() && below.starts_with(root) && below[root.size()] == '/')
        return below.substr(root.size());
    return std::nullopt;
}

DiskPlaceResult PlaceOnOtherDisk(const std::string& folder)
{
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(folder.c_str(), nullptr), &std::free);
    const UniqueFd opened(real ? open(real.get(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1);
    struct stat facts {};
    struct stat top {};
    if (!opened || fstat(opened.Get(), &facts) != 0 || stat("/", &top) != 0)
        return {std::nullopt, "the folder " + folder + " cannot be opened (" + std::strerror(errno) +
                                  "); plug in its disk before scheduling"};
    if (facts.st_dev == top.st_dev)
        return {std::nullopt, "the folder " + folder + " lies on the disk that holds /"};
    const std::optional<MountEntry> mount = MountOf(opened.Get());
    if (!mount)
        return {std::nullopt, "the mount that holds " + folder + " is not in /proc/self/mountinfo"};
    DiskPlace place;
    place.disk = IdentifyDevice(makedev(mount->deviceMajor, mount->deviceMinor));
    if (!place.disk.IsKnown())
        return {std::nullopt, "the disk that holds " + folder + " (mounted at " + mount->mountPoint + ", " +
                                  mount->fileSystemType + ") has neither a UUID nor a label"};
    place.mountPoint = mount->mountPoint;
    const std::string inside =
        std::string(real.get()).substr(mount->mountPoint == "/" ? 0 : mount->mountPoint.size());
    const std::string root = WithoutTrailingSlash(mount->root);
    place.below = root == "/" ? (inside.empty() ? "/" : inside) : root + inside;
    return {place, {}};
}

} // namespace twinfol
