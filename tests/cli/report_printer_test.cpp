// The report as text in the report window's words, and as one JSON object.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/report_printer.h"

namespace twinfol::cli {
namespace {

SyncReport SampleReport()
{
    SyncReport report;
    report.Record(ReportList::AddedFiles, "/t/b.txt");
    report.Record(ReportList::AddedFiles, "/t/A.txt");
    report.Record(ReportList::DeletedFolders, "/t/old");
    report.Record(ReportList::OverwrittenFiles, "/t/caf\xE9");
    report.RecordProblem(ProblemKind::DeleteFile, "/t/z", "Permission denied");
    report.RecordProblem(ProblemKind::CopyFolder, "/s/\"q\"", "Input/output error");
    report.notes.push_back("a \"note\"");
    report.RecordRun("/s/", "/t/", false);
    return report;
}

TEST(ReportPrinter, TextHasHeadingRootsCountsListsAndProblems)
{
    std::ostringstream out;
    PrintReportText(SampleReport(), RunMode::Real, out);
    const std::string expected = "Synchronisation done:\n"
                                 "Synchronisation target: /t/\n"
                                 "Synchronisation source: /s/\n"
                                 "Overwritten files: 1\n"
                                 "Added files: 2\n"
                                 "Deleted files: 0\n"
                                 "Added Folders: 0\n"
                                 "Deleted Folders: 1\n"
                                 "\nOverwritten Files:\n  /t/caf\xE9\n"
                                 "\nAdded Files:\n  /t/A.txt\n  /t/b.txt\n"
                                 "\nDeleted Folders:\n  /t/old\n"
                                 "\nSome problems were encountered\nProblem Log:\n"
                                 "  Could not delete file: /t/z\n  Could not copy folder: /s/\"q\"\n"
                                 "\nNotes:\n  a \"note\"\n";
    EXPECT_EQ(out.str(), expected);
}

TEST(ReportPrinter, TextMarksInterruptedAndDryRuns)
{
    SyncReport report;
    report.RecordRun("/s/", "/t/", true);
    std::ostringstream out;
    PrintReportText(report, RunMode::DryRun, out);
    EXPECT_EQ(out.str().substr(0, out.str().find("Synchronisation target")),
              "Synchronisation interrupted\nDry run: nothing was changed\n");
    EXPECT_EQ(out.str().find("Some problems"), std::string::npos);
}

TEST(ReportPrinter, JsonHoldsEveryFieldInReportOrder)
{
    std::ostringstream out;
    PrintReportJson(SampleReport(), RunMode::DryRun, out);
    const std::string expected =
        "{\"source\": \"/s/\", \"target\": \"/t/\", \"dryRun\": true, \"interrupted\": false, "
        "\"overwrittenFileCount\": 1, \"addedFileCount\": 2, \"deletedFileCount\": 0, "
        "\"addedFolderCount\": 0, \"deletedFolderCount\": 1, "
        "\"overwrittenFiles\": [\"/t/caf\\u00e9\"], \"addedFiles\": [\"/t/A.txt\", \"/t/b.txt\"], "
        "\"deletedFiles\": [], \"addedFolders\": [], \"deletedFolders\": [\"/t/old\"], "
        "\"problemLog\": [\"Could not delete file: /t/z\", \"Could not copy folder: /s/\\\"q\\\"\"], "
        "\"notes\": [\"a \\\"note\\\"\"]}\n";
    EXPECT_EQ(out.str(), expected);
}

} // namespace
} // namespace twinfol::cli
