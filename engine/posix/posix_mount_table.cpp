// Reading /proc/self/mountinfo and placing a folder inside its file system.
#include "engine/posix/posix_mount_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>

#include "base/bounded_read.h"
#include "base/path.h"
#include "base/unique_fd.h"

namespace twinfol {
namespace {

// Far beyond the mount table of any real system, and still a bounded read.
constexpr std::size_t mountTableBytes = 32 * 1024 * 1024;

// Why a folder's place cannot be told.
constexpr const char* noMountIdReason = "the system tells no mount ids (a kernel before 5.8)";
constexpr const char* noProcReason = "the mount table cannot be read: is /proc mounted?";
constexpr const char* unknownMountReason = "the folder's mount is not in the mount table";
constexpr const char* unknownLayerReason = "an overlay mounted below it shows a folder that cannot be found";

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

// A value with backslash escapes (as overlayfs reads its folder options): a backslash takes the next
// character as it is. With a separator, the value is a list split at each unescaped separator, and
// empty items (the "::" ahead of data-only layers) are left out.
std::vector<std::string> SplitEscaped(std::string_view value, std::optional<char> separator)
{
    std::vector<std::string> items(1);
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size())
            items.back() += value[++i];
        else if (separator && value[i] == *separator)
            items.emplace_back();
        else
            items.back() += value[i];
    }
    std::erase_if(items, [](const std::string& item) { return item.empty(); });
    return items;
}

// The folders an overlay's options name. A comma inside a folder's name is shown escaped (\054), so
// the options split at every comma.
std::vector<std::string> OverlayLayers(std::string_view options)
{
    std::vector<std::string> layers;
    while (!options.empty()) {
        const std::size_t end = std::min(options.find(','), options.size());
        const std::string_view option = options.substr(0, end);
        options.remove_prefix(std::min(end + 1, options.size()));
        const std::size_t equals = option.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = option.substr(0, equals);
        const std::string value = Unescaped(option.substr(equals + 1));
        std::vector<std::string> named;
        if (key == "lowerdir")
            named = SplitEscaped(value, ':');
        else if (key == "upperdir")
            named = SplitEscaped(value, std::nullopt);
        else if (key == "lowerdir+" || key == "datadir+")
            named = {value};
        layers.insert(layers.end(), named.begin(), named.end());
    }
    return layers;
}

// The next field of a line separated by blanks; empty at the line's end.
std::string_view NextField(std::string_view& line)
{
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos)
        return {};
    line.remove_prefix(start);
    const std::size_t end = std::min(line.find(' '), line.size());
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(end);
    return field;
}

