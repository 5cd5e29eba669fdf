// Text and JSON printing of a SyncReport.
#include "cli/report_printer.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <vector>

#include "cli/progress_status.h"
#include "cli/text_encoding.h"
#include "engine/records/report_json.h"

namespace twinfol::cli {
namespace {

struct ListLabels {
    ReportList list;
    std::string_view countLabel; // as the report window labels the count
    std::string_view listTitle;  // as the detailed report names the list
};

constexpr std::array<ListLabels, 5> lists = {{
    {ReportList::OverwrittenFiles, "Overwritten files", "Overwritten Files"},
    {ReportList::AddedFiles, "Added files", "Added Files"},
    {ReportList::DeletedFiles, "Deleted files", "Deleted Files"},
    {ReportList::AddedFolders, "Added Folders", "Added Folders"},
    {ReportList::DeletedFolders, "Deleted Folders", "Deleted Folders"},
}};

struct UndoLabels {
    UndoList list;
    std::string_view countLabel;
    std::string_view listTitle;
};

constexpr std::array<UndoLabels, 2> undoLists = {{
    {UndoList::Restored, "Restored", "Restored"},
    {UndoList::Trashed, "Moved to the Trash", "Moved to the Trash"},
}};

std::string FormatLocalTime(std::chrono::system_clock::time_point time, const char* format)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    std::array<char, 64> text{};
    return std::string(text.data(), std::strftime(text.data(), text.size(), format, &local));
}

std::string ProblemText(const ProblemRecord& problem)
{
    return problem.reason.empty() ? problem.line : problem.line + " (" + problem.reason + ")";
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
    WriteReportJson(report, mode == RunMode::DryRun ? ReportRunMode::DryRun : ReportRunMode::Real, out);
}

} // namespace twinfol::cli
