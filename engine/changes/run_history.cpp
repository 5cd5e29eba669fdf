// Reading the history of runs from the journal folder, and pruning it.
#include "engine/changes/run_history.h"

#include <algorithm>
#include <map>
#include <optional>

#include "base/path.h"
#include "engine/changes/journal_folder.h"
#include "engine/changes/journal_record.h"
#include "engine/changes/kept_report.h"
#include "engine/records/report_json.h"

namespace twinfol {
namespace {

constexpr std::int64_t secondsPerDay = 86400;
constexpr std::string_view journalEnding = ".journal";
// YYYYMMDDTHHMMSS.NNNNNNNNN
constexpr std::size_t stampLength = 25;

std::string StemOf(const JournalFile& file, std::string_view ending)
{
    return file.name.substr(0, file.name.size() - ending.size());
}

std::optional<Journal> ReadJournalAt(FileSystem& fileSystem, const std::string& path)
{
    std::string text;
    if (!fileSystem.ReadFile(path, maxJournalBytes, text))
        return std::nullopt;
    return ParseJournal(text);
}

void CountFromJournal(const Journal& journal, RunHistoryEntry& entry)
{
    entry.kind = journal.header.kind == JournalKind::Undo ? ReportKind::Undo : ReportKind::Run;
    entry.source = journal.header.source;
    entry.target = journal.header.target;
    entry.undone = journal.undone;
    for (const JournalRecord& record : journal.records)
        switch (record.entry) {
        case JournalEntry::AddedFile: ++entry.addedFiles; break;
        case JournalEntry::AddedFolder: ++entry.addedFolders; break;
        case JournalEntry::Overwritten: ++entry.overwrittenFiles; break;
        case JournalEntry::DeletedFile: ++entry.deletedFiles; break;
        case JournalEntry::DeletedFolder: ++entry.deletedFolders; break;
        }
}

// The report's counts win over the journal's: they are the run's own, problems and all.
void CountFromReport(const SyncReport& report, RunHistoryEntry& entry)
{
    entry.kind = report.kind;
    // The journal names the folders with links resolved; a report names them as they were given.
    if (entry.journalPath.empty()) {
        entry.source = report.source;
        entry.target = report.target;
    }
    entry.overwrittenFiles = report.overwrittenFileCount;
    entry.addedFiles = report.addedFileCount;
    entry.deletedFiles = report.deletedFileCount;
    entry.addedFolders = report.addedFolderCount;
    entry.deletedFolders = report.deletedFolderCount;
    entry.restored = report.restoredCount;
    entry.trashed = report.trashedCount;
    entry.problems = report.problemLog.size();
    entry.interrupted = report.interrupted;
    entry.refusal = report.refusal;
}

RunHistoryEntry ReadEntry(FileSystem& fileSystem, const JournalFile& file, const std::string& journalPath,
                          const std::string& reportPath)
{
    RunHistoryEntry entry;
    entry.key = file.key;
    entry.started = file.started;
    entry.stamp = file.name.substr(file.key.size() + 1, stampLength);
    entry.journalPath = journalPath;
    entry.reportPath = reportPath;
    if (!journalPath.empty())
        if (const std::optional<Journal> journal = ReadJournalAt(fileSystem, journalPath))
            CountFromJournal(*journal, entry);
    std::string text;
    if (!reportPath.empty() && fileSystem.ReadFile(reportPath, maxJournalBytes, text))
        if (const std::optional<SyncReport> report = ReadReportJson(text)) {
            const bool undone = entry.undone;
            CountFromReport(*report, entry);
            entry.undone = undone;
        }
    return entry;
}

std::string Counted(std::int64_t count, const char* what)
{
    return std::to_string(count) + " " + what;
}

std::string RunCounts(const RunHistoryEntry& entry)
{
    return Counted(entry.overwrittenFiles, "overwritten, ") + Counted(entry.addedFiles, "added, ") +
           Counted(entry.deletedFiles, "deleted files; ") + Counted(entry.addedFolders, "added, ") +
           Counted(entry.deletedFolders, "deleted folders");
}

} // namespace

std::string HistoryOutcome(const RunHistoryEntry& entry)
{
    if (entry.Refused())
        return "refused: " + entry.refusal;
    std::string text;
    if (entry.kind == ReportKind::Undo)
        text = (entry.interrupted ? "undo interrupted: " : "undo: ") + Counted(entry.restored, "restored, ") +
               Counted(entry.trashed, "moved to the Trash");
    else
        text = (entry.interrupted ? "interrupted: " : "done: ") + RunCounts(entry);
    if (entry.problems > 0)
        text += "; " + Counted(static_cast<std::int64_t>(entry.problems),
                               entry.problems == 1 ? "problem" : "problems");
    if (entry.undone)
        text += "; undone";
    else if (entry.lastOfTarget)
        text += "; can be undone";
    return text;
}

std::vector<RunHistoryEntry> ReadRunHistory(FileSystem& fileSystem, const std::string& journalFolder)
{
    // By stem: a journal, its kept report, or both.
    std::map<std::string, std::pair<JournalFile, std::pair<std::string, std::string>>> runs;
    for (const JournalFile& file : ListJournals(fileSystem, journalFolder)) {
        auto& run = runs[StemOf(file, journalEnding)];
        run.first = file;
        run.second.first = file.path;
    }
    for (const JournalFile& file : ListRunFiles(fileSystem, journalFolder, keptReportSuffix)) {
        auto& run = runs[StemOf(file, keptReportSuffix)];
        if (run.second.first.empty())
            run.first = file;
        run.second.second = file.path;
    }
    std::vector<RunHistoryEntry> entries;
    std::map<std::string, RunHistoryEntry*> newestJournal;
    for (auto& [stem, run] : runs)
        entries.push_back(ReadEntry(fileSystem, run.first, run.second.first, run.second.second));
    // Stems sort in the order the runs started, per target: the last journal of a key is its newest.
    for (RunHistoryEntry& entry : entries)
        if (!entry.journalPath.empty())
            newestJournal[entry.key] = &entry;
    for (auto& [key, entry] : newestJournal)
        entry->lastOfTarget = entry->kind == ReportKind::Run && !entry->undone;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const RunHistoryEntry& a, const RunHistoryEntry& b) { return a.stamp > b.stamp; });
    return entries;
}

