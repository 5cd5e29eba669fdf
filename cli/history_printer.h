// The history of runs as the runner prints it: one line per run, newest first, in the shape of the
// log's headers, or one JSON array.
#pragma once

#include <ostream>
#include <vector>

#include "engine/changes/run_history.h"

namespace twinfol::cli {

// "=== " the start, the subject and the outcome, one line per entry; a line saying so when there are
// none.
void PrintHistoryText(const std::vector<RunHistoryEntry>& entries, std::ostream& out);

// A JSON array with an object per entry: "startTime", "kind" ("run" or "undo"), "source", "target",
// the counts as the report names them, "problemCount", "interrupted", "undone", "lastOfTarget",
// "refusal" (empty for a run that went ahead), and "journal" and "report" (the files, empty when none).
void PrintHistoryJson(const std::vector<RunHistoryEntry>& entries, std::ostream& out);

} // namespace twinfol::cli
