// A dry run walks and reports like a real run and leaves both trees exactly as they were; the steps
// of one trial run meet what its earlier steps pretended, as the real run's steps meet what the
// earlier ones did.
#include <algorithm>

#include "engine/fs/dry_run_file_system.h"
#include "engine/records/refusal_reasons.h"
#include "support/file_system_contract_fixture.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

void BuildMixedTrees(const TempTree& tree)
{
    tree.WriteFile("source/changed", "new", baseTime + 500);
    tree.WriteFile("target/changed", "old", baseTime);
    tree.WriteFile("source/new.txt", "n");
    tree.WriteFile("source/newdir/inner/deep.txt", "d");
    tree.WriteFile("source/shared/add.txt", "a");
    tree.MakeFolder("target/shared");
    tree.WriteFile("target/stale.txt", "s");
    tree.WriteFile("target/staledir/x", "x");
}

using DryRunWalkTest = SyncEngineTest;
INSTANTIATE_TEST_SUITE_P(, DryRunWalkTest, bothWalks, JobsName);
// The layer's own calls, with no walk.
using DryRunLayerTest = SyncEngineFixture;

TEST_P(DryRunWalkTest, DryRunReportsWhatARealRunDoesAndChangesNothing)
{
    BuildMixedTrees(tree);
    const auto before = tree.Snapshot();
    DryRunFileSystem dryRun(fileSystem);
    RunWith(dryRun);
    EXPECT_EQ(tree.Snapshot(), before);
    EXPECT_EQ(tree.Modified("target/changed"), baseTime);

    SyncReport dryReport = report;
    const std::vector<std::string> dryProgress = host.ProgressTexts();
    report.ResetForRun();
    ScriptedSyncHost realHost;
    SyncEngine engine(fileSystem, exclusions, runState, report, realHost);
    engine.SynchroniseFolder(source, target, WithJobs(unconfirmed));
    ASSERT_TRUE(report.problemLog.empty());
    for (auto list : {ReportList::OverwrittenFiles, ReportList::AddedFiles, ReportList::DeletedFiles,
                      ReportList::AddedFolders, ReportList::DeletedFolders}) {
        EXPECT_EQ(dryReport.List(list), report.List(list));
        EXPECT_EQ(dryReport.Count(list), report.Count(list));
        EXPECT_GT(dryReport.Count(list), 0);
    }
    EXPECT_EQ(dryProgress, realHost.ProgressTexts());
}

TEST_F(DryRunLayerTest, DryRunReadsWholeFilesAndOnlyPretendsToWriteThem)
{
    tree.WriteFile("job.twp", "old");
    const auto before = tree.Snapshot();
    DryRunFileSystem dryRun(fileSystem);
    std::string bytes;
    ASSERT_TRUE(dryRun.ReadFile(tree.Path("job.twp"), 100, bytes));
    EXPECT_EQ(bytes, "old");
    EXPECT_TRUE(dryRun.ReplaceFile(tree.Path("job.twp"), "new", 0666));
    EXPECT_TRUE(dryRun.MakeFolders(tree.Path("config/Quillmark/"), 0700));
    std::unique_ptr<FileLock> lock;
    EXPECT_TRUE(dryRun.LockFile(tree.Path("config/Quillmark/Twinfol.conf.lock"), lock));
    EXPECT_TRUE(lock);
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST(DryRunFileSystem, LaterStepsMeetWhatEarlierStepsOfTheRunPretended)
{
    const TempTree tree;
    tree.WriteFile("source/x/a", "12");
    tree.WriteFile("source/x/sub/b", "1234");
    tree.WriteFile("target/x", "a file where the source has a folder");
    tree.WriteFile("source/y", "123");
    tree.WriteFile("target/y/old", "a folder where the source has a file");
    const auto before = tree.Snapshot();
    PosixFileSystem posix;
    DryRunFileSystem trial(posix);
    const StopFlag stop{false};
    const std::unique_ptr<RunScope> scope = trial.BeginRun(tree.Path("source/"), tree.Path("target/"));

    // Without the deletes first, each add meets what stands in its way, as the real one would.
    EXPECT_EQ(trial.CopyFolderTree(tree.Path("source/x/"), tree.Path("target/x/"), stop).Reason(),
              fileWhereFolderReason);
    EXPECT_EQ(trial.CopyFile(tree.Path("source/y"), tree.Path("target/y")).Reason(), folderAtTargetReason);

    ASSERT_TRUE(trial.DeleteFile(tree.Path("target/x")));
    ASSERT_TRUE(trial.DeleteFolderTree(tree.Path("target/y/"), stop));
    EXPECT_EQ(trial.KindOf(tree.Path("target/x")), EntryKind::Missing);
    EXPECT_EQ(trial.LookAt(tree.Path("target/y/old")).Error(), ENOENT);
    RecordedProgress progress;
    EXPECT_TRUE(trial.CopyFolderTree(tree.Path("source/x/"), tree.Path("target/x/"), stop, &progress));
    EXPECT_TRUE(trial.CopyFile(tree.Path("source/y"), tree.Path("target/y"), &progress));
    std::vector<std::uint64_t> sizes = progress.Files();
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<std::uint64_t>{2, 3, 4}));
    EXPECT_EQ(tree.Snapshot(), before);

    // A new run starts from the disk as it is.
    const std::unique_ptr<RunScope> next = trial.BeginRun(tree.Path("source/"), tree.Path("target/"));
    EXPECT_EQ(trial.KindOf(tree.Path("target/x")), EntryKind::File);
    EXPECT_EQ(trial.KindOf(tree.Path("target/y/old")), EntryKind::File);
}

} // namespace
} // namespace twinfol::test