std::vector<RunHistoryEntry> RunsInto(FileSystem& fileSystem, const std::vector<RunHistoryEntry>& entries,
                                      const std::string& target)
{
    const std::string bare = WithoutTrailingSeparator(target);
    const std::string resolved = WithTrailingSeparator(fileSystem.ResolvePath(bare).value_or(bare));
    const std::string key = JournalKey(resolved);
    std::vector<RunHistoryEntry> into;
    for (const RunHistoryEntry& entry : entries)
        if (entry.key == key && (entry.journalPath.empty() || entry.target == resolved))
            into.push_back(entry);
    return into;
}

void PruneRunHistory(FileSystem& fileSystem, const std::string& journalFolder, int keepDays, std::int64_t now)
{
    if (keepDays <= 0)
        return;
    const auto old = [&](const JournalFile& file) { return now - file.started >= keepDays * secondsPerDay; };
    const std::vector<JournalFile> journals = ListJournals(fileSystem, journalFolder);
    std::map<std::string, std::string> newest;
    for (const JournalFile& file : journals)
        newest[file.key] = file.name;
    for (const JournalFile& file : journals) {
        if (!old(file))
            continue;
        const std::optional<Journal> journal = ReadJournalAt(fileSystem, file.path);
        if (!journal)
            continue;
        const bool inTrash = std::any_of(journal->records.begin(), journal->records.end(),
                                         [](const JournalRecord& record) { return record.WentToTrash(); });
        const bool undoable =
            newest[file.key] == file.name && journal->header.kind == JournalKind::Run && !journal->undone;
        if (!inTrash && !undoable)
            (void)fileSystem.DeleteFile(file.path);
    }
    for (const JournalFile& file : ListRunFiles(fileSystem, journalFolder, keptReportSuffix)) {
        const std::string journal =
            journalFolder + StemOf(file, keptReportSuffix) + std::string(journalEnding);
        if (old(file) && fileSystem.KindOf(journal) == EntryKind::Missing)
            (void)fileSystem.DeleteFile(file.path);
    }
}

} // namespace twinfol
