// The run records: reset for a new run, recording results in byte order, counts and problem lines.
#include <gtest/gtest.h>

#include "engine/records/sync_report.h"
#include "engine/records/sync_run_state.h"

using namespace twinfol;

TEST(SyncReport, ListsSortByUnsignedBytesPrefixFirst)
{
    SyncReport report;
    report.Record(ReportList::AddedFiles, "/t/a.txt");
    report.Record(ReportList::AddedFiles, "/t/x/inner.txt");
    report.Record(ReportList::AddedFiles, "/t/Z.txt");
    report.Record(ReportList::AddedFiles, "/t/x.txt");
    report.Record(ReportList::AddedFiles, "/t/\xC3\xA9.txt"); // é: above every ASCII byte
    report.Record(ReportList::AddedFiles, "/t/x");
    const std::vector<std::string> expected = {"/t/Z.txt", "/t/a.txt",       "/t/x",
                                               "/t/x.txt", "/t/x/inner.txt", "/t/\xC3\xA9.txt"};
    EXPECT_EQ(std::vector<std::string>(report.addedFiles.begin(), report.addedFiles.end()), expected);
}

TEST(SyncReport, CountGrowsOnlyWhenAnEntryIsInserted)
{
    SyncReport report;
    report.Record(ReportList::DeletedFolders, "/t/old");
    report.Record(ReportList::DeletedFolders, "/t/old");
    report.Record(ReportList::OverwrittenFiles, "/t/f");
    EXPECT_EQ(report.deletedFolderCount, 1);
    EXPECT_EQ(report.overwrittenFileCount, 1);
    EXPECT_EQ(report.addedFileCount, 0);
    for (auto list : {ReportList::OverwrittenFiles, ReportList::AddedFiles, ReportList::DeletedFiles,
                      ReportList::AddedFolders, ReportList::DeletedFolders})
        EXPECT_EQ(report.Count(list), static_cast<std::int32_t>(report.List(list).size()));
}

TEST(SyncReport, ProblemRecordsKeepTheirOrderRepeatsAndReasons)
{
    SyncReport report;
    report.RecordProblem(ProblemKind::DeleteFile, "/t/b", "Permission denied");
    report.RecordProblem(ProblemKind::CopyFile, "/t/a", "No space left on device");
    report.RecordProblem(ProblemKind::CopyFolder, "/s/dir", "Input/output error");
    report.RecordProblem(ProblemKind::DeleteFolder, "/t/dir", "the file is read-only");
    report.RecordProblem(ProblemKind::CopyFile, "/t/a", "No space left on device");
    const std::vector<std::string> expected = {
        "Could not delete file: /t/b", "Could not copy file: /t/a", "Could not copy folder: /s/dir",
        "Could not delete folder: /t/dir", "Could not copy file: /t/a"};
    EXPECT_EQ(report.ProblemLines(), expected);
    ASSERT_EQ(report.problemLog.size(), 5u);
    EXPECT_EQ(report.problemLog[3],
              (ProblemRecord{ProblemKind::DeleteFolder, "/t/dir", "Could not delete folder: /t/dir",
                             "the file is read-only"}));
}

TEST(SyncReport, ResetEmptiesEverythingButTheRoots)
{
    SyncReport report;
    report.RecordRun("/first/src/", "/first/tgt/", true);
    report.Record(ReportList::AddedFiles, "/first/tgt/a");
    report.Record(ReportList::DeletedFiles, "/first/tgt/b");
    report.Record(ReportList::AddedFolders, "/first/tgt/c");
    report.RecordProblem(ProblemKind::CopyFile, "/first/tgt/d", "Input/output error");
    report.ResetForRun();

    EXPECT_EQ(report.source, "/first/src/");
    EXPECT_EQ(report.target, "/first/tgt/");
    EXPECT_TRUE(report.HasRun());
    EXPECT_FALSE(report.interrupted);
    EXPECT_TRUE(report.problemLog.empty());
    for (auto list : {ReportList::OverwrittenFiles, ReportList::AddedFiles, ReportList::DeletedFiles,
                      ReportList::AddedFolders, ReportList::DeletedFolders}) {
        EXPECT_EQ(report.Count(list), 0);
        EXPECT_TRUE(report.List(list).empty());
    }
    report.RecordRun("/second/src/", "/second/tgt/", false);
    EXPECT_EQ(report.source, "/second/src/");
}

TEST(SyncReport, NoRunYetMeansNoLastReport)
{
    SyncReport report;
    EXPECT_FALSE(report.HasRun());
    report.RecordRun("/s/", "", false);
    EXPECT_FALSE(report.HasRun());
}

TEST(SyncRunState, ResetClearsStopAndToAllAnswersButNotDirection)
{
    SyncRunState state;
    state.runningDirection = SyncDirection::Location2ToLocation1;
    state.RequestStop();
    state.fileYesToAll = state.fileNoToAll = state.folderYesToAll = state.folderNoToAll = true;
    state.ResetForRun();
    EXPECT_FALSE(state.IsStopped());
    EXPECT_FALSE(state.fileYesToAll || state.fileNoToAll || state.folderYesToAll || state.folderNoToAll);
    EXPECT_EQ(state.runningDirection, SyncDirection::Location2ToLocation1);
}
