// A dry run walks and reports like a real run and leaves both trees exactly as they were.
#include "engine/fs/dry_run_file_system.h"
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

} // namespace
} // namespace twinfol::test
