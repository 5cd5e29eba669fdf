// The guards in front of a run's deletes: an empty source root, and a limit on how many items one run
// may delete.
#include <filesystem>

#include "engine/walk/deletion_guard.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

using DeletionGuardTest = SyncEngineTest;
INSTANTIATE_TEST_SUITE_P(, DeletionGuardTest, bothWalks, JobsName);
// The count an empty source's check makes before any run.
using EmptySourceLossesTest = SyncEngineFixture;

TEST_P(DeletionGuardTest, AnEmptySourceRootKeepsEveryDeleteFromHappening)
{
    tree.WriteFile("target/a", "a");
    tree.WriteFile("target/dir/b", "b");
    const auto before = tree.Snapshot();
    SyncOptions options = unconfirmed;
    options.emptySource = EmptySource::Refuse;
    Run(options);
    EXPECT_EQ(tree.Snapshot(), before);
    ASSERT_EQ(report.problemLog.size(), 2u);
    EXPECT_EQ(report.problemLog[0].line, "Could not delete file: " + T("a"));
    EXPECT_EQ(report.problemLog[1].line, "Could not delete folder: " + T("dir"));
    for (const ProblemRecord& problem : report.problemLog)
        EXPECT_EQ(problem.reason, emptySourceReason);

    // Allowed, the same run deletes; and an empty sub-folder of a source that holds something is an
    // ordinary folder whose target twin is emptied.
    report.ResetForRun();
    options.emptySource = EmptySource::Allow;
    Run(options);
    EXPECT_EQ(report.deletedFileCount + report.deletedFolderCount, 2);
    tree.MakeFolder("source/sub");
    tree.WriteFile("target/sub/c", "c");
    report.ResetForRun();
    options.emptySource = EmptySource::Refuse;
    Run(options);
    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_FALSE(tree.Exists("target/sub/c"));
}

TEST_P(DeletionGuardTest, TheDeleteLimitIsNeverPassedAndNoAnswerCostsNothing)
{
    for (const char* name : {"a", "b", "c", "d"})
        tree.WriteFile(Target(name), name);
    tree.WriteFile("target/e/inner", "e");
    tree.WriteFile("target/f/inner", "f");
    SyncOptions options = unconfirmed;
    options.maxDeletes = 3;
    Run(options);
    EXPECT_EQ(report.deletedFileCount + report.deletedFolderCount, 3);
    EXPECT_EQ(SideSnapshot("target").size(), 5u); // d, e, e/inner, f, f/inner
    ASSERT_EQ(report.problemLog.size(), 3u);
    for (const ProblemRecord& problem : report.problemLog)
        EXPECT_EQ(problem.reason, "the run has reached its limit of 3 deletes");

    // A delete answered No is not begun, so it leaves the budget alone; once the budget is used up,
    // nobody is asked any more.
    report.ResetForRun();
    options.maxDeletes = 1;
    options.confirmDeletes = true;
    host.AddAnswer(ConfirmAnswer::No);
    host.AddAnswer(ConfirmAnswer::Yes);
    Run(options);
    EXPECT_EQ(host.Questions().size(), 2u);
    EXPECT_EQ(report.deletedFolderCount, 1);
    EXPECT_EQ(report.problemLog.size(), 1u);
}

TEST_F(EmptySourceLossesTest, EmptySourceLossesCountWhatTheRunWouldDeleteAtTheTop)
{
    tree.WriteFile("target/a", "a");
    tree.WriteFile("target/kept", "k");
    tree.WriteFile("target/dir/deep/b", "b");
    tree.MakeSymlink("target/link", "a");
    const ExclusionList keep({T("kept")});
    tree.WriteFile("target/dir/deep/c", "1234567890");
    SyncOptions options = unconfirmed;
    // a, the link, and dir with what it holds at any depth; the excluded file is no loss.
    const EmptySourceLosses losses = CountEmptySourceLosses(fileSystem, source, target, options, keep);
    EXPECT_EQ(losses.items, 3);
    EXPECT_EQ(losses.files, 4u);
    EXPECT_EQ(losses.bytes, 12u);
    EXPECT_EQ(LossesText(losses), "4 files, 12 B");
    EXPECT_EQ(LossesText(EmptySourceLosses{1, 1, 2048}), "1 file, 2.0 KiB");
    options.checkSubFolders = false;
    EXPECT_EQ(CountEmptySourceLosses(fileSystem, source, target, options, keep).items, 2);
    options.deleteMissing = false;
    EXPECT_EQ(CountEmptySourceLosses(fileSystem, source, target, options, keep).items, 0);
    options.deleteMissing = true;
    // A copy's leftover temporary file is no content of the source; anything else is.
    tree.WriteFile("source/" + MakeTemporaryName(), "t");
    EXPECT_EQ(CountEmptySourceLosses(fileSystem, source, target, options, keep).items, 2);
    tree.MakeFolder("source/empty");
    EXPECT_EQ(CountEmptySourceLosses(fileSystem, source, target, options, keep).items, 0);
}

// The guard sees the roots as the walk does: a trash folder is no item on either side. A source root
// that holds only the home trash is empty, and the target's trash folder is no loss.
TEST_P(DeletionGuardTest, EmptySourceLossesLeaveTrashFoldersOutAsTheWalkDoes)
{
    tree.WriteFile("source/Trash/files/old", "o");
    tree.WriteFile("target/a", "a");
    const SyncOptions options = unconfirmed;
    const ExclusionList none;
    EXPECT_EQ(CountEmptySourceLosses(fileSystem, source, target, options, none).items, 0);
    const UserPlaces sourceTrash{S("Trash/"), tree.Path("state/"), 0};
    EXPECT_EQ(CountEmptySourceLosses(fileSystem, source, target, options, none, &sourceTrash).items, 1);

    std::filesystem::remove_all(S("Trash"));
    tree.WriteFile("target/Trash/files/old", "o");
    const UserPlaces targetTrash{T("Trash/"), tree.Path("state/"), 0};
    EXPECT_EQ(CountEmptySourceLosses(fileSystem, source, target, options, none).items, 2);
    EXPECT_EQ(CountEmptySourceLosses(fileSystem, source, target, options, none, &targetTrash).items, 1);
    // And the run itself refuses exactly the deletes the guard counted.
    SyncEngine engine(fileSystem, none, runState, report, host);
    engine.SetUserPlaces(targetTrash);
    SyncOptions refusing = options;
    refusing.emptySource = EmptySource::Refuse;
    refusing.jobs = jobs;
    engine.Run(source, target, refusing);
    ASSERT_EQ(report.problemLog.size(), 1u);
    EXPECT_EQ(report.problemLog[0].path, T("a"));
    EXPECT_TRUE(tree.Exists("target/Trash/files/old"));
}

TEST_F(EmptySourceLossesTest, WhatTheIgnoreRulesLeaveOutIsNoLossUnlessTheJobDeletesIt)
{
    tree.WriteFile("target/a.tmp", "a");
    tree.WriteFile("target/node_modules/x.js", "x");
    tree.WriteFile("target/big.iso", std::string(5000, 'b'));
    tree.WriteFile("target/real.txt", "r");
    SyncOptions options = unconfirmed;
    options.ignorePatterns = {{"*.tmp", "job.twp"}, {"node_modules/", "job.twp"}};
    options.maxFileSize = 4096;
    EXPECT_EQ(CountEmptySourceLosses(fileSystem, source, target, options, {}).items, 1);
    options.deleteIgnored = true;
    EXPECT_EQ(CountEmptySourceLosses(fileSystem, source, target, options, {}).items, 4);
}

} // namespace
} // namespace twinfol::test
