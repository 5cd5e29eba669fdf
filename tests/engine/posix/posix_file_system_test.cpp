// What only the real layer does: the read/write fallback where the kernel refuses copy_file_range,
// the read-only rule against root, and modes under a default ACL.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/posix/posix_file_system.h"
#include "support/temp_tree.h"

namespace twinfol::test {
namespace {

// A folder in the shared-memory tmpfs: copies from there to a disk file system cross file-system
// types, which copy_file_range refuses with EXDEV.
class MemoryFolder {
public:
    MemoryFolder()
    {
        std::string pattern = "/dev/shm/twinfol-test-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr)
            root_ = pattern + "/";
    }
    ~MemoryFolder()
    {
        std::error_code error;
        if (!root_.empty())
            std::filesystem::remove_all(root_, error);
    }
    MemoryFolder(const MemoryFolder&) = delete;
    MemoryFolder& operator=(const MemoryFolder&) = delete;

    bool IsUsable() const { return !root_.empty(); }
    const std::string& Root() const { return root_; }

private:
    std::string root_;
};

long FileSystemType(const std::string& path)
{
    struct statfs info {};
    return statfs(path.c_str(), &info) == 0 ? static_cast<long>(info.f_type) : 0;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

TEST(PosixFileSystem, CopiesAcrossFileSystemTypesThroughReadAndWrite)
{
    MemoryFolder memory;
    TempTree tree;
    if (!memory.IsUsable() || FileSystemType(memory.Root()) == FileSystemType(tree.Root()))
        GTEST_SKIP() << "needs /dev/shm on a file system of another type than the temporary folder";

    std::string content(700 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 131 % 253);
    const std::string source = memory.Root() + "data.bin";
    std::ofstream(source, std::ios::binary) << content;
    const timespec times[2] = {{1234567, 5000}, {1234567, 5000}};
    ASSERT_EQ(utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
    ASSERT_EQ(chmod(source.c_str(), 0604), 0);
    tree.WriteFile("dst/data.bin", "old", 99);

    PosixFileSystem fs;
    ASSERT_TRUE(fs.CopyFile(source, tree.Path("dst/data.bin")));
    ASSERT_TRUE(fs.CopyFile(source, tree.Path("dst/added.bin")));

    EXPECT_EQ(tree.ReadFile("dst/data.bin"), content);
    EXPECT_EQ(tree.ReadFile("dst/added.bin"), content);
    EXPECT_EQ(tree.Modified("dst/data.bin"), 1234567);
    EXPECT_EQ(tree.Mode("dst/data.bin"), 0604u);

    // A failure part-way through the buffered copy leaves the old target as it was.
    tree.WriteFile("dst/data.bin", "old", 99);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const sighandler_t savedHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved;
    lowered.rlim_cur = 200 * 1024;
    setrlimit(RLIMIT_FSIZE, &lowered);
    const FsStatus failed = fs.CopyFile(source, tree.Path("dst/data.bin"));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, savedHandler);

    EXPECT_EQ(failed.Error(), EFBIG);
    EXPECT_EQ(tree.ReadFile("dst/data.bin"), "old");
    const std::map<std::string, std::string> expected = {
        {"dst/", ""}, {"dst/added.bin", content}, {"dst/data.bin", "old"}};
    EXPECT_EQ(tree.Snapshot(), expected);
    EXPECT_EQ(ReadAll(source), content);
}

TEST(PosixFileSystem, ReadOnlyFileIsProtectedEvenFromRoot)
{
    TempTree tree;
    tree.WriteFile("ro.txt", "keep");
    tree.SetMode("ro.txt", 0); // No permission bit at all: root could still write it.
    tree.WriteFile("new.txt", "new");
    PosixFileSystem fs;

    EXPECT_EQ(fs.CopyFile(tree.Path("new.txt"), tree.Path("ro.txt")).Error(), EACCES);
    EXPECT_EQ(fs.DeleteFile(tree.Path("ro.txt")).Error(), EACCES);
    tree.SetMode("ro.txt", 0644);
    EXPECT_EQ(tree.ReadFile("ro.txt"), "keep");
}

// A default ACL, not the umask, shapes what is created in its folder: here it would take every bit
// from group and others, so a tree copy must set each mode itself.
TEST(PosixFileSystem, TreeCopyKeepsModesUnderADefaultAcl)
{
    TempTree tree;
    tree.WriteFile("src/a.txt", "a", 2000);
    tree.WriteFile("src/sub/b.sh", "b", 2000);
    tree.SetMode("src/a.txt", 0644);
    tree.SetMode("src/sub/b.sh", 0755);
    tree.MakeFolder("dst");
    // The xattr form of "default:user::rwx,group::---,other::---".
    const unsigned char acl[] = {2,    0, 0, 0,                          // version
                                 0x01, 0, 7, 0, 0xff, 0xff, 0xff, 0xff,  // user::rwx
                                 0x04, 0, 0, 0, 0xff, 0xff, 0xff, 0xff,  // group::---
                                 0x20, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}; // other::---
    if (setxattr(tree.Path("dst").c_str(), "system.posix_acl_default", acl, sizeof acl, 0) != 0)
        GTEST_SKIP() << "no ACLs on the temporary folder's file system (errno " << errno << ")";

    PosixFileSystem fs;
    StopFlag stop{false};
    ASSERT_TRUE(fs.CopyFolderTree(tree.Path("src/"), tree.Path("dst/"), stop));
    EXPECT_EQ(tree.Mode("dst/a.txt"), 0644u);
    EXPECT_EQ(tree.Mode("dst/sub/b.sh"), 0755u);
    EXPECT_EQ(tree.ReadFile("dst/sub/b.sh"), "b");
}

// An attribute the target refuses for a reason of its own (ext4 holds about 4 KiB of attributes per
// inode; tmpfs holds more) fails the copy with that reason and leaves nothing behind; an attribute
// that fits arrives with the copy, also across file-system types.
TEST(PosixFileSystem, AnAttributeTheTargetCannotHoldFailsTheCopy)
{
    MemoryFolder memory;
    TempTree tree;
    if (!memory.IsUsable() || FileSystemType(memory.Root()) == FileSystemType(tree.Root()))
        GTEST_SKIP() << "needs /dev/shm on a file system of another type than the temporary folder";
    const std::string small = memory.Root() + "small";
    const std::string large = memory.Root() + "large";
    std::ofstream(small) << "s";
    std::ofstream(large) << "l";
    const std::string tag = "blue";
    const std::string big(16 * 1024, 'v');
    if (setxattr(small.c_str(), "user.tag", tag.data(), tag.size(), 0) != 0 ||
        setxattr(large.c_str(), "user.big", big.data(), big.size(), 0) != 0)
        GTEST_SKIP() << "no user attributes on /dev/shm (errno " << errno << ")";
    tree.MakeFolder("dst");

    PosixFileSystem fs;
    ASSERT_TRUE(fs.CopyFile(small, tree.Path("dst/small")));
    char value[16] = {};
    EXPECT_EQ(getxattr(tree.Path("dst/small").c_str(), "user.tag", value, sizeof value), 4);
    EXPECT_EQ(std::string(value), tag);
    const FsStatus failed = fs.CopyFile(large, tree.Path("dst/large"));
    EXPECT_FALSE(failed);
    EXPECT_TRUE(failed.Error() == ENOSPC || failed.Error() == E2BIG) << failed.Reason();
    const std::map<std::string, std::string> expected = {{"dst/", ""}, {"dst/small", "s"}};
    EXPECT_EQ(tree.Snapshot(), expected);
}

} // namespace
} // namespace twinfol::test
