// Roots compared by their place inside their file systems: bind mounts that give one folder two
// unrelated paths, and file systems mounted below a root, are refused as overlapping roots.
#include <gtest/gtest.h>

#include "engine/posix/posix_file_system.h"
#include "engine/posix/posix_mount_table.h"
#include "engine/walk/sync_roots.h"
#include "support/temp_tree.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

class SyncRootsIdentityTest : public ::testing::Test {
protected:
    RootCheck Check(const std::string& source, const std::string& target)
    {
        return CheckRoots(fileSystem, tree.Path(source), tree.Path(target));
    }

    TempTree tree;
    PosixFileSystem fileSystem;
};

TEST_F(SyncRootsIdentityTest, RefusesRootsThatOverlapThroughABindMount)
{
    tree.WriteFile("data/photos/p1.jpg", "1");
    tree.WriteFile("t2/photos/p2.jpg", "2");
    tree.MakeFolder("backup");
    tree.MakeFolder("bound");
    tree.MakeFolder("s/inner");
    tree.MakeFolder("t");
    {
        // The backup folder shows the source's own photos.
        const TestMount backup = TestMount::Bind(tree.Path("data/photos"), tree.Path("backup"));
        if (!backup.IsMounted())
            GTEST_SKIP() << backup.Failure();
        const RootCheck check = Check("data", "backup");
        EXPECT_EQ(check.problem, RootProblem::TargetInsideSource);
        EXPECT_EQ(check.message, "The target folder lies inside the source folder: " + tree.Path("data") +
                                     " and " + tree.Path("backup"));
        EXPECT_EQ(Check("backup", "data").problem, RootProblem::SourceInsideTarget);
        EXPECT_EQ(Check("backup", "data/photos").problem, RootProblem::SameFolder);
    }
    {
        // The source is a bind mount of a folder inside the target.
        const TestMount bound = TestMount::Bind(tree.Path("t2/photos"), tree.Path("bound"));
        ASSERT_TRUE(bound.IsMounted()) << bound.Failure();
        EXPECT_EQ(Check("bound", "t2").problem, RootProblem::SourceInsideTarget);
    }
    {
        // The target is mounted inside the source, so a walk of the source would reach it.
        const TestMount inner = TestMount::Bind(tree.Path("t"), tree.Path("s/inner"));
        ASSERT_TRUE(inner.IsMounted()) << inner.Failure();
        EXPECT_EQ(Check("s", "t").problem, RootProblem::TargetInsideSource);
        EXPECT_EQ(Check("t", "s").problem, RootProblem::SourceInsideTarget);
    }
    // Once unmounted, the same folders are fine.
    EXPECT_TRUE(Check("data", "backup").IsOk());
    EXPECT_TRUE(Check("s", "t").IsOk());
}

TEST_F(SyncRootsIdentityTest, AFolderHasOnePlaceWhateverLinkReachesIt)
{
    tree.MakeFolder("real/sub");
    tree.MakeSymlink("via", tree.Path("real"));
    const FsResult<FolderIdentity> real = fileSystem.IdentifyFolder(tree.Path("real"));
    const FsResult<FolderIdentity> linked = fileSystem.IdentifyFolder(tree.Path("via/"));
    const FsResult<FolderIdentity> sub = fileSystem.IdentifyFolder(tree.Path("via/sub"));
    if (!real)
        GTEST_SKIP() << "the system tells no mount ids (kernel before 5.8, or no /proc)";
    ASSERT_TRUE(linked && sub);
    EXPECT_EQ(linked->place, real->place);
    EXPECT_TRUE(real->place.pathInFileSystem.ends_with("/real/"));
    EXPECT_TRUE(IsWithin(sub->place, real->place));
    EXPECT_FALSE(IsWithin(real->place, sub->place));
}

TEST(PosixMountTable, ReadsMountPointsWithBlanksAndSkipsWhatDoesNotParse)
{
    const std::vector<MountEntry> mounts =
        ParseMountTable("36 35 98:0 /mnt1 /mnt/parent\\040dir rw,noatime master:1 - ext3 /dev/root rw\n"
                        "garbage line\n"
                        "40 36 0:52 / /media/usb\\134x rw - vfat /dev/sdb1 rw\n");
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[0].id, 36u);
    EXPECT_EQ(mounts[0].deviceMajor, 98u);
    EXPECT_EQ(mounts[0].root, "/mnt1");
    EXPECT_EQ(mounts[0].mountPoint, "/mnt/parent dir");
    EXPECT_EQ(mounts[1].deviceMinor, 52u);
    EXPECT_EQ(mounts[1].mountPoint, "/media/usb\\x");
}

} // namespace
} // namespace twinfol::test