std::optional<MountEntry> ParseMountLine(std::string_view line)
{
    // id, parent id, major:minor, root, mount point, then options and optional fields up to a lone
    // "-", then the file system's type, its source and its own options.
    std::string_view fields[5];
    for (std::string_view& field : fields)
        if ((field = NextField(line)).empty())
            return std::nullopt;
    MountEntry entry;
    const std::size_t colon = fields[2].find(':');
    if (colon == std::string_view::npos || !ParseNumber(fields[0], entry.id) ||
        !ParseNumber(fields[2].substr(0, colon), entry.deviceMajor) ||
        !ParseNumber(fields[2].substr(colon + 1), entry.deviceMinor))
        return std::nullopt;
    entry.root = Unescaped(fields[3]);
    entry.mountPoint = Unescaped(fields[4]);
    for (std::string_view field = NextField(line); !field.empty(); field = NextField(line)) {
        if (field != "-")
            continue;
        entry.fileSystemType = Unescaped(NextField(line));
        NextField(line);
        if (entry.fileSystemType == "overlay")
            entry.layers = OverlayLayers(NextField(line));
        break;
    }
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

// Where an absolute path of this process leads (links followed), as a place inside its file system;
// nothing when it cannot be opened as a folder or its mount is not in the table.
std::optional<FolderPlace> PlaceOfPath(const std::string& folder, const std::vector<MountEntry>& mounts)
{
    if (!folder.starts_with(pathSeparator))
        return std::nullopt;
    const UniqueFd opened(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const std::optional<std::uint64_t> mountId = opened ? MountIdOf(opened.Get()) : std::nullopt;
    const std::optional<std::string> path = opened ? PathOfDescriptor(opened.Get()) : std::nullopt;
    if (!mountId || !path)
        return std::nullopt;
    for (const MountEntry& mount : mounts)
        if (mount.id == *mountId)
            if (const std::optional<std::string> below = BelowMountPoint(*path, mount.mountPoint))
                return PlaceOf(mount, *below);
    return std::nullopt;
}

// Adds the places an overlay's folder (its path inside the overlay, starting and ending with the
// separator) shows of each layer; false when a layer cannot be placed.
bool AddShownLayers(const MountEntry& overlay, const std::string& pathInOverlay,
                    const std::vector<MountEntry>& mounts, std::vector<FolderPlace>& shown)
{
    bool allPlaced = true;
    for (const std::string& layer : overlay.layers) {
        std::optional<FolderPlace> place = PlaceOfPath(layer, mounts);
        if (!place) {
            allPlaced = false;
            continue;
        }
        place->pathInFileSystem += pathInOverlay.substr(1);
        shown.push_back(std::move(*place));
    }
    return allPlaced;
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

std::optional<MountEntry> MountOf(int fd)
{
    const UniqueFd table(open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
    std::string text;
    struct stat info {};
    if (!table || ReadBounded(table.Get(), mountTableBytes, text) != 0 || fstat(fd, &info) != 0)
        return std::nullopt;
    const std::optional<std::uint64_t> mountId = MountIdOf(fd);
    std::optional<MountEntry> found;
    for (MountEntry& mount : ParseMountTable(text)) {
        const bool holds =
            mountId ? mount.id == *mountId
                    : mount.deviceMajor == major(info.st_dev) && mount.deviceMinor == minor(info.st_dev);
        if (holds)
            found = std::move(mount);
    }
    return found;
}

FsResult<FolderIdentity> IdentifyOpenFolder(int folderFd)
{
    const std::optional<std::uint64_t> mountId = MountIdOf(folderFd);
    if (!mountId)
        return FsStatus::Refusal(EOPNOTSUPP, noMountIdReason);
    const std::optional<std::string> path = PathOfDescriptor(folderFd);
    const UniqueFd table(open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
    std::string text;
    if (!path || !table || ReadBounded(table.Get(), mountTableBytes, text) != 0)
        return FsStatus::Refusal(ENOENT, noProcReason);
    const std::vector<MountEntry> mounts = ParseMountTable(text);
    const auto own = std::find_if(mounts.begin(), mounts.end(),
                                  [&](const MountEntry& mount) { return mount.id == *mountId; });
    const std::optional<std::string> below =
        own == mounts.end() ? std::nullopt : BelowMountPoint(*path, own->mountPoint);
    if (!below)
        return FsStatus::Refusal(ENOENT, unknownMountReason);
    FolderIdentity identity{PlaceOf(*own, *below), {}};
    // An overlay that holds the folder itself: a container's own root usually names layers this
    // process cannot see, which then show nothing of its folders.
    AddShownLayers(*own, identity.place.pathInFileSystem, mounts, identity.mountedInside);
    for (const MountEntry& mount : mounts) {
        const std::optional<std::string> mountBelow = BelowMountPoint(mount.mountPoint, *path);
        // A mount at the folder's own path is the folder's mount or one hidden beneath it.
        if (!mountBelow || mountBelow->empty())
            continue;
        identity.mountedInside.push_back(PlaceOf(mount, {}));
        // Below the folder, a layer that cannot be found may be the other root.
        if (!AddShownLayers(mount, WithTrailingSeparator(mount.root), mounts, identity.mountedInside))
            return FsStatus::Refusal(ENOENT, unknownLayerReason);
    }
    return identity;
}

} // namespace twinfol
