// Reading the umask and a folder's default ACL.
#include "engine/posix/posix_creation_mode.h"

#include <fcntl.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/bounded_read.h"
#include "base/unique_fd.h"

namespace twinfol {
namespace {

// /proc/self/status is a few kilobytes.
constexpr std::size_t statusFileBytes = 64 * 1024;

} // namespace

std::optional<mode_t> ReadUmask()
{
    const UniqueFd status(open("/proc/self/status", O_RDONLY | O_CLOEXEC));
    std::string text;
    if (!status || ReadBounded(status.Get(), statusFileBytes, text) != 0)
        return std::nullopt;
    constexpr std::string_view key = "\nUmask:";
    const std::size_t found = text.find(key);
    if (found == std::string::npos)
        return std::nullopt;
    const char* digits = text.c_str() + found + key.size();
    char* end = nullptr;
    const unsigned long value = std::strtoul(digits, &end, 8);
    if (end == digits || value > 0777)
        return std::nullopt;
    return static_cast<mode_t>(value);
}

bool HasDefaultAcl(int folderFd)
{
    if (fgetxattr(folderFd, "system.posix_acl_default", nullptr, 0) >= 0)
        return true;
    return errno != ENODATA && errno != EOPNOTSUPP;
}

bool NeedsModeChange(const struct stat& sourceInfo, std::optional<mode_t> createMask)
{
    const mode_t wanted = sourceInfo.st_mode & 07777;
    // Set-ID and sticky bits are never asked of a create; they are set once the data is written.
    return !createMask || (wanted & 07000) != 0 || (wanted & *createMask) != 0;
}

mode_t CopyModeFor(const struct stat& sourceInfo, uid_t copyOwner, gid_t copyGroup)
{
    const mode_t mode = sourceInfo.st_mode & 07777;
    if (sourceInfo.st_uid == copyOwner && sourceInfo.st_gid == copyGroup)
        return mode;
    return mode & ~mode_t{S_ISUID | S_ISGID};
}

} // namespace twinfol
