// The undo's own report and the figures of the question before it, over real trees: what an undo
// restored, moved to the Trash and left alone, when it started, and the files and bytes under the
// items a run left, counted in the target and in the Trash.
#include <cstdio>
#include <filesystem>

#include "engine/changes/run_undo.h"
#include "engine/changes/undo_extent.h"
#include "support/trash_run_fixture.h"

namespace twinfol::test {
namespace {

class UndoReportTest : public TrashRunTest {
protected:
    // A run that overwrites one file, adds a file and a folder of two files (one of them deeper), and
    // deletes a file and a folder.
    void MakeJob()
    {
        tree.WriteFile(Source("over.txt"), "newer", baseTime + 1000);
        tree.WriteFile(Target("over.txt"), "old", baseTime);
        tree.WriteFile(Source("added.txt"), "added");
        tree.WriteFile(Source("newdir/a"), "aaa");
        tree.WriteFile(Source("newdir/deeper/b"), "bbbbbbb");
        tree.WriteFile(Target("stale.txt"), "stale!");
        tree.WriteFile(Target("gone/deep/x"), "xx");
    }

    UndoableRun LastRun()
    {
        UndoSearch search = FindLastRun(fileSystem, places, target);
        EXPECT_TRUE(search.run) << search.refusal;
        return search.run ? std::move(*search.run) : UndoableRun{};
    }

    void Undo(const UndoableRun& run)
    {
        runState.ResetForRun();
        report.ResetForRun();
        RunUndo(fileSystem, places, runState, report, host, &TestClock).Undo(run, target);
    }
};
INSTANTIATE_TEST_SUITE_P(, UndoReportTest, bothWalks, JobsName);

TEST_P(UndoReportTest, TheQuestionCountsTheFilesAndBytesUnderEveryItem)
{
    MakeJob();
    RunWithTrash();
    ASSERT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
    const UndoableRun run = LastRun();
    ASSERT_EQ(run.added, 2);
    ASSERT_EQ(run.deleted, 2);

    const UndoExtent extent = MeasureUndo(fileSystem, run, target);
    // added.txt, newdir/a and newdir/deeper/b in the target: 5 + 3 + 7 bytes.
    EXPECT_EQ(extent.added, (FolderContents{3, 15}));
    // The old content of over.txt, as the Trash keeps it.
    EXPECT_EQ(extent.overwritten, (FolderContents{1, 3}));
    // stale.txt and gone/deep/x, in the Trash.
    EXPECT_EQ(extent.deleted, (FolderContents{2, 8}));

    // What is gone since the run is not counted.
    ASSERT_EQ(std::remove(tree.Path(Target("newdir/deeper/b")).c_str()), 0);
    EXPECT_EQ(MeasureUndo(fileSystem, run, target).added, (FolderContents{2, 8}));
    std::filesystem::remove_all(tree.Path("home/data/Trash/files/gone"));
    EXPECT_EQ(MeasureUndo(fileSystem, run, target).deleted, (FolderContents{1, 6}));
}

TEST_P(UndoReportTest, ARunWithoutTheTrashCountsOnlyWhatItAdded)
{
    MakeJob();
    RunWithTrash(unconfirmed);
    const UndoExtent extent = MeasureUndo(fileSystem, LastRun(), target);
    EXPECT_EQ(extent.added, (FolderContents{3, 15}));
    EXPECT_EQ(extent.overwritten, FolderContents{});
    EXPECT_EQ(extent.deleted, FolderContents{});
}

TEST_P(UndoReportTest, TheReportSaysWhatWasRestoredTrashedAndLeftAloneAndWhenTheUndoStarted)
{
    MakeJob();
    RunWithTrash();
    const UndoableRun run = LastRun();
    AdvanceDays(1);
    tree.WriteFile(Target("added.txt"), "edited since the run");

    Undo(run);

    EXPECT_EQ(report.kind, ReportKind::Undo);
    EXPECT_EQ(report.startTime, TestClock());
    EXPECT_EQ(report.durationSeconds, 0.0);
    EXPECT_EQ(report.restoredCount, 3);
    EXPECT_EQ(Items(report.trashed), std::vector<std::string>{T("newdir")});
    const std::vector<const ProblemRecord*> leftAlone = report.LeftAlone();
    ASSERT_EQ(leftAlone.size(), 1u);
    EXPECT_EQ(leftAlone[0]->path, target + "added.txt");
    EXPECT_EQ(leftAlone[0]->reason, "it changed since the run");
    // None of a run's lists, whose words would say the opposite of what the undo did.
    EXPECT_TRUE(report.addedFiles.empty() && report.deletedFolders.empty() &&
                report.overwrittenFiles.empty());

    // The next run's report is a run's again, with nothing of the undo's.
    RunWithTrash();
    EXPECT_EQ(report.kind, ReportKind::Run);
    EXPECT_EQ(report.restoredCount + report.trashedCount, 0);
    EXPECT_TRUE(report.restored.empty() && report.trashed.empty());
}

} // namespace
} // namespace twinfol::test
