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

// A stop that cut the copy of an added folder short: the text marks it in the list, the JSON names it.
TEST(ReportPrinter, AnIncompleteAddedFolderIsMarkedInTheTextAndListedInTheJson)
{
    SyncReport report;
    report.Record(ReportList::AddedFolders, "/t/big");
    report.Record(ReportList::AddedFolders, "/t/part");
    report.Record(ReportList::AddedFolders, "/t/small");
    report.incompleteFolders.insert("/t/big");
    report.partlyCopiedFolders.insert("/t/part");
    report.RecordRun("/s/", "/t/", true);
    std::ostringstream text;
    PrintReportText(report, RunMode::Real, text);
    EXPECT_NE(text.str().find("Added Folders: 3\n"), std::string::npos);
    EXPECT_NE(text.str().find("\nAdded Folders:\n  /t/big (incomplete: interrupted)\n"
                              "  /t/part (incomplete: some items could not be copied)\n  /t/small\n"),
              std::string::npos)
        << text.str();
    std::ostringstream json;
    PrintReportJson(report, RunMode::Real, json);
    EXPECT_NE(json.str().find("\"addedFolders\": [\"/t/big\", \"/t/part\", \"/t/small\"]"),
              std::string::npos);
    EXPECT_NE(json.str().find("\"incompleteFolders\": [\"/t/big\"], \"partlyCopiedFolders\": [\"/t/part\"]"),
              std::string::npos)
        << json.str();
}

// Items that ignore rules left out: counted in the text, listed with their reasons only when asked,
// always in the JSON, in the order the walk met them.
TEST(ReportPrinter, IgnoredItemsAreCountedListedOnRequestAndInTheJson)
{
    SyncReport report;
    report.Record(ReportList::AddedFiles, "/t/a");
    report.ignoredItems = {{"/t/z.tmp", "excluded by pattern `*.tmp` (from job.twp)"},
                           {"/t/cache/", "excluded by pattern `cache/` (from --ignore)"},
                           {"/s/\"big\".iso", ""}};
    report.RecordRun("/s/", "/t/", false);
    std::ostringstream counted;
    PrintReportText(report, RunMode::Real, counted);
    EXPECT_NE(counted.str().find("Deleted Folders: 0\nIgnored items: 3\nFiles copied"), std::string::npos)
        << counted.str();
    EXPECT_EQ(counted.str().find("z.tmp"), std::string::npos);
    std::ostringstream listed;
    PrintReportText(report, RunMode::Real, listed, IgnoredDetail::List);
    EXPECT_NE(listed.str().find("\nAdded Files:\n  /t/a\n\nIgnored Items:\n"
                                "  /t/z.tmp (excluded by pattern `*.tmp` (from job.twp))\n"
                                "  /t/cache/ (excluded by pattern `cache/` (from --ignore))\n"
                                "  /s/\"big\".iso\n"),
              std::string::npos)
        << listed.str();
    std::ostringstream json;
    PrintReportJson(report, RunMode::Real, json);
    EXPECT_NE(json.str().find(
                  "\"ignoredCount\": 3, \"ignored\": ["
                  "{\"path\": \"/t/z.tmp\", \"reason\": \"excluded by pattern `*.tmp` (from job.twp)\"}, "
                  "{\"path\": \"/t/cache/\", \"reason\": \"excluded by pattern `cache/` (from --ignore)\"}, "
                  "{\"path\": \"/s/\\\"big\\\".iso\", \"reason\": \"\"}]"),
              std::string::npos)
        << json.str();
    // A report without ignored items reads as it did before there were any.
    std::ostringstream none;
    PrintReportText(SyncReport(), RunMode::Real, none, IgnoredDetail::List);
    EXPECT_EQ(none.str().find("Ignored"), std::string::npos);
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
        "\"incompleteFolders\": [], \"partlyCopiedFolders\": [], \"ignoredCount\": 0, \"ignored\": [], "
        "\"problemLog\": [\"Could not delete file: /t/z\", \"Could not copy folder: /s/\\\"q\\\"\"], "
        "\"problems\": [{\"line\": \"Could not delete file: /t/z\", \"reason\": \"Permission denied\"}, "
        "{\"line\": \"Could not copy folder: /s/\\\"q\\\"\", \"reason\": \"Input/output error\"}], "
        "\"notes\": [\"a \\\"note\\\"\"]}\n";
    EXPECT_EQ(out.str(), expected);
}

