// Text and JSON printing of a SyncReport.
#include "cli/report_printer.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <vector>

#include "cli/progress_status.h"
#include "cli/text_encoding.h"

namespace twinfol::cli {
namespace {

struct ListLabels {
    ReportList list;
    std::string_view countLabel; // as the report window labels the count
    std::string_view listTitle;  // as the detailed report names the list
    std::string_view jsonCount;
    std::string_view jsonList;
};

constexpr std::array<ListLabels, 5> lists = {{
    {ReportList::OverwrittenFiles, "Overwritten files", "Overwritten Files", "overwrittenFileCount",
     "overwrittenFiles"},
    {ReportList::AddedFiles, "Added files", "Added Files", "addedFileCount", "addedFiles"},
    {ReportList::DeletedFiles, "Deleted files", "Deleted Files", "deletedFileCount", "deletedFiles"},
    {ReportList::AddedFolders, "Added Folders", "Added Folders", "addedFolderCount", "addedFolders"},
    {ReportList::DeletedFolders, "Deleted Folders", "Deleted Folders", "deletedFolderCount",
     "deletedFolders"},
}};

struct UndoLabels {
    UndoList list;
    std::string_view countLabel;
    std::string_view listTitle;
    std::string_view jsonCount;
    std::string_view jsonList;
};

constexpr std::array<UndoLabels, 2> undoLists = {{
    {UndoList::Restored, "Restored", "Restored", "restoredCount", "restored"},
    {UndoList::Trashed, "Moved to the Trash", "Moved to the Trash", "trashedCount", "trashed"},
}};

template <typename Strings> void PrintJsonArray(const Strings& strings, std::ostream& out)
{
    out << '[';
    bool first = true;
    for (const std::string& text : strings) {
        out << (first ? "" : ", ") << JsonQuoted(text);
        first = false;
    }
    out << ']';
}

std::string FormatLocalTime(std::chrono::system_clock::time_point time, const char* format)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    std::array<char, 64> text{};
    return std::string(text.data(), std::strftime(text.data(), text.size(), format, &local));
}

// RFC 3339: like ISO 8601's "2026-03-01T14:05:09+01:00", the offset with its colon.
std::string JsonTime(std::chrono::system_clock::time_point time)
{
    std::string text = FormatLocalTime(time, "%Y-%m-%dT%H:%M:%S%z");
    if (text.size() > 2)
        text.insert(text.size() - 2, 1, ':');
    return text;
}

std::string ProblemText(const ProblemRecord& problem)
{
    return problem.reason.empty() ? problem.line : problem.line + " (" + problem.reason + ")";
}

void PrintFolderContents(const SyncReport& report, std::ostream& out)
{
    out << '{';
    bool first = true;
    for (const auto& [path, contents] : report.addedFolderContents) {
        out << (first ? "" : ", ") << JsonQuoted(path) << ": {\"files\": " << contents.files
            << ", \"bytes\": " << contents.bytes << '}';
        first = false;
    }
    out << '}';
}

void PrintProblems(const SyncReport& report, std::ostream& out)
{
    out << '[';
    bool first = true;
    for (const ProblemRecord& problem : report.problemLog) {
        out << (first ? "" : ", ") << "{\"line\": " << JsonQuoted(problem.line)
            << ", \"reason\": " << JsonQuoted(problem.reason) << '}';
        first = false;
    }
    out << ']';
}

const char* Heading(const SyncReport& report)
{
    if (report.kind == ReportKind::Undo)
        return report.interrupted ? "Undo interrupted:" : "Undo done:";
    return report.interrupted ? "Synchronisation interrupted" : "Synchronisation done:";
}

std::string IgnoredText(const IgnoredItem& item)
{
    return item.reason.empty() ? item.path : item.path + " (" + item.reason + ")";
}

void PrintRunText(const SyncReport& report, IgnoredDetail ignored, std::ostream& out)
{
    for (const ListLabels& labels : lists)
        out << labels.countLabel << ": " << report.Count(labels.list) << '\n';
    // Only a run with ignore rules meets ignored items; every other report reads as it always did.
    if (!report.ignoredItems.empty())
        out << "Ignored items: " << report.ignoredItems.size() << '\n';
    out << "Files copied: " << report.filesCopied << '\n';
    out << "Bytes copied: " << report.bytesCopied;
    if (report.bytesCopied >= 1024)
        out << " (" << FormatBytes(report.bytesCopied) << ')';
    out << '\n' << "Duration: " << DurationText(report.durationSeconds) << '\n';
    for (const ListLabels& labels : lists) {
        const std::vector<std::string> paths = report.MarkedList(labels.list);
        if (paths.empty())
            continue;
        out << '\n' << labels.listTitle << ":\n";
        for (const std::string& path : paths)
            out << "  " << ForTerminal(path) << '\n';
    }
    if (ignored == IgnoredDetail::List && !report.ignoredItems.empty()) {
        out << "\nIgnored Items:\n";
        for (const IgnoredItem& item : report.ignoredItems)
            out << "  " << ForTerminal(IgnoredText(item)) << '\n';
    }
}

// An undo's counts and lists, in words that say what it took back: nothing here reads "added" or
// "deleted", which for an undo would mean the opposite of a run's.
void PrintUndoText(const SyncReport& report, std::ostream& out)
{
    const std::vector<const ProblemRecord*> leftAlone = report.LeftAlone();
    for (const UndoLabels& labels : undoLists)
        out << labels.countLabel << ": " << report.Count(labels.list) << '\n';
    out << "Left alone: " << leftAlone.size() << '\n';
    out << "Duration: " << DurationText(report.durationSeconds) << '\n';
    for (const UndoLabels& labels : undoLists) {
        const PathSet& paths = report.List(labels.list);
        if (paths.empty())
            continue;
        out << '\n' << labels.listTitle << ":\n";
        for (const std::string& path : paths)
            out << "  " << ForTerminal(path) << '\n';
    }
    if (leftAlone.empty())
        return;
    out << "\nLeft Alone:\n";
    for (const ProblemRecord* problem : leftAlone) {
        // Each as its problem line reads, so that the line a person searches for is found here too.
        const std::string line = "Could not undo: " + problem->path;
        const std::string text = problem->reason.empty() ? line : line + " (" + problem->reason + ")";
        out << "  " << ForTerminal(text) << '\n';
    }
}

void PrintRunJson(const SyncReport& report, std::ostream& out)
{
    for (const ListLabels& labels : lists)
        out << ", \"" << labels.jsonCount << "\": " << report.Count(labels.list);
    out << ", \"filesCopied\": " << report.filesCopied << ", \"bytesCopied\": " << report.bytesCopied;
    for (const ListLabels& labels : lists) {
        out << ", \"" << labels.jsonList << "\": ";
        PrintJsonArray(report.List(labels.list), out);
    }
    out << ", \"addedFolderContents\": ";
    PrintFolderContents(report, out);
    out << ", \"incompleteFolders\": ";
    PrintJsonArray(report.AllIncompleteFolders(), out);
    out << ", \"ignoredCount\": " << report.ignoredItems.size() << ", \"ignored\": [";
    bool first = true;
    for (const IgnoredItem& item : report.ignoredItems) {
        out << (first ? "" : ", ") << "{\"path\": " << JsonQuoted(item.path)
            << ", \"reason\": " << JsonQuoted(item.reason) << '}';
        first = false;
    }
    out << ']';
}

void PrintUndoJson(const SyncReport& report, std::ostream& out)
{
    const std::vector<const ProblemRecord*> leftAlone = report.LeftAlone();
    for (const UndoLabels& labels : undoLists)
        out << ", \"" << labels.jsonCount << "\": " << report.Count(labels.list);
    out << ", \"leftAloneCount\": " << leftAlone.size();
    for (const UndoLabels& labels : undoLists) {
        out << ", \"" << labels.jsonList << "\": ";
        PrintJsonArray(report.List(labels.list), out);
    }
    out << ", \"leftAlone\": [";
    bool first = true;
    for (const ProblemRecord* problem : leftAlone) {
        out << (first ? "" : ", ") << "{\"path\": " << JsonQuoted(problem->path)
            << ", \"reason\": " << JsonQuoted(problem->reason) << '}';
        first = false;
    }
    out << ']';
}

} // namespace

