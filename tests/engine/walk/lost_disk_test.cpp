// A root's disk or connection lost during a run: the run ends at the first failure that shows it, with
// one problem line naming the root, and makes no delete after it; an item's own failure of the same
// kind, with the roots still there, is only that item's problem.
#include <cerrno>

#include "support/fault_injecting_file_system.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

class LostDiskTest : public SyncEngineTest {
protected:
    void SetUp() override
    {
        for (int file = 0; file < 40; ++file)
            tree.WriteFile(Source("new/f" + std::to_string(100 + file)), "data");
        for (int file = 0; file < 40; ++file)
            tree.WriteFile(Source("g" + std::to_string(100 + file)), "data");
        for (int file = 0; file < 5; ++file)
            tree.WriteFile(Target("extra" + std::to_string(file)), "old");
        tree.MakeFolder(Target("new"));
    }
    FaultInjectingFileSystem faulty{fileSystem};
    std::atomic<int> copies{0};
};
INSTANTIATE_TEST_SUITE_P(, LostDiskTest, bothWalks, JobsName);

TEST_P(LostDiskTest, ALostTargetEndsTheRunWithOneLineAndNoDeletes)
{
    faulty.OnCall(FsOperation::CopyFile, [this](const FsCall&) {
        if (++copies >= 3) {
            faulty.FailPath(target, ENOTCONN, FsOperation::KindOf);
            faulty.FailNthCall(FsOperation::CopyFile, 1, ENOTCONN);
        }
    });
    RunWith(faulty);
    ASSERT_EQ(report.ProblemLines().size(), 1u);
    EXPECT_EQ(report.problemLog[0].line, "Could not read folder: " + target.substr(0, target.size() - 1));
    EXPECT_EQ(report.problemLog[0].reason, "the disk or connection was lost");
    EXPECT_TRUE(runState.IsStopped());
    EXPECT_EQ(report.deletedFileCount, 0);
    for (int file = 0; file < 5; ++file)
        EXPECT_TRUE(tree.Exists(Target("extra" + std::to_string(file))));
}

TEST_P(LostDiskTest, AnItemsOwnFailureWithTheRootsInPlaceIsOnlyThatItemsProblem)
{
    faulty.FailPath(S("g105"), EIO, FsOperation::CopyFile);
    faulty.FailPath(S("g107"), ENOTCONN, FsOperation::CopyFile);
    RunWith(faulty);
    EXPECT_EQ(report.ProblemLines().size(), 2u);
    EXPECT_FALSE(runState.IsStopped());
    EXPECT_EQ(report.deletedFileCount, 5);
    EXPECT_EQ(report.addedFileCount, 78);
}

} // namespace
} // namespace twinfol::test
