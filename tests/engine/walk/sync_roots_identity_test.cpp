// Roots compared by their place inside their file systems: bind mounts that give one folder two
// unrelated paths, file systems mounted below a root, and overlays that show the other root are
// refused as overlapping roots; roots whose places cannot be read are refused as well.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "engine/posix/posix_file_system.h"
#include "engine/posix/posix_mount_table.h"
#include "engine/walk/sync_roots.h"
#include "support/fault_injecting_file_system.h"
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

TEST_F(SyncRootsIdentityTest, RefusesRootsWhosePlacesCannotBeRead)
{
    tree.MakeFolder("s");
    tree.MakeFolder("t");
    FaultInjectingFileSystem faults(fileSystem);
    faults.FailPath(tree.Path("t/"), ENOENT, FsOperation::Identify);
    RootCheck check = CheckRoots(faults, tree.Path("s"), tree.Path("t"));
    EXPECT_EQ(check.problem, RootProblem::OverlapUnknown);
    EXPECT_EQ(check.message, "Whether the source and target folders overlap cannot be told (" +
                                 FsStatus::Failure(ENOENT).Reason() + "): " + tree.Path("s") + " and " +
                                 tree.Path("t"));
    faults.ClearFaults();
    faults.FailPath(tree.Path("s/"), EOPNOTSUPP, FsOperation::Identify);
    EXPECT_EQ(CheckRoots(faults, tree.Path("s"), tree.Path("t")).problem, RootProblem::OverlapUnknown);
    // Roots that their paths already show apart need no places.
    EXPECT_EQ(CheckRoots(faults, tree.Path("s"), tree.Path("s/")).problem, RootProblem::SameFolder);
    faults.ClearFaults();
    EXPECT_TRUE(CheckRoots(faults, tree.Path("s"), tree.Path("t")).IsOk());
}

