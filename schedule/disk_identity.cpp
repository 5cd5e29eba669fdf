// Naming a disk by its file system's UUID or label, through libblkid, which needs no udev.
#include "schedule/disk_identity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "base/unique_fd.h"
#include "engine/posix/block_device_probe.h"

namespace twinfol {
namespace {

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

DiskIdentity IdentifyDevice(dev_t device)
{
    const std::vector<std::string> values = BlockDeviceValues(device, {"UUID", "LABEL"});
    return {values[0], values[1]};
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
