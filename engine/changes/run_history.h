// The history of runs, read from the journal folder: every run's journal and kept report, and the
// records refused runs left, newest first; and the pruning that keeps the folder from growing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/fs/file_system.h"
#include "engine/records/sync_report.h"

namespace twinfol {

// One past run or undo, as its journal and its kept report tell it.
struct RunHistoryEntry {
    // The target's key and the run's start, in seconds since 1970: what names its files.
    std::string key;
    std::int64_t started = 0;
    // The start as its files' names give it, to the nanosecond: "20260301T140509.123456789".
    std::string stamp;
    // Empty when the run left none (refused, or no change), or the journal is gone.
    std::string journalPath;
    // Empty when no report was kept (runs of earlier versions); the counts then come from the journal.
    std::string reportPath;
    ReportKind kind = ReportKind::Run;
    std::string source;
    std::string target;
    // Of a run: overwritten files, added files, deleted files, added folders, deleted folders; of an
    // undo, restored and moved to the Trash in the first two.
    std::int32_t overwrittenFiles = 0;
    std::int32_t addedFiles = 0;
    std::int32_t deletedFiles = 0;
    std::int32_t addedFolders = 0;
    std::int32_t deletedFolders = 0;
    std::int32_t restored = 0;
    std::int32_t trashed = 0;
    std::size_t problems = 0;
    bool interrupted = false;
    // An undo has been done for this run.
    bool undone = false;
    // The newest journal of its target, a run's, not undone: the one an undo of the target takes back.
    bool lastOfTarget = false;
    // Why the run did not go ahead; empty for one that did.
    std::string refusal;

    bool Refused() const { return !refusal.empty(); }
};

// What became of the run, in a few words: "done: 0 overwritten, 3 added, ...", "refused: why",
// "undo: ...", with the problems, and whether it was undone or is the one an undo would take back.
std::string HistoryOutcome(const RunHistoryEntry& entry);

// Every run and undo the folder tells of, newest first.
std::vector<RunHistoryEntry> ReadRunHistory(FileSystem& fileSystem, const std::string& journalFolder);

// The entries of runs into the target folder: the same key as the target with links resolved, or, for
// one that cannot be resolved (gone), as its path stands; and the same target path.
std::vector<RunHistoryEntry> RunsInto(FileSystem& fileSystem, const std::vector<RunHistoryEntry>& entries,
                                      const std::string& target);

// Removes, through the file-system layer, the journals older than keepDays days that leave nothing to
// undo (not the last of their target, or undone, or an undo's), with their kept reports, and the kept
// reports and records as old whose journal is gone. A journal that still names items in a Trash stays
// for the Trash's expiry (TidyJournalsAndTrash). keepDays 0 keeps everything; now is in seconds since
// 1970.
void PruneRunHistory(FileSystem& fileSystem, const std::string& journalFolder, int keepDays,
                     std::int64_t now);

} // namespace twinfol
