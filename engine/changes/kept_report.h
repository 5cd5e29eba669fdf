// The report every run keeps in the journal folder, so that the history can show it later: beside the
// run's journal with the same stem, or, for a run that wrote no journal (refused, or with problems and
// no change), as a record of its own named the same way, so that it sorts with the journals.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/fs/file_system.h"
#include "engine/records/sync_report.h"
#include "engine/records/user_places.h"

namespace twinfol {

inline constexpr std::string_view keptReportSuffix = ".report.json";

// The kept report of the run that wrote the journal: KEY-TIME.report.json in the journal's folder.
std::string KeptReportPath(const std::string& journalFile);

// Where the report of a run that wrote no journal is kept: its target's key (the target's path with
// links resolved, as it stands where it cannot be resolved) and the run's start name it.
std::string KeptRecordPath(FileSystem& fileSystem, const UserPlaces& places, const SyncReport& report);

// Whether the report is worth keeping: every run or undo that wrote a journal, and one that was
// refused, stopped or met problems. A run that went through, changed nothing and met nothing keeps
// nothing, so that a history of runs every hour does not fill with empty lines.
bool WorthKeeping(const SyncReport& report);

// Writes the report (of a real run, never a dry one) to its place through the file-system layer, and
// answers that place in path; nothing is written when it is not worth keeping, or when the journal
// folder is not the user's own. Answers the failure to write.
FsStatus KeepRunReport(FileSystem& fileSystem, const UserPlaces& places, const SyncReport& report,
                       std::string& path);

// A kept report read back; nothing when it cannot be read or is no report.
std::optional<SyncReport> ReadKeptReport(FileSystem& fileSystem, const std::string& path);

} // namespace twinfol
