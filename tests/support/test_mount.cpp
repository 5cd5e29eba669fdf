// Mounting with mount(2) where the kernel does it alone, and with the system's tools for images.
#include "support/test_mount.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
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

// Whether the mount table shows a mount of the type at the folder (given without a trailing separator).
bool ShowsMount(const std::string& at, const std::string& type)
{
    std::ifstream table("/proc/self/mountinfo");
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string field;
        std::string mountPoint;
        for (int index = 0; index < 5 && fields >> field; ++index)
            mountPoint = field;
        while (fields >> field && field != "-") {
        }
        if (mountPoint == at && fields >> field && field == type)
            return true;
    }
    return false;
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
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
    return Ext4ImageAgain(image, at);
}

TestMount TestMount::Ext4ImageAgain(const std::string& image, const std::string& at)
{
    if (geteuid() != 0)
        return Failed("needs root to mount an ext4 image");
    if (!RunQuietly("mount -o loop " + Quoted(image) + " " + Quoted(at)))
        return Failed("could not mount the ext4 image through a loop device");
    TestMount made;
    made.at_ = at;
    return made;
}

TestMount TestMount::DiskImage(const std::string& type, const std::string& image, std::size_t bytes,
                               const std::string& at)
{
    if (geteuid() != 0)
        return Failed("needs root to mount a " + type + " image");
    const std::string mkfs = "mkfs." + type;
    if (!RunQuietly("command -v " + mkfs))
        return Failed("needs " + mkfs + " (apt-get install btrfs-progs xfsprogs)");
    // Both tools write over an image without asking only when told to.
    if (!MakeImageFile(image, bytes) || !RunQuietly(mkfs + " -q -f " + Quoted(image)))
        return Failed("could not make a " + type + " image of " + std::to_string(bytes >> 20) + " MiB");
    if (!RunQuietly("mount -o loop -t " + type + " " + Quoted(image) + " " + Quoted(at)))
        return Failed("could not mount the " + type + " image through a loop device (no " + type +
                      " in this kernel?)");
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

TestMount TestMount::Rclone(const std::string& backing, const std::string& cacheFolder, const std::string& at)
{
    if (geteuid() != 0)
        return Failed("needs root to mount through rclone");
    if (!RunQuietly("command -v rclone"))
        return Failed("needs rclone (apt-get install rclone)");
    if (access("/dev/fuse", R_OK | W_OK) != 0)
        return Failed("needs /dev/fuse to mount through rclone");
    TestMount made;
    made.server_ = fork();
    if (made.server_ == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execlp("rclone", "rclone", "mount", backing.c_str(), at.c_str(), "--vfs-cache-mode", "writes",
               "--cache-dir", cacheFolder.c_str(), "--config", "/dev/null", nullptr);
        _exit(127);
    }
    const std::string mountPoint = WithoutTrailingSlash(at);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ShowsMount(mountPoint, "fuse.rclone")) {
        const bool ended = made.server_ < 0 || waitpid(made.server_, nullptr, WNOHANG) != 0;
        if (ended || std::chrono::steady_clock::now() > until) {
            if (!ended && kill(made.server_, SIGTERM) == 0)
                waitpid(made.server_, nullptr, 0);
            made.server_ = -1;
            return Failed("rclone did not mount the folder");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    made.at_ = at;
    return made;
}

TestMount TestMount::Sshfs(const LoopbackSshd& server, const std::string& remote, const std::string& at)
{
    if (!server.IsRunning())
        return Failed(server.Failure());
    if (!RunQuietly("command -v sshfs"))
        return Failed("needs sshfs (apt-get install sshfs)");
    if (access("/dev/fuse", R_OK | W_OK) != 0)
        return Failed("needs /dev/fuse to mount through sshfs");
    const std::string command =
        "sshfs -F /dev/null -p " + std::to_string(server.Port()) +
        " -o IdentityFile=" + Quoted(server.UserKey()) +
        " -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o BatchMode=yes " +
        Quoted(server.RemoteFolder(remote)) + " " + Quoted(at);
    if (!RunQuietly(command))
        return Failed("could not mount the loopback server's folder through sshfs");
    TestMount made;
    made.at_ = at;
    return made;
}

TestMount::TestMount(TestMount&& other) noexcept
    : at_(std::exchange(other.at_, {})), failure_(std::move(other.failure_)),
      server_(std::exchange(other.server_, -1))
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
    // The server ends once its mount is gone; one still held up is told to.
    if (server_ > 0) {
        bool ended = false;
        for (int wait = 0; wait < 500 && !(ended = waitpid(server_, nullptr, WNOHANG) != 0); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!ended && kill(server_, SIGTERM) == 0)
            waitpid(server_, nullptr, 0);
    }
}

} // namespace twinfol::test
