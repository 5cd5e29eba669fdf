// Runs onto the mounts people back up to over a network or into the cloud, each a real FUSE mount
// (root only; skipped with the reason otherwise): rclone's mount of a local folder, whose server
// answers the no-replace rename with EINVAL and a hard link with EIO, and sshfs onto an sshd of the
// test's own, which has hard links but no no-replace rename.
#include <fcntl.h>

#include <cerrno>
#include <optional>
#include <string>
#include <tuple>

#include "engine/posix/posix_placement.h"
#include "support/loopback_sshd.h"
#include "support/sync_engine_fixture.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

enum class NetworkMount { Rclone, Sshfs };

void PrintTo(NetworkMount mount, std::ostream* out)
{
    *out << (mount == NetworkMount::Rclone ? "rclone" : "sshfs");
}

// The target root is the mount: a folder of the tree shown at target/.
class NetworkMountTest : public SyncEngineFixture,
                         public ::testing::WithParamInterface<std::tuple<NetworkMount, int>> {
protected:
    void SetUp() override
    {
        jobs = std::get<1>(GetParam());
        const std::string backing = tree.MakeFolder("backing");
        if (std::get<0>(GetParam()) == NetworkMount::Rclone) {
            mount_.emplace(TestMount::Rclone(backing, tree.MakeFolder("rclone-cache"), target));
        } else {
            server_.emplace(tree.MakeFolder("sshd"));
            mount_.emplace(TestMount::Sshfs(*server_, backing, target));
        }
        if (!mount_->IsMounted())
            GTEST_SKIP() << mount_->Failure();
    }

    void RunAgain()
    {
        runState.ResetForRun();
        report.ResetForRun();
        Run();
    }

    // Unmounted before the server stops.
    std::optional<LoopbackSshd> server_;
    std::optional<TestMount> mount_;
};

TEST_P(NetworkMountTest, AHundredAddsAnOverwriteAndADeleteAllLandAndASecondRunFindsNothingToDo)
{
    for (int file = 0; file < 100; ++file)
        tree.WriteFile(Source("add-" + std::to_string(100 + file) + ".txt"),
                       "content " + std::to_string(file), baseTime + file);
    tree.WriteFile(Source("sub/inner.txt"), "inner", baseTime);
    tree.WriteFile(Source("changed.txt"), "newer", baseTime + 1000);
    tree.WriteFile(Target("changed.txt"), "older", baseTime);
    tree.WriteFile(Target("gone.txt"), "gone", baseTime);

    Run();
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
    EXPECT_EQ(report.addedFileCount, 100);
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("sub")});
    EXPECT_EQ(Items(report.overwrittenFiles), std::vector<std::string>{T("changed.txt")});
    EXPECT_EQ(Items(report.deletedFiles), std::vector<std::string>{T("gone.txt")});
    EXPECT_EQ(SideSnapshot("target"), SideSnapshot("source"));
    // Each copy kept its source's stamp, so nothing is copied again.
    EXPECT_EQ(tree.Modified(Target("add-142.txt")), baseTime + 42);
    RunAgain();
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
    EXPECT_EQ(report.filesCopied, 0u);
}

// The placement itself, where the run cannot make it meet a name: whichever way the mount lets a file
// take its name, one standing there already is refused and the temporary file goes.
TEST_P(NetworkMountTest, AnAddRefusesANameThatStandsAlreadyAndLeavesNoTemporaryFile)
{
    tree.WriteFile(Target("taken.txt"), "already there");
    tree.WriteFile(Target(".twinfol-00000000000000ff.part"), "finished copy");
    const FsStatus placed = PlaceNamedFile(AT_FDCWD, T(".twinfol-00000000000000ff.part"), T("taken.txt"),
                                           Placement::Add, nullptr);
    EXPECT_EQ(placed.Error(), EEXIST);
    EXPECT_EQ(tree.ReadFile(Target("taken.txt")), "already there");
    EXPECT_FALSE(tree.Exists(Target(".twinfol-00000000000000ff.part")));

    tree.WriteFile(Target(".twinfol-00000000000000fe.part"), "finished copy");
    EXPECT_TRUE(PlaceNamedFile(AT_FDCWD, T(".twinfol-00000000000000fe.part"), T("free.txt"), Placement::Add,
                               nullptr));
    EXPECT_EQ(tree.ReadFile(Target("free.txt")), "finished copy");
    EXPECT_FALSE(tree.Exists(Target(".twinfol-00000000000000fe.part")));
}

TEST_P(NetworkMountTest, TheMountIsKnownAsOneWhoseCallsWaitOnAServer)
{
    EXPECT_EQ(fileSystem.DiskKindOf(target), (DiskKind{NameRules::Posix, true}));
    // A folder still to be made lies on the mount too.
    EXPECT_EQ(fileSystem.DiskKindOf(target + "not/made/yet/"), (DiskKind{NameRules::Posix, true}));
    EXPECT_FALSE(fileSystem.DiskKindOf(source).latencyBound);
}

INSTANTIATE_TEST_SUITE_P(, NetworkMountTest,
                         ::testing::Combine(::testing::Values(NetworkMount::Rclone, NetworkMount::Sshfs),
                                            ::testing::Values(1, 4)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == NetworkMount::Rclone ? "Rclone"
                                                                                                : "Sshfs") +
                                    "Jobs" + std::to_string(std::get<1>(info.param));
                         });

} // namespace
} // namespace twinfol::test
