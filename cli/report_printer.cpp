// Text and JSON printing of a SyncReport.
#include "cli/report_printer.h"

#include <array>
#include <string_view>

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

} // namespace

void PrintReportText(const SyncReport& report, RunMode mode, std::ostream& out)
{
    out << (report.interrupted ? "Synchronisation interrupted" : "Synchronisation done:") << '\n';
    if (mode == RunMode::DryRun)
        out << "Dry run: nothing was changed\n";
    out << "Synchronisation target: " << ForTerminal(report.target) << '\n';
    out << "Synchronisation source: " << ForTerminal(report.source) << '\n';
    for (const ListLabels& labels : lists)
        out << labels.countLabel << ": " << report.Count(labels.list) << '\n';
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
            out << "  " << ForTerminal(problem.line) << '\n';
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
        << ", \"interrupted\": " << (report.interrupted ? "true" : "false");
    for (const ListLabels& labels : lists)
        out << ", \"" << labels.jsonCount << "\": " << report.Count(labels.list);
    for (const ListLabels& labels : lists) {
        out << ", \"" << labels.jsonList << "\": ";
        PrintJsonArray(report.List(labels.list), out);
    }
    out << ", \"problemLog\": ";
    PrintJsonArray(report.ProblemLines(), out);
    out << ", \"notes\": ";
    PrintJsonArray(report.notes, out);
    out << "}\n";
}

} // namespace twinfol::cli
