// Text and JSON printing of a SyncReport.
#include "cli/report_printer.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <string_view>

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

void PrintReportText(const SyncReport& report, RunMode mode, std::ostream& out)
{
    out << RunHeader(report.startTime, RunSubject(report.source, report.target),
                     DurationText(report.durationSeconds))
        << '\n';
    out << (report.interrupted ? "Synchronisation interrupted" : "Synchronisation done:") << '\n';
    if (mode == RunMode::DryRun)
        out << "Dry run: nothing was changed\n";
    out << "Synchronisation target: " << ForTerminal(report.target) << '\n';
    out << "Synchronisation source: " << ForTerminal(report.source) << '\n';
    for (const ListLabels& labels : lists)
        out << labels.countLabel << ": " << report.Count(labels.list) << '\n';
    out << "Files copied: " << report.filesCopied << '\n';
    out << "Bytes copied: " << report.bytesCopied;
    if (report.bytesCopied >= 1024)
        out << " (" << FormatBytes(report.bytesCopied) << ')';
    out << '\n' << "Duration: " << DurationText(report.durationSeconds) << '\n';
    for (const ListLabels& labels : lists) {
        const PathSet& paths = report.List(labels.list);
        if (paths.empty())
            continue;
        out << '\n' << labels.listTitle << ":\n";
        for (const std::string& path : paths)
            out << "  " << ForTerminal(path) << '\n';
    }
    if (!report.problemLog.empty()) {
        out << "\nSome problems were encountered\nProblem Log:\n";
        for (const ProblemRecord& problem : report.problemLog)
            out << "  " << ForTerminal(ProblemText(problem)) << '\n';
    }
    if (!report.notes.empty()) {
        out << "\nNotes:\n";
        for (const std::string& note : report.notes)
            out << "  " << ForTerminal(note) << '\n';
    }
}

void PrintReportJson(const SyncReport& report, RunMode mode, std::ostream& out)
{
    out << "{\"source\": " << JsonQuoted(report.source) << ", \"target\": " << JsonQuoted(report.target)
        << ", \"dryRun\": " << (mode == RunMode::DryRun ? "true" : "false")
        << ", \"interrupted\": " << (report.interrupted ? "true" : "false")
        << ", \"startTime\": " << JsonQuoted(JsonTime(report.startTime)) << ", \"durationSeconds\": ";
    std::array<char, 48> duration{};
    std::snprintf(duration.data(), duration.size(), "%.3f", report.durationSeconds);
    out << duration.data();
    for (const ListLabels& labels : lists)
        out << ", \"" << labels.jsonCount << "\": " << report.Count(labels.list);
    out << ", \"filesCopied\": " << report.filesCopied << ", \"bytesCopied\": " << report.bytesCopied;
    for (const ListLabels& labels : lists) {
        out << ", \"" << labels.jsonList << "\": ";
        PrintJsonArray(report.List(labels.list), out);
    }
    out << ", \"addedFolderContents\": ";
    PrintFolderContents(report, out);
    out << ", \"problemLog\": ";
    PrintJsonArray(report.ProblemLines(), out);
    out << ", \"problems\": ";
    PrintProblems(report, out);
    out << ", \"notes\": ";
    PrintJsonArray(report.notes, out);
    out << "}\n";
}

} // namespace twinfol::cli