TEST_F(SyncRootsIdentityTest, TheRunnerRefusesARunWhereProcIsNotMounted)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer build's runner reads /proc itself before it starts";
#endif
    tree.WriteFile("s/new.txt", "new");
    tree.WriteFile("t/keep.txt", "keep");
    tree.MakeFolder("s/inner");
    // The target shows inside the source, which only the mount table tells.
    const TestMount inner = TestMount::Bind(tree.Path("t"), tree.Path("s/inner"));
    if (!inner.IsMounted())
        GTEST_SKIP() << inner.Failure();
    if (std::system("unshare --mount --propagation private true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "unshare cannot make a mount namespace here";
    const std::string command = "unshare --mount --propagation private sh -c 'umount -l /proc && exec " +
                                std::string(TWINFOL_SYNC_PATH) + " -q --delete " + tree.Path("s") + " " +
                                tree.Path("t") + "' 2>" + tree.Path("err.txt");
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(tree.ReadFile("err.txt").value_or("").find("overlap cannot be told (the mount table cannot be "
                                                         "read: is /proc mounted?)"),
              std::string::npos)
        << tree.ReadFile("err.txt").value_or("");
    EXPECT_EQ(tree.ReadFile("t/keep.txt"), "keep");
    EXPECT_FALSE(tree.Exists("t/new.txt"));
    EXPECT_FALSE(tree.Exists("t/inner"));
}

// An overlay mounted for one test. Without an upper folder it is read-only, and then needs a second
// lower folder, an empty one of its own.
TestMount MountOverlay(TempTree& tree, const std::string& at, const std::string& lower,
                       const std::string& upper = {})
{
    tree.MakeFolder("work");
    tree.MakeFolder("spare");
    std::string options = "lowerdir=" + lower;
    if (upper.empty())
        options += ":" + tree.Path("spare");
    else
        options += ",upperdir=" + upper + ",workdir=" + tree.Path("work");
    return TestMount::Overlay(options, tree.Path(at));
}

TEST_F(SyncRootsIdentityTest, RefusesAnOverlayBelowARootThatShowsTheOther)
{
    tree.WriteFile("outer/t/a.txt", "a");
    tree.MakeFolder("s/ov");
    tree.MakeFolder("other/deep");
    tree.MakeFolder("up");
    {
        // The overlay's lower folder is the target: a walk of the source reads the target.
        const TestMount overlay = MountOverlay(tree, "s/ov", tree.Path("outer/t"));
        if (!overlay.IsMounted())
            GTEST_SKIP() << overlay.Failure();
        EXPECT_EQ(Check("s", "outer/t").problem, RootProblem::TargetInsideSource);
        EXPECT_EQ(Check("outer/t", "s").problem, RootProblem::SourceInsideTarget);
        EXPECT_TRUE(Check("s", "other").IsOk());
    }
    {
        // The lower folder holds the target.
        const TestMount overlay = MountOverlay(tree, "s/ov", tree.Path("other") + ":" + tree.Path("outer"));
        ASSERT_TRUE(overlay.IsMounted()) << overlay.Failure();
        EXPECT_EQ(Check("s", "outer/t").problem, RootProblem::TargetInsideSource);
    }
    {
        // The upper folder is the target's parent.
        const TestMount overlay = MountOverlay(tree, "s/ov", tree.Path("other"), tree.Path("outer"));
        ASSERT_TRUE(overlay.IsMounted()) << overlay.Failure();
        EXPECT_EQ(Check("s", "outer/t").problem, RootProblem::TargetInsideSource);
    }
    {
        // The source is itself the overlay's mount point, and sees the target's sub-folder.
        const TestMount overlay = MountOverlay(tree, "s", tree.Path("other/deep"));
        ASSERT_TRUE(overlay.IsMounted()) << overlay.Failure();
        EXPECT_EQ(Check("s", "other").problem, RootProblem::TargetInsideSource);
        EXPECT_TRUE(Check("s", "outer/t").IsOk());
    }
    EXPECT_TRUE(Check("s", "outer/t").IsOk());
}

TEST_F(SyncRootsIdentityTest, ReadsOverlayLayersWithEscapedNamesAndFailsClosedOnUnknownOnes)
{
    tree.MakeFolder("lo a:b,c");
    tree.MakeFolder("t");
    tree.MakeFolder("s/ov");
    {
        // A colon inside a folder's name is escaped in the list; the target comes after it.
        const TestMount overlay =
            MountOverlay(tree, "s/ov", tree.Path("lo a\\:b\\,c") + ":" + tree.Path("t"));
        if (!overlay.IsMounted())
            GTEST_SKIP() << overlay.Failure();
        EXPECT_EQ(Check("s", "t").problem, RootProblem::TargetInsideSource);
        EXPECT_EQ(Check("s", "lo a:b,c").problem, RootProblem::TargetInsideSource);
    }
    {
        // Layers named relative to a working directory this process cannot know.
        char* previous = getcwd(nullptr, 0);
        ASSERT_EQ(chdir(tree.Root().c_str()), 0);
        const TestMount overlay = TestMount::Overlay("lowerdir=t:lo a\\:b\\,c", tree.Path("s/ov"));
        ASSERT_EQ(chdir(previous), 0);
        std::free(previous);
        ASSERT_TRUE(overlay.IsMounted()) << overlay.Failure();
        const RootCheck check = Check("s", "lo a:b,c");
        EXPECT_EQ(check.problem, RootProblem::OverlapUnknown);
        EXPECT_NE(check.message.find("an overlay mounted below it shows a folder that cannot be found"),
                  std::string::npos);
    }
    EXPECT_TRUE(Check("s", "t").IsOk());
}

TEST(PosixMountTable, ReadsTheLayersOfOverlaysOnly)
{
    const std::vector<MountEntry> mounts = ParseMountTable(
        "47 27 0:40 / /m rw,relatime shared:5 - overlay overlay rw,lowerdir=/l\\040a\\134:b\\134\\054c:"
        "/l2::/data,upperdir=/u\\0402,workdir=/w,uuid=on\n"
        "48 27 0:41 / /n rw - overlay overlay ro,lowerdir+=/x\\134:y,datadir+=/d\n"
        "49 27 0:42 / /o rw - ext4 /dev/sda1 rw,lowerdir=/not-a-layer\n");
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].fileSystemType, "overlay");
    EXPECT_EQ(mounts[0].layers, (std::vector<std::string>{"/l a:b,c", "/l2", "/data", "/u 2"}));
    EXPECT_EQ(mounts[1].layers, (std::vector<std::string>{"/x\\:y", "/d"}));
    EXPECT_EQ(mounts[2].fileSystemType, "ext4");
    EXPECT_TRUE(mounts[2].layers.empty());
}

} // namespace
} // namespace twinfol::test
