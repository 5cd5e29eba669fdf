// The report of a run as the runner prints it: text in the words of the report window, or JSON.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "engine/records/sync_report.h"

namespace twinfol::cli {

enum class RunMode { Real, DryRun };

// The time as the header shows it: "2026-03-01 14:05:09 +0100", local time.
std::string LocalTimeText(std::chrono::system_clock::time_point time);

// What a header names: the source "==>>" the target, made safe for a terminal.
std::string RunSubject(const std::string& source, const std::string& target);
// The first line of every report and log entry: "=== ", the start time, the subject, and in
// parentheses how long the run took (or "refused" for a run refused before it started).
std::string RunHeader(std::chrono::system_clock::time_point start, const std::string& subject,
                      const std::string& outcome);
// The outcome of a run that went through: "12.3 seconds".
std::string DurationText(double seconds);

// How much the text report says of the items that ignore patterns and size limits left out.
enum class IgnoredDetail {
    // Their number, when there are any.
    Count,
    // Their number, and each with its reason after the five lists (-v).
    List,
};

// The header, the heading, the two roots, the five counts (and the ignored items' count when the run
// ignored any), what was copied and how long it took, the five lists in their sorted order (the
// ignored items in the walk's order after them, with IgnoredDetail::List) and the problem log in
// recorded order, each line with its reason in parentheses. An undo's report has its own heading
// ("Undo done:"), counts and lists instead: what it restored, what it moved to the Trash and what it
// left alone, each of those with its reason.
void PrintReportText(const SyncReport& report, RunMode mode, std::ostream& out,
                     IgnoredDetail ignored = IgnoredDetail::Count);

// The report as the core writes it as JSON (WriteReportJson), so that the printed report and the one
// kept beside the run's journal read alike.
void PrintReportJson(const SyncReport& report, RunMode mode, std::ostream& out);

} // namespace twinfol::cli
