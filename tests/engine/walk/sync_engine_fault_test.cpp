// The walk when the disk misbehaves: unreadable folders and stamps, failed copies and deletes, and a
// stop requested while a copy is under way, all reached through the fault-injecting layer.
#include <cerrno>
#include <system_error>
#include <thread>

#include "support/fault_injecting_file_system.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

class FaultLayerFixture : public SyncEngineFixture {
protected:
    void RunFaulty(const SyncOptions& options = unconfirmed) { RunWith(faulty, options); }

    // Runs the engine on a thread of its own, requests a stop while the held call waits, then lets
    // the call finish.
    void RunAndStopDuringHeldCall(const SyncOptions& options = unconfirmed)
    {
        std::thread engineThread([&] { RunFaulty(options); });
        const bool held = faulty.WaitUntilHeld(std::chrono::seconds(30));
        runState.RequestStop();
        faulty.Release();
        engineThread.join();
        ASSERT_TRUE(held);
    }

    FaultInjectingFileSystem faulty{fileSystem};
};

using SyncEngineFaultTest = BothWalks<FaultLayerFixture>;
INSTANTIATE_TEST_SUITE_P(, SyncEngineFaultTest, bothWalks, JobsName);
// A stop while a copy is held, at one job: a second worker would have begun the next copy too.
using SyncEngineStopDuringCopyTest = FaultLayerFixture;

TEST_P(SyncEngineFaultTest, UnreadableSourceSubFolderLeavesItsTargetTwinAlone)
{
    tree.WriteFile(Source("sub/f"), "new", baseTime + 1000);
    tree.WriteFile(Target("sub/f"), "old", baseTime);
    tree.WriteFile(Target("sub/extra"), "e");
    tree.MakeFolder(Target("sub/extradir"));
    tree.WriteFile(Source("zzz/after"), "a");
    faulty.FailPath(S("sub/"), EACCES, FsOperation::List);
    RunFaulty();
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{"Could not read folder: " + S("sub")});
    EXPECT_EQ(tree.ReadFile(Target("sub/f")), "old");
    EXPECT_TRUE(tree.Exists(Target("sub/extra")));
    EXPECT_TRUE(tree.Exists(Target("sub/extradir")));
    EXPECT_TRUE(report.deletedFiles.empty());
    EXPECT_TRUE(report.deletedFolders.empty());
    // The run goes on with the next item.
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("zzz")});
}

TEST_P(SyncEngineFaultTest, SourceRootThatVanishesBeforeTheWalkIsNotTakenForEmpty)
{
    tree.WriteFile(Target("precious"), "p");
    faulty.FailPath(source, EIO, FsOperation::List);
    RunFaulty();
    EXPECT_EQ(report.ProblemLines(),
              std::vector<std::string>{"Could not read folder: " + tree.Path("source")});
    EXPECT_TRUE(tree.Exists(Target("precious")));
}

TEST_P(SyncEngineFaultTest, UnlistableTargetFolderIsLeftAloneWithAProblemLine)
{
    tree.WriteFile(Source("sub/a"), "older source", baseTime);
    tree.WriteFile(Target("sub/a"), "newer target", baseTime + 1000);
    tree.WriteFile(Source("sub/b"), "b");
    tree.WriteFile(Target("sub/extra"), "e");
    tree.WriteFile(Source("z"), "z");
    faulty.FailPath(T("sub/"), EACCES, FsOperation::List);
    RunFaulty();
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{"Could not read folder: " + T("sub")});
    EXPECT_EQ(tree.ReadFile(Target("sub/a")), "newer target");
    EXPECT_FALSE(tree.Exists(Target("sub/b")));
    EXPECT_TRUE(tree.Exists(Target("sub/extra")));
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("z")}); // the run goes on
}

TEST_P(SyncEngineFaultTest, UnreadableStampIsNotNewer)
{
    tree.WriteFile(Source("f"), "new", baseTime + 1000);
    tree.WriteFile(Target("f"), "old", baseTime);
    tree.WriteFile(Source("g"), "new", baseTime + 1000);
    tree.WriteFile(Target("g"), "old", baseTime);
    faulty.FailPath(S("f"), EIO, FsOperation::ReadStamp);
    faulty.FailPath(T("g"), EIO, FsOperation::ReadStamp);
    RunFaulty();
    EXPECT_TRUE(report.overwrittenFiles.empty());
    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_EQ(tree.ReadFile(Target("f")), "old");
    EXPECT_EQ(tree.ReadFile(Target("g")), "old");
}

