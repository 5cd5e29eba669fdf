// Printing the history of runs.
#include "cli/history_printer.h"

#include "cli/report_printer.h"
#include "cli/text_encoding.h"
#include "engine/records/report_json.h"

namespace twinfol::cli {
namespace {

std::chrono::system_clock::time_point StartOf(const RunHistoryEntry& entry)
{
    return std::chrono::system_clock::from_time_t(static_cast<std::time_t>(entry.started));
}

} // namespace

void PrintHistoryText(const std::vector<RunHistoryEntry>& entries, std::ostream& out)
{
    if (entries.empty())
        out << "No runs in the history.\n";
    for (const RunHistoryEntry& entry : entries)
        out << RunHeader(StartOf(entry), RunSubject(entry.source, entry.target), HistoryOutcome(entry))
            << '\n';
}

void PrintHistoryJson(const std::vector<RunHistoryEntry>& entries, std::ostream& out)
{
    out << '[';
    bool first = true;
    for (const RunHistoryEntry& entry : entries) {
        out << (first ? "" : ", ") << "{\"startTime\": " << JsonQuoted(ReportTimeText(StartOf(entry)))
            << ", \"kind\": " << (entry.kind == ReportKind::Undo ? "\"undo\"" : "\"run\"")
            << ", \"source\": " << JsonQuoted(entry.source) << ", \"target\": " << JsonQuoted(entry.target)
            << ", \"overwrittenFileCount\": " << entry.overwrittenFiles
            << ", \"addedFileCount\": " << entry.addedFiles
            << ", \"deletedFileCount\": " << entry.deletedFiles
            << ", \"addedFolderCount\": " << entry.addedFolders
            << ", \"deletedFolderCount\": " << entry.deletedFolders
            << ", \"restoredCount\": " << entry.restored << ", \"trashedCount\": " << entry.trashed
            << ", \"problemCount\": " << entry.problems
            << ", \"interrupted\": " << (entry.interrupted ? "true" : "false")
            << ", \"undone\": " << (entry.undone ? "true" : "false")
            << ", \"lastOfTarget\": " << (entry.lastOfTarget ? "true" : "false")
            << ", \"refusal\": " << JsonQuoted(entry.refusal)
            << ", \"journal\": " << JsonQuoted(entry.journalPath)
            << ", \"report\": " << JsonQuoted(entry.reportPath) << '}';
        first = false;
    }
    out << "]\n";
}

} // namespace twinfol::cli
