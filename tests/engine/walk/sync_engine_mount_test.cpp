// Runs over real mounts (root only; skipped with the reason otherwise): a tree delete never crosses
// into a file system mounted inside the tree, a FAT target that holds no modes still gets the data,
// and a target whose stamps end in 2038 does not make a later file copied at every run.
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <limits>

#include "engine/posix/posix_beneath.h"
#include "support/sync_engine_fixture.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

class SyncEngineMountTest : public SyncEngineTest {
protected:
    // A new run over the same roots, with a fresh report.
    void RunAgain()
    {
        runState.ResetForRun();
        report.ResetForRun();
        Run();
    }
};
INSTANTIATE_TEST_SUITE_P(, SyncEngineMountTest, bothWalks, JobsName);

TEST_P(SyncEngineMountTest, ATreeDeleteLeavesFileSystemsMountedInsideItWhole)
{
    tree.WriteFile(Target("old/a"), "a");
    tree.MakeFolder(Target("old/usb"));
    tree.WriteFile(Target("bound/b"), "b");
    tree.MakeFolder(Target("bound/bind"));
    tree.WriteFile("elsewhere/kept", "k");
    const TestMount usb = TestMount::Tmpfs(tree.Path(Target("old/usb")), 1 << 20);
    if (!usb.IsMounted())
        GTEST_SKIP() << usb.Failure();
    // A bind mount shares its device number with the tree around it: only the mount id tells.
    const TestMount bind = TestMount::Bind(tree.Path("elsewhere"), tree.Path(Target("bound/bind")));
    ASSERT_TRUE(bind.IsMounted()) << bind.Failure();
    tree.WriteFile(Target("old/usb/photo"), "on the stick");

    Run();

    ASSERT_EQ(report.problemLog.size(), 2u);
    EXPECT_EQ(report.problemLog[0].line, "Could not delete folder: " + T("bound"));
    EXPECT_EQ(report.problemLog[0].reason, mountedInside);
    EXPECT_EQ(report.problemLog[1].line, "Could not delete folder: " + T("old"));
    EXPECT_EQ(report.problemLog[1].reason, mountedInside);
    EXPECT_EQ(tree.ReadFile(Target("old/usb/photo")), "on the stick");
    EXPECT_EQ(tree.ReadFile("elsewhere/kept"), "k");
    EXPECT_TRUE(report.deletedFolders.empty());
}

// fusefat answers ENOSYS to fchmod, EPERM to link() and has no RENAME_NOREPLACE nor extended
// attributes: names that share an inode in the source become copies of their own. (It also keeps the
// time of the write instead of the stamp it is given, so the stamps are not checked here.)
TEST_P(SyncEngineMountTest, AFatTargetWithoutModesOrLinksStillGetsTheData)
{
    tree.WriteFile(Source("a.txt"), "a", baseTime);
    tree.SetMode(Source("a.txt"), 0640);
    tree.WriteFile(Source("sub/b.txt"), "b", baseTime);
    tree.WriteFile(Source("sub/c.txt"), "c", baseTime);
    ASSERT_EQ(link(tree.Path(Source("sub/c.txt")).c_str(), tree.Path(Source("sub/d.txt")).c_str()), 0);
    ASSERT_EQ(link(tree.Path(Source("a.txt")).c_str(), tree.Path(Source("sub/e.txt")).c_str()), 0);
    ASSERT_EQ(setxattr(tree.Path(Source("a.txt")).c_str(), "user.tag", "x", 1, 0), 0);
    const TestMount fat = TestMount::FatImage(tree.Path("fat.img"), 4 << 20, target);
    if (!fat.IsMounted())
        GTEST_SKIP() << fat.Failure();

    Run();
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("a.txt")});
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("sub")});
    EXPECT_EQ(tree.ReadFile(Target("a.txt")), "a");
    EXPECT_EQ(tree.ReadFile(Target("sub/c.txt")), "c");
    EXPECT_EQ(tree.ReadFile(Target("sub/d.txt")), "c");
    EXPECT_EQ(tree.ReadFile(Target("sub/e.txt")), "a");

    // A newer source replaces its copies (both names of it) by a rename over each.
    tree.WriteFile(Source("a.txt"), "a2", std::time(nullptr) + 1000);
    RunAgain();
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
    EXPECT_EQ(Items(report.overwrittenFiles), (std::vector<std::string>{T("a.txt"), T("sub/e.txt")}));
    EXPECT_EQ(tree.ReadFile(Target("a.txt")), "a2");
    EXPECT_EQ(tree.ReadFile(Target("sub/e.txt")), "a2");
}

TEST_P(SyncEngineMountTest, AStampCutDownTo2038IsNotCopiedAgainAtEveryRun)
{
    constexpr std::time_t year2100 = 4102444800;
    constexpr std::time_t year1960 = -315619200;
    tree.WriteFile(Source("future"), "f", year2100);
    tree.WriteFile(Source("past"), "p", year1960);
    // 128-byte inodes hold 32-bit stamps only: 1901 to 2038.
    const TestMount small = TestMount::Ext4Image(tree.Path("ext4.img"), 8 << 20, "-I 128", target);
    if (!small.IsMounted())
        GTEST_SKIP() << small.Failure();

    Run();
    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_EQ(report.addedFileCount, 2);
    EXPECT_EQ(tree.Modified(Target("future")), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(tree.Modified(Target("past")), year1960);

    RunAgain();
    EXPECT_TRUE(report.overwrittenFiles.empty());
    EXPECT_TRUE(report.problemLog.empty());
}

} // namespace
} // namespace twinfol::test