std::string LocalTimeText(std::chrono::system_clock::time_point time)
{
    return FormatLocalTime(time, "%Y-%m-%d %H:%M:%S %z");
}

std::string RunSubject(const std::string& source, const std::string& target)
{
    return ForTerminal(source) + " ==>> " + ForTerminal(target);
}

std::string RunHeader(std::chrono::system_clock::time_point start, const std::string& subject,
                      const std::string& outcome)
{
    return "=== " + LocalTimeText(start) + "  " + ForTerminal(subject) + "  (" + outcome + ")";
}

std::string DurationText(double seconds)
{
    std::array<char, 48> text{};
    std::snprintf(text.data(), text.size(), "%.1f seconds", seconds);
    return text.data();
}

void PrintReportText(const SyncReport& report, RunMode mode, std::ostream& out, IgnoredDetail ignored)
{
    const bool undo = report.kind == ReportKind::Undo;
    out << RunHeader(report.startTime, RunSubject(report.source, report.target),
                     DurationText(report.durationSeconds))
        << '\n';
    out << Heading(report) << '\n';
    if (mode == RunMode::DryRun)
        out << "Dry run: nothing was changed\n";
    out << "Synchronisation target: " << ForTerminal(report.target) << '\n';
    out << "Synchronisation source: " << ForTerminal(report.source) << '\n';
    if (undo)
        PrintUndoText(report, out);
    else
        PrintRunText(report, ignored, out);
    // An undo's items left alone are listed above with their reasons; the log keeps the rest.
    std::vector<const ProblemRecord*> problems;
    for (const ProblemRecord& problem : report.problemLog)
        if (!undo || problem.kind != ProblemKind::Undo)
            problems.push_back(&problem);
    if (!problems.empty()) {
        out << "\nSome problems were encountered\nProblem Log:\n";
        for (const ProblemRecord* problem : problems)
            out << "  " << ForTerminal(ProblemText(*problem)) << '\n';
    }
    if (!report.notes.empty()) {
        out << "\nNotes:\n";
        for (const std::string& note : report.notes)
            out << "  " << ForTerminal(note) << '\n';
    }
}

void PrintReportJson(const SyncReport& report, RunMode mode, std::ostream& out)
{
    const bool undo = report.kind == ReportKind::Undo;
    out << "{\"source\": " << JsonQuoted(report.source) << ", \"target\": " << JsonQuoted(report.target);
    if (undo)
        out << ", \"undo\": true";
    out << ", \"dryRun\": " << (mode == RunMode::DryRun ? "true" : "false")
        << ", \"interrupted\": " << (report.interrupted ? "true" : "false")
        << ", \"startTime\": " << JsonQuoted(JsonTime(report.startTime)) << ", \"durationSeconds\": ";
    std::array<char, 48> duration{};
    std::snprintf(duration.data(), duration.size(), "%.3f", report.durationSeconds);
    out << duration.data();
    if (undo)
        PrintUndoJson(report, out);
    else
        PrintRunJson(report, out);
    out << ", \"problemLog\": ";
    PrintJsonArray(report.ProblemLines(), out);
    out << ", \"problems\": ";
    PrintProblems(report, out);
    out << ", \"notes\": ";
    PrintJsonArray(report.notes, out);
    out << "}\n";
}

} // namespace twinfol::cli
