// A run's report as JSON: what the runner prints with --json, and what every run keeps beside its
// journal, read back for the history and the window's report.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/records/sync_report.h"

namespace twinfol {

enum class ReportRunMode { Real, DryRun };

// One JSON object whose keys are the report's field names, plus "dryRun", "addedFolderContents" (per
// added folder its files and bytes), "ignoredCount" and "ignored" (each ignored item's path and reason)
// and "problems" (each problem line with its reason); "refusal" when the run was refused. An undo's
// object has "undo": true and, in place of a run's counts and lists, "restoredCount", "trashedCount",
// "leftAloneCount", "restored", "trashed" and "leftAlone" (each item's path and reason).
void WriteReportJson(const SyncReport& report, ReportRunMode mode, std::ostream& out);

// A report written by WriteReportJson, as far as it says it; nothing when the text is not such a
// report. Names that were not well-formed UTF-8 come back as the Latin-1 characters JSON gave them.
std::optional<SyncReport> ReadReportJson(std::string_view text);

// A time as the report writes it: local time in RFC 3339, "2026-03-01T14:05:09+01:00".
std::string ReportTimeText(std::chrono::system_clock::time_point time);
// Seconds since 1970 of a time as the report writes it ("2026-03-01T14:05:09+01:00").
std::optional<std::int64_t> ReadReportTime(std::string_view text);

} // namespace twinfol
