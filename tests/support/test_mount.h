// Real mounts for tests that need them (bind mounts, tmpfs, file-system images through a loop device
// or FUSE), unmounted when the object goes, also when the test fails. Mounting needs root: a test
// skips with the helper's message when it could not mount.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "support/loopback_sshd.h"

namespace twinfol::test {

class TestMount {
public:
    // Shows the folder (or file) `from` at `at` as well.
    static TestMount Bind(const std::string& from, const std::string& at);
    // An overlay at `at` with the options as given (lowerdir=..., upperdir=..., workdir=...); relative
    // folders in them are taken from the working directory.
    static TestMount Overlay(const std::string& options, const std::string& at);
    // A fresh tmpfs of the given size at `at`.
    static TestMount Tmpfs(const std::string& at, std::size_t bytes);
    // A new ext4 of the given size in the image file, made with the extra mkfs.ext4 options (for
    // example "-I 128" for inodes whose stamps end in 2038) and mounted at `at` through a loop device.
    static TestMount Ext4Image(const std::string& image, std::size_t bytes, const std::string& mkfsOptions,
                               const std::string& at);
    // The ext4 image made before, mounted (again) at `at` through a loop device.
    static TestMount Ext4ImageAgain(const std::string& image, const std::string& at);
    // A new file system of the type ("btrfs", "xfs") in a sparse image file of the given size, made with
    // mkfs.TYPE and mounted at `at` through a loop device.
    static TestMount DiskImage(const std::string& type, const std::string& image, std::size_t bytes,
                               const std::string& at);
    // A new FAT file system in the image file (FAT32 from 34 MiB), mounted at `at` through fusefat.
    static TestMount FatImage(const std::string& image, std::size_t bytes, const std::string& at);
    // A new exFAT file system in the image file, mounted at `at` through exfat-fuse on a loop device
    // (freed again when the mount goes).
    static TestMount ExfatImage(const std::string& image, std::size_t bytes, const std::string& at);

    // The folder `backing` at `at` through rclone's FUSE mount of its local back end, its write cache
    // in `cacheFolder`, as a person mounts cloud storage: rclone runs in the background until the
    // mount goes.
    static TestMount Rclone(const std::string& backing, const std::string& cacheFolder,
                            const std::string& at);
    // The server's folder `remote` at `at` through sshfs.
    static TestMount Sshfs(const LoopbackSshd& server, const std::string& remote, const std::string& at);

    TestMount(TestMount&& other) noexcept;
    TestMount& operator=(TestMount&&) = delete;
    TestMount(const TestMount&) = delete;
    TestMount& operator=(const TestMount&) = delete;
    // Unmounts, lazily when the mount is still busy, and waits for a FUSE server the mount started.
    ~TestMount();

    bool IsMounted() const { return !at_.empty(); }
    // Why nothing was mounted: for GTEST_SKIP.
    const std::string& Failure() const { return failure_; }

private:
    TestMount() = default;
    static TestMount Failed(std::string why);

    std::string at_;
    std::string failure_;
    // A FUSE server that runs in the foreground, waited for once it is unmounted.
    pid_t server_ = -1;
};

} // namespace twinfol::test
