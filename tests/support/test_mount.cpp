// Mounting with mount(2) where the kernel does it alone, and with the system's tools for images.
#include "support/test_mount.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace twinfol::test {
namespace {

// Runs a shell command quietly; true when it succeeded.
bool RunQuietly(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool MakeImageFile(const std::string& image, std::size_t bytes)
{
    const int fd = open(image.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool sized = ftruncate(fd, static_cast<off_t>(bytes)) == 0;
    close(fd);
    return sized;
}

} // namespace

TestMount TestMount::Failed(std::string why)
{
    TestMount mount;
    mount.failure_ = std::move(why);
    return mount;
}

TestMount TestMount::Bind(const std::string& from, const std::string& at)
{
    if (geteuid() != 0)
        return Failed("needs root to bind-mount " + from);
    if (mount(from.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return Failed("could not bind-mount " + from + ": " + std::strerror(errno));
    TestMount made;
    made.at_ = at;
    return made;
}

TestMount TestMount::Overlay(const std::string& options, const std::string& at)
{
    if (geteuid() != 0)
        return Failed("needs root to mount an overlay");
    if (mount("twinfol-overlay", at.c_str(), "overlay", 0, options.c_str()) != 0)
        return Failed(std::string("could not mount an overlay: ") + std::strerror(errno));
    TestMount made;
    made.at_ = at;
    return made;
}

TestMount TestMount::Tmpfs(const std::string& at, std::size_t bytes)
{
    if (geteuid() != 0)
        return Failed("needs root to mount a tmpfs");
    const std::string options = "size=" + std::to_string(bytes);
    if (mount("twinfol-test", at.c_str(), "tmpfs", 0, options.c_str()) != 0)
        return Failed(std::string("could not mount a tmpfs: ") + std::strerror(errno));
    TestMount made;
    made.at_ = at;
    return made;
}

TestMount TestMount::Ext4Image(const std::string& image, std::size_t bytes, const std::string& mkfsOptions,
                               const std::string& at)
{
    if (geteuid() != 0)
        return Failed("needs root to mount an ext4 image");
    if (!MakeImageFile(image, bytes) || !RunQuietly("mkfs.ext4 -q -F " + mkfsOptions + " " + Quoted(image)))
        return Failed("could not make an ext4 image (is mkfs.ext4 installed?)");
    if (!RunQuietly("mount -o loop " + Quoted(image) + " " + Quoted(at)))
        return Failed("could not mount the ext4 image through a loop device");
    TestMount made;
    made.at_ = at;
    return made;
}

TestMount TestMount::FatImage(const std::string& image, std::size_t bytes, const std::string& at)
{
    if (geteuid() != 0)
        return Failed("needs root to mount a FAT image");
    if (!RunQuietly("command -v fusefat && command -v mkfs.fat"))
        return Failed("needs fusefat and mkfs.fat (apt-get install fusefat dosfstools)");
    // FAT32 from the smallest size it allows; FAT12 or FAT16 below that.
    const std::string fatSize = bytes >= (34u << 20) ? "-F 32 " : "";
    if (!RunQuietly("mkfs.fat " + fatSize + "-C " + Quoted(image) + " " + std::to_string(bytes / 1024)) ||
        !RunQuietly("fusefat -o rw+ " + Quoted(image) + " " + Quoted(at)))
        return Failed("could not make and mount a FAT image through fusefat");
    TestMount made;
    made.at_ = at;
    return made;
}

TestMount TestMount::ExfatImage(const std::string& image, std::size_t bytes, const std::string& at)
{
    if (geteuid() != 0)
        return Failed("needs root to mount an exFAT image");
    if (!RunQuietly("command -v mount.exfat-fuse && command -v mkfs.exfat"))
        return Failed("needs exfat-fuse and mkfs.exfat (apt-get install exfat-fuse exfatprogs)");
    if (access("/dev/fuse", R_OK | W_OK) != 0)
        return Failed("needs /dev/fuse to mount an exFAT image through exfat-fuse");
    if (!MakeImageFile(image, bytes) || !RunQuietly("mkfs.exfat " + Quoted(image)))
        return Failed("could not make an exFAT image (is mkfs.exfat installed?)");
    // exfat-fuse wants a block device; a loop device set up by mount itself is freed with the mount.
    if (!RunQuietly("mount -o loop -t exfat-fuse " + Quoted(image) + " " + Quoted(at)))
        return Failed("could not mount the exFAT image through exfat-fuse on a loop device");
    TestMount made;
    made.at_ = at;
    return made;
}

TestMount::TestMount(TestMount&& other) noexcept
    : at_(std::exchange(other.at_, {})), failure_(std::move(other.failure_))
{
}

TestMount::~TestMount()
{
    if (at_.empty())
        return;
    // A tree removed while still mounted would lose what the mount shows, so a busy mount is
    // detached rather than left in place.
    if (umount2(at_.c_str(), 0) != 0)
        umount2(at_.c_str(), MNT_DETACH);
}

} // namespace twinfol::test
