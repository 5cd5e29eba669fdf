// Pruning the history of runs over real journal folders made by real runs, with a clock the test
// moves: what is older than the keeping days goes, what an undo can still take back stays.
#include "engine/changes/kept_report.h"
#include "engine/changes/run_history.h"
#include "engine/changes/run_undo.h"
#include "support/trash_run_fixture.h"

namespace twinfol::test {
namespace {

class RunHistoryTest : public TrashRunTest {
protected:
    // A run with the report kept, as the window and the runner keep it.
    void KeptRun(const SyncOptions& options = unconfirmed)
    {
        RunWithTrash(options);
        report.RecordRun(source, target, false);
        std::string path;
        ASSERT_TRUE(KeepRunReport(fileSystem, places, report, path));
        ASSERT_FALSE(path.empty());
    }
    void KeptRefusal(const std::string& why)
    {
        SyncReport refused;
        refused.source = source;
        refused.target = target;
        refused.refusal = why;
        refused.startTime = testNow;
        std::string path;
        ASSERT_TRUE(KeepRunReport(fileSystem, places, refused, path));
    }
    std::int64_t Now() const { return std::chrono::system_clock::to_time_t(testNow); }
    std::vector<RunHistoryEntry> History() { return ReadRunHistory(fileSystem, places.journalFolder); }
};
// The history is the same whichever walk made the journals: one is enough.
INSTANTIATE_TEST_SUITE_P(, RunHistoryTest, ::testing::Values(1), JobsName);

TEST_P(RunHistoryTest, AnOldRunThatCanStillBeUndoneStaysAndOneThatCannotGoesWithItsReport)
{
    tree.WriteFile(Source("a"), "a");
    KeptRun();
    KeptRefusal("the target was busy");
    AdvanceDays(40);
    PruneRunHistory(fileSystem, places.journalFolder, 30, Now());
    // The old run is still the last of its target; only the refusal's record is gone.
    std::vector<RunHistoryEntry> history = History();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_TRUE(history[0].lastOfTarget);
    EXPECT_EQ(history[0].addedFiles, 1);

    tree.WriteFile(Source("b"), "b");
    KeptRun();
    AdvanceDays(1);
    tree.WriteFile(Source("c"), "c");
    KeptRun(); // prunes at its start: the first run can no longer be undone, and is old
    history = History();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].addedFiles, 1);
    EXPECT_TRUE(history[0].lastOfTarget);
    EXPECT_FALSE(history[1].lastOfTarget);
    EXPECT_EQ(ListRunFiles(fileSystem, places.journalFolder, keptReportSuffix).size(), 2u);
    EXPECT_EQ(Journals().size(), 2u);
}

TEST_P(RunHistoryTest, KeepingDaysOfZeroKeepAnythingAndAnUndoneRunIsMarked)
{
    tree.WriteFile(Source("a"), "a");
    KeptRun();
    UndoSearch search = FindLastRun(fileSystem, places, target);
    ASSERT_TRUE(search.run) << search.refusal;
    report.ResetForRun();
    RunUndo(fileSystem, places, runState, report, host, &TestClock).Undo(*search.run, target);
    AdvanceDays(400);
    PruneRunHistory(fileSystem, places.journalFolder, 0, Now());
    const std::vector<RunHistoryEntry> history = History();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].kind, ReportKind::Undo);
    EXPECT_TRUE(history[1].undone);
    EXPECT_FALSE(history[1].lastOfTarget);
    // Undone and old: nothing is left to undo, and the run's added file went to the Trash through the
    // undo's journal, which the Trash's own expiry looks after.
    PruneRunHistory(fileSystem, places.journalFolder, 30, Now());
    ASSERT_EQ(History().size(), 1u);
    EXPECT_EQ(History()[0].kind, ReportKind::Undo);
}

} // namespace
} // namespace twinfol::test
