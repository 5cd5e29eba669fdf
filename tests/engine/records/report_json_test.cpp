// A report written as JSON reads back as the same report: what the history and the window show of a
// past run is what the run recorded.
#include <gtest/gtest.h>

#include <sstream>

#include "base/json_text.h"
#include "engine/records/report_json.h"

namespace twinfol {
namespace {

std::string Written(const SyncReport& report)
{
    std::ostringstream text;
    WriteReportJson(report, ReportRunMode::Real, text);
    return text.str();
}

TEST(ReportJson, ARunsReportReadsBackWithItsListsProblemsAndNotes)
{
    SyncReport report;
    report.RecordRun("/src/", "/dst/", true);
    report.startTime = std::chrono::system_clock::from_time_t(1'700'000'000);
    report.durationSeconds = 2.5;
    report.Record(ReportList::AddedFiles, "/dst/new \"quoted\"\tname");
    report.Record(ReportList::AddedFolders, "/dst/tree/");
    report.incompleteFolders.insert("/dst/tree/");
    report.Record(ReportList::AddedFolders, "/dst/part/");
    report.partlyCopiedFolders.insert("/dst/part/");
    report.addedFolderContents["/dst/tree/"] = {3, 4096};
    report.Record(ReportList::DeletedFiles, "/dst/caf\xC3\xA9");
    report.RecordProblem(ProblemKind::CopyFile, "/dst/locked", "Permission denied");
    report.RecordProblem(ProblemKind::ReadFolder, "/src/hidden/", "Input/output error");
    report.notes.push_back("a note");
    report.filesCopied = 4;
    report.bytesCopied = 5000;

    const std::optional<SyncReport> read = ReadReportJson(Written(report));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->source, "/src/");
    EXPECT_TRUE(read->interrupted);
    EXPECT_EQ(read->startTime, report.startTime);
    EXPECT_DOUBLE_EQ(read->durationSeconds, 2.5);
    EXPECT_EQ(read->addedFiles, report.addedFiles);
    EXPECT_EQ(read->addedFileCount, 1);
    EXPECT_EQ(read->deletedFiles, report.deletedFiles);
    EXPECT_EQ(read->MarkedList(ReportList::AddedFolders), report.MarkedList(ReportList::AddedFolders));
    EXPECT_EQ(read->partlyCopiedFolders, report.partlyCopiedFolders);
    EXPECT_EQ(read->addedFolderContents, report.addedFolderContents);
    EXPECT_EQ(read->problemLog, report.problemLog);
    EXPECT_EQ(read->notes, report.notes);
    EXPECT_EQ(read->bytesCopied, 5000u);
    EXPECT_TRUE(read->refusal.empty());
}

TEST(ReportJson, AnUndoAndARefusalReadBackAsSuch)
{
    SyncReport undo;
    undo.StartUndo(std::chrono::system_clock::from_time_t(1'700'000'000));
    undo.RecordRun("/src/", "/dst/", false);
    undo.RecordUndo(UndoList::Trashed, "/dst/added");
    undo.RecordProblem(ProblemKind::Undo, "/dst/edited", "it changed since the run");
    const std::optional<SyncReport> readUndo = ReadReportJson(Written(undo));
    ASSERT_TRUE(readUndo);
    EXPECT_EQ(readUndo->kind, ReportKind::Undo);
    EXPECT_EQ(readUndo->trashed, undo.trashed);
    ASSERT_EQ(readUndo->LeftAlone().size(), 1u);
    EXPECT_EQ(readUndo->LeftAlone()[0]->path, "/dst/edited");

    SyncReport refused;
    refused.RecordRun("/src/", "/dst/", false);
    refused.refusal = "Another run is writing to the target.";
    const std::optional<SyncReport> readRefusal = ReadReportJson(Written(refused));
    ASSERT_TRUE(readRefusal);
    EXPECT_EQ(readRefusal->refusal, refused.refusal);
}

TEST(ReportJson, TextThatIsNoReportIsRefused)
{
    EXPECT_FALSE(ReadReportJson(""));
    EXPECT_FALSE(ReadReportJson("[1, 2]"));
    EXPECT_FALSE(ReadReportJson("{\"source\": \"/a/\"}"));
    EXPECT_FALSE(ReadReportJson("{\"source\": \"/a/\", \"target\": \"/b/\""));
    EXPECT_FALSE(ParseJson(std::string(100, '[') + std::string(100, ']')));
    EXPECT_EQ(ReadReportTime("2026-03-01T14:05:09+01:00"), ReadReportTime("2026-03-01T13:05:09+00:00"));
    const std::optional<JsonValue> escaped = ParseJson("\"\\u00e9\\ud83d\\ude00\\n\"");
    ASSERT_TRUE(escaped);
    EXPECT_EQ(escaped->text, "\xC3\xA9\xF0\x9F\x98\x80\n");
}

} // namespace
} // namespace twinfol
