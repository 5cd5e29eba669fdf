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
    report.startTime = std::chrono::system_clock::from_time_t(1699956000);
    report.durationSeconds = 83.25;
    report.filesCopied = 4;
    report.bytesCopied = 123456;
    report.addedFolderContents["/t/new\x1B"] = {3, 1000};
    return report;
}

// The header's date and time, as this machine's time zone shows them.
std::string SampleTime()
{
    return LocalTimeText(std::chrono::system_clock::from_time_t(1699956000));
}

TEST(ReportPrinter, TextHasHeadingRootsCountsListsAndProblems)
{
    std::ostringstream out;
    PrintReportText(SampleReport(), RunMode::Real, out);
    const std::string expected = "=== " + SampleTime() +
                                 "  /s/ ==>> /t/  (83.2 seconds)\n"
                                 "Synchronisation done:\n"
                                 "Synchronisation target: /t/\n"
                                 "Synchronisation source: /s/\n"
                                 "Overwritten files: 1\n"
                                 "Added files: 2\n"
                                 "Deleted files: 0\n"
                                 "Added Folders: 0\n"
                                 "Deleted Folders: 1\n"
                                 "Files copied: 4\n"
                                 "Bytes copied: 123456 (120.6 KiB)\n"
                                 "Duration: 83.2 seconds\n"
                                 "\nOverwritten Files:\n  /t/caf\\xe9\n"
                                 "\nAdded Files:\n  /t/A.txt\n  /t/b.txt\n"
                                 "\nDeleted Folders:\n  /t/old\n"
                                 "\nSome problems were encountered\nProblem Log:\n"
                                 "  Could not delete file: /t/z (Permission denied)\n"
                                 "  Could not copy folder: /s/\"q\" (Input/output error)\n"
                                 "\nNotes:\n  a \"note\"\n";
    EXPECT_EQ(out.str(), expected);
}

TEST(ReportPrinter, TextMarksInterruptedAndDryRuns)
{
    SyncReport report;
    report.RecordRun("/s/", "/t/", true);
    std::ostringstream out;
    PrintReportText(report, RunMode::DryRun, out);
    const std::string text = out.str();
    EXPECT_EQ(text.substr(text.find('\n') + 1, text.find("Synchronisation target") - text.find('\n') - 1),
              "Synchronisation interrupted\nDry run: nothing was changed\n");
    EXPECT_EQ(out.str().find("Some problems"), std::string::npos);
}

TEST(ReportPrinter, JsonHoldsEveryFieldInReportOrder)
{
    std::ostringstream out;
    PrintReportJson(SampleReport(), RunMode::DryRun, out);
    // 2023-11-14 10:00:00 UTC, as RFC 3339 writes it in this machine's time zone.
    std::string time = SampleTime();
    time[10] = 'T';
    time.erase(19, 1);
    time.insert(time.size() - 2, ":");
    const std::string expected =
        "{\"source\": \"/s/\", \"target\": \"/t/\", \"dryRun\": true, \"interrupted\": false, "
        "\"startTime\": \"" +
        time +
        "\", \"durationSeconds\": 83.250, "
        "\"overwrittenFileCount\": 1, \"addedFileCount\": 2, \"deletedFileCount\": 0, "
        "\"addedFolderCount\": 0, \"deletedFolderCount\": 1, \"filesCopied\": 4, \"bytesCopied\": 123456, "
        "\"overwrittenFiles\": [\"/t/caf\\u00e9\"], \"addedFiles\": [\"/t/A.txt\", \"/t/b.txt\"], "
        "\"deletedFiles\": [], \"addedFolders\": [], \"deletedFolders\": [\"/t/old\"], "
        "\"addedFolderContents\": {\"/t/new\\u001b\": {\"files\": 3, \"bytes\": 1000}}, "
        "\"problemLog\": [\"Could not delete file: /t/z\", \"Could not copy folder: /s/\\\"q\\\"\"], "
        "\"problems\": [{\"line\": \"Could not delete file: /t/z\", \"reason\": \"Permission denied\"}, "
        "{\"line\": \"Could not copy folder: /s/\\\"q\\\"\", \"reason\": \"Input/output error\"}], "
        "\"notes\": [\"a \\\"note\\\"\"]}\n";
    EXPECT_EQ(out.str(), expected);
}

} // namespace
} // namespace twinfol::cli
