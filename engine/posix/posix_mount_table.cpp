// Reading /proc/self/mountinfo and placing a folder inside its file system.
#include "engine/posix/posix_mount_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "base/bounded_read.h"
#include "base/path.h"
#include "base/unique_fd.h"

namespace twinfol {
namespace {

// Far beyond the mount table of any real system, and still a bounded read.
constexpr std::size_t mountTableBytes = 32 * 1024 * 1024;

std::string Unescaped(std::string_view field)
{
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto isOctal = [&](std::size_t at) {
            return at < field.size() && field[at] >= '0' && field[at] <= '7';
        };
        if (field[i] == '\\' && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                      (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

template <typename Number> bool ParseNumber(std::string_view text, Number& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::optional<MountEntry> ParseMountLine(std::string_view line)
{
    // id, parent id, major:minor, root, mount point; what follows is not needed.
    std::string_view fields[5];
    for (std::string_view& field : fields) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string_view::npos)
            return std::nullopt;
        line.remove_prefix(start);
        const std::size_t end = std::min(line.find(' '), line.size());
        field = line.substr(0, end);
        line.remove_prefix(end);
    }
    MountEntry entry;
    const std::size_t colon = fields[2].find(':');
    if (colon == std::string_view::npos || !ParseNumber(fields[0], entry.id) ||
        !ParseNumber(fields[2].substr(0, colon), entry.deviceMajor) ||
        !ParseNumber(fields[2].substr(colon + 1), entry.deviceMinor))
        return std::nullopt;
    entry.root = Unescaped(fields[3]);
    entry.mountPoint = Unescaped(fields[4]);
    return entry;
}

std::optional<std::string> PathOfDescriptor(int fd)
{
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::string path(4096, '\0');
    const ssize_t length = readlink(link, path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size() || path[0] != pathSeparator)
        return std::nullopt;
    path.resize(static_cast<std::size_t>(length));
    return path;
}

// The part of an absolute path below a mount point, without a leading separator; nothing when the
// path does not lie there.
std::optional<std::string> BelowMountPoint(const std::string& path, const std::string& mountPoint)
{
    const std::string prefix = WithTrailingSeparator(mountPoint);
    if (path == mountPoint)
        return std::string();
    if (!path.starts_with(prefix))
        return std::nullopt;
    return path.substr(prefix.size());
}

FolderPlace PlaceOf(const MountEntry& mount, const std::string& below)
{
    std::string path = WithTrailingSeparator(mount.root);
    path += below;
    return {mount.deviceMajor, mount.deviceMinor, WithTrailingSeparator(std::move(path))};
}

} // namespace

std::vector<MountEntry> ParseMountTable(std::string_view text)
{
    std::vector<MountEntry> mounts;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        if (std::optional<MountEntry> entry = ParseMountLine(text.substr(0, end)))
            mounts.push_back(std::move(*entry));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return mounts;
}

std::optional<std::uint64_t> MountIdOf(int fd)
{
    struct statx info {};
    if (statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &info) != 0 ||
        (info.stx_mask & STATX_MNT_ID) == 0)
        return std::nullopt;
    return info.stx_mnt_id;
}

std::optional<FolderIdentity> IdentifyOpenFolder(int folderFd)
{
    const std::optional<std::uint64_t> mountId = MountIdOf(folderFd);
    const std::optional<std::string> path = PathOfDescriptor(folderFd);
    const UniqueFd table(open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
    std::string text;
    if (!mountId || !path || !table || ReadBounded(table.Get(), mountTableBytes, text) != 0)
        return std::nullopt;
    const std::vector<MountEntry> mounts = ParseMountTable(text);
    const auto own = std::find_if(mounts.begin(), mounts.end(),
                                  [&](const MountEntry& mount) { return mount.id == *mountId; });
    if (own == mounts.end())
        return std::nullopt;
    const std::optional<std::string> below = BelowMountPoint(*path, own->mountPoint);
    if (!below)
        return std::nullopt;
    FolderIdentity identity{PlaceOf(*own, *below), {}};
    for (const MountEntry& mount : mounts) {
        const std::optional<std::string> mountBelow = BelowMountPoint(mount.mountPoint, *path);
        // A mount at the folder's own path is the folder's mount or one hidden beneath it.
        if (mountBelow && !mountBelow->empty())
            identity.mountedInside.push_back(PlaceOf(mount, {}));
    }
    return identity;
}

} // namespace twinfol