// An undo that restored two items, moved one to the Trash, left one alone and could not move another.
SyncReport SampleUndoReport()
{
    SyncReport report;
    report.StartUndo(std::chrono::system_clock::from_time_t(1699956000));
    report.RecordUndo(UndoList::Restored, "/t/over");
    report.RecordUndo(UndoList::Restored, "/t/back\x1B");
    report.RecordUndo(UndoList::Trashed, "/t/added");
    report.RecordProblem(ProblemKind::Undo, "/t/edited", "it changed since the run");
    report.RecordProblem(ProblemKind::MoveToTrash, "/t/ro", "Read-only file system");
    report.Finish(std::chrono::system_clock::from_time_t(1699956002) + std::chrono::milliseconds(500));
    report.RecordRun("/s/", "/t/", false);
    return report;
}

TEST(ReportPrinter, AnUndoHasItsOwnHeadingCountsAndListsAndNoWordsOfARun)
{
    std::ostringstream out;
    PrintReportText(SampleUndoReport(), RunMode::Real, out);
    const std::string expected = "=== " + SampleTime() +
                                 "  /s/ ==>> /t/  (2.5 seconds)\n"
                                 "Undo done:\n"
                                 "Synchronisation target: /t/\n"
                                 "Synchronisation source: /s/\n"
                                 "Restored: 2\n"
                                 "Moved to the Trash: 1\n"
                                 "Left alone: 1\n"
                                 "Duration: 2.5 seconds\n"
                                 "\nRestored:\n  /t/back\\x1b\n  /t/over\n"
                                 "\nMoved to the Trash:\n  /t/added\n"
                                 "\nLeft Alone:\n  Could not undo: /t/edited (it changed since the run)\n"
                                 "\nSome problems were encountered\nProblem Log:\n"
                                 "  Could not move to the Trash: /t/ro (Read-only file system)\n";
    EXPECT_EQ(out.str(), expected);

    SyncReport stopped = SampleUndoReport();
    stopped.interrupted = true;
    std::ostringstream stoppedOut;
    PrintReportText(stopped, RunMode::DryRun, stoppedOut);
    EXPECT_NE(stoppedOut.str().find("\nUndo interrupted:\nDry run: nothing was changed\n"), std::string::npos)
        << stoppedOut.str();
}

TEST(ReportPrinter, AnUndosJsonHasItsCountsAndListsInPlaceOfARuns)
{
    std::ostringstream out;
    PrintReportJson(SampleUndoReport(), RunMode::Real, out);
    const std::string json = out.str();
    const std::size_t timeStart = json.find("\"startTime\": \"") + 14;
    EXPECT_EQ(json.substr(0, timeStart),
              "{\"source\": \"/s/\", \"target\": \"/t/\", \"undo\": true, \"dryRun\": false, "
              "\"interrupted\": false, \"startTime\": \"");
    EXPECT_EQ(json.substr(timeStart, 4), "2023");
    const std::size_t rest = json.find("\", \"durationSeconds\"");
    ASSERT_NE(rest, std::string::npos);
    EXPECT_EQ(
        json.substr(rest),
        "\", \"durationSeconds\": 2.500, \"restoredCount\": 2, \"trashedCount\": 1, "
        "\"leftAloneCount\": 1, \"restored\": [\"/t/back\\u001b\", \"/t/over\"], \"trashed\": "
        "[\"/t/added\"], "
        "\"leftAlone\": [{\"path\": \"/t/edited\", \"reason\": \"it changed since the run\"}], "
        "\"problemLog\": [\"Could not undo: /t/edited\", \"Could not move to the Trash: /t/ro\"], "
        "\"problems\": [{\"line\": \"Could not undo: /t/edited\", \"reason\": \"it changed since the run\"}, "
        "{\"line\": \"Could not move to the Trash: /t/ro\", \"reason\": \"Read-only file system\"}], "
        "\"notes\": []}\n");
    for (const char* runKey : {"\"added", "\"deleted", "\"overwritten", "\"filesCopied", "\"bytesCopied"})
        EXPECT_EQ(json.find(runKey), std::string::npos) << runKey;
}

} // namespace
} // namespace twinfol::cli
