// The report of a run as the runner prints it: text in the words of the report window, or JSON.
#pragma once

#include <ostream>

#include "engine/sync_report.h"

namespace twinfol::cli {

enum class RunMode { Real, DryRun };

// The heading, the two roots, the five counts, the five lists in their sorted order and the problem
// log in recorded order.
void PrintReportText(const SyncReport& report, RunMode mode, std::ostream& out);

// One JSON object whose keys are the report's field names, plus "dryRun".
void PrintReportJson(const SyncReport& report, RunMode mode, std::ostream& out);

} // namespace twinfol::cli