TEST_P(SyncEngineFaultTest, FailuresAreLoggedInOrderWithTheirReasonsAndNeverCounted)
{
    tree.WriteFile(Source("a"), "a");
    tree.WriteFile(Source("b"), "b");
    tree.WriteFile(Source("over"), "new", baseTime + 1000);
    tree.WriteFile(Target("over"), "old", baseTime);
    tree.WriteFile(Target("stale"), "s");
    tree.WriteFile(Source("newdir/x"), "x");
    tree.WriteFile(Target("gonedir/y"), "y");
    faulty.FailPath(T("a"), EIO, FsOperation::CopyFile);
    faulty.FailPath(T("over"), ENOSPC, FsOperation::CopyFile);
    faulty.FailPath(T("stale"), EACCES, FsOperation::DeleteFile);
    faulty.FailPath(T("newdir/x"), EIO, FsOperation::CopyFile);
    faulty.FailPath(T("gonedir/y"), EACCES, FsOperation::DeleteFile);
    RunFaulty();
    const std::vector<std::string> expected = {
        "Could not copy file: " + T("a"),           "Could not copy file: " + T("over"),
        "Could not delete file: " + T("stale"),     "Could not copy file: " + T("newdir/x"),
        "Could not delete folder: " + T("gonedir"),
    };
    EXPECT_EQ(report.ProblemLines(), expected);
    // Each record carries the system's text for the error of its own failure, also from inside the
    // tree operations.
    std::vector<std::string> reasons;
    for (const ProblemRecord& problem : report.problemLog)
        reasons.push_back(problem.reason);
    const auto text = [](int error) { return std::system_category().message(error); };
    EXPECT_EQ(reasons,
              (std::vector<std::string>{text(EIO), text(ENOSPC), text(EACCES), text(EIO), text(EACCES)}));
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("b")});
    EXPECT_EQ(report.addedFileCount, 1);
    EXPECT_EQ(report.overwrittenFileCount + report.deletedFileCount + report.deletedFolderCount, 0);
    // The folder whose only file failed was made: it counts as added, marked as partly copied.
    EXPECT_EQ(Items(report.partlyCopiedFolders), std::vector<std::string>{T("newdir")});
    EXPECT_EQ(report.addedFolderContents.at(T("newdir")).files, 0u);
    EXPECT_TRUE(tree.Exists(Target("gonedir/y")));
    EXPECT_EQ(tree.ReadFile(Target("over")), "old");
}

TEST_F(SyncEngineStopDuringCopyTest, StopDuringACopyLetsItFinishAndEndsTheRun)
{
    tree.WriteFile(Source("a-big"), "big content");
    tree.WriteFile(Source("b-next"), "n");
    tree.WriteFile(Source("dir/c"), "c");
    tree.WriteFile(Target("old"), "o");
    faulty.Hold(FsOperation::CopyFile, S("a-big"));
    // One job: a second worker would have begun the next add too.
    RunAndStopDuringHeldCall({.confirmDeletes = false, .useTrash = false, .jobs = 1});
    EXPECT_EQ(tree.ReadFile(Target("a-big")), "big content");
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("a-big")});
    EXPECT_FALSE(tree.Exists(Target("b-next")));
    EXPECT_FALSE(tree.Exists(Target("dir")));
    EXPECT_TRUE(tree.Exists(Target("old")));
    EXPECT_TRUE(runState.IsStopped());
    EXPECT_EQ(faulty.CallCount(FsOperation::CopyFile), 1);
    EXPECT_EQ(faulty.CallCount(FsOperation::DeleteFile), 0);
}

TEST_F(SyncEngineStopDuringCopyTest, StopDuringATreeCopyStillCountsTheFolder)
{
    tree.WriteFile(Source("newdir/a"), "a");
    tree.WriteFile(Source("newdir/b"), "b");
    tree.WriteFile(Source("newdir/c"), "c");
    tree.WriteFile(Source("other/d"), "d");
    faulty.Hold(FsOperation::CopyFile);
    // One job: a second worker would have begun the other folder's copy too.
    RunAndStopDuringHeldCall({.confirmDeletes = false, .useTrash = false, .jobs = 1});
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("newdir")});
    EXPECT_EQ(SideSnapshot("target").size(), 2u); // the folder and the one file being copied
    EXPECT_FALSE(tree.Exists(Target("other")));
    EXPECT_TRUE(runState.IsStopped());
}

} // namespace
} // namespace twinfol::test
