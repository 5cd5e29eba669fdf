// Writing a SyncReport as JSON and reading it back.
#include "engine/records/report_json.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "base/json_text.h"

namespace twinfol {
namespace {

struct JsonList {
    ReportList list;
    std::string_view count;
    std::string_view name;
};

constexpr std::array<JsonList, 5> runLists = {{
    {ReportList::OverwrittenFiles, "overwrittenFileCount", "overwrittenFiles"},
    {ReportList::AddedFiles, "addedFileCount", "addedFiles"},
    {ReportList::DeletedFiles, "deletedFileCount", "deletedFiles"},
    {ReportList::AddedFolders, "addedFolderCount", "addedFolders"},
    {ReportList::DeletedFolders, "deletedFolderCount", "deletedFolders"},
}};

struct JsonUndoList {
    UndoList list;
    std::string_view count;
    std::string_view name;
};

constexpr std::array<JsonUndoList, 2> undoLists = {{
    {UndoList::Restored, "restoredCount", "restored"},
    {UndoList::Trashed, "trashedCount", "trashed"},
}};

template <typename Strings> void WriteArray(const Strings& strings, std::ostream& out)
{
    out << '[';
    bool first = true;
    for (const std::string& text : strings) {
        out << (first ? "" : ", ") << JsonQuoted(text);
        first = false;
    }
    out << ']';
}

void WritePathsWithReasons(const std::vector<std::pair<std::string, std::string>>& items, std::ostream& out)
{
    out << '[';
    bool first = true;
    for (const auto& [path, reason] : items) {
        out << (first ? "" : ", ") << "{\"path\": " << JsonQuoted(path)
            << ", \"reason\": " << JsonQuoted(reason) << '}';
        first = false;
    }
    out << ']';
}

void WriteRun(const SyncReport& report, std::ostream& out)
{
    for (const JsonList& list : runLists)
        out << ", \"" << list.count << "\": " << report.Count(list.list);
    out << ", \"filesCopied\": " << report.filesCopied << ", \"bytesCopied\": " << report.bytesCopied;
    for (const JsonList& list : runLists) {
        out << ", \"" << list.name << "\": ";
        WriteArray(report.List(list.list), out);
    }
    out << ", \"addedFolderContents\": {";
    bool first = true;
    for (const auto& [path, contents] : report.addedFolderContents) {
        out << (first ? "" : ", ") << JsonQuoted(path) << ": {\"files\": " << contents.files
            << ", \"bytes\": " << contents.bytes << '}';
        first = false;
    }
    out << "}, \"incompleteFolders\": ";
    WriteArray(report.incompleteFolders, out);
    out << ", \"partlyCopiedFolders\": ";
    WriteArray(report.partlyCopiedFolders, out);
    out << ", \"ignoredCount\": " << report.ignoredItems.size() << ", \"ignored\": ";
    std::vector<std::pair<std::string, std::string>> ignored;
    for (const IgnoredItem& item : report.ignoredItems)
        ignored.emplace_back(item.path, item.reason);
    WritePathsWithReasons(ignored, out);
}

void WriteUndo(const SyncReport& report, std::ostream& out)
{
    const std::vector<const ProblemRecord*> leftAlone = report.LeftAlone();
    for (const JsonUndoList& list : undoLists)
        out << ", \"" << list.count << "\": " << report.Count(list.list);
    out << ", \"leftAloneCount\": " << leftAlone.size();
    for (const JsonUndoList& list : undoLists) {
        out << ", \"" << list.name << "\": ";
        WriteArray(report.List(list.list), out);
    }
    out << ", \"leftAlone\": ";
    std::vector<std::pair<std::string, std::string>> items;
    for (const ProblemRecord* problem : leftAlone)
        items.emplace_back(problem->path, problem->reason);
    WritePathsWithReasons(items, out);
}

void WriteProblems(const SyncReport& report, std::ostream& out)
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

// The kind of a problem line, told by its prefix; the longest prefix that fits wins.
ProblemRecord ProblemFromLine(std::string line, std::string reason)
{
    ProblemRecord problem{ProblemKind::CopyFile, line, line, std::move(reason)};
    std::size_t best = 0;
    for (const ProblemKind kind :
         {ProblemKind::CopyFile, ProblemKind::DeleteFile, ProblemKind::CopyFolder, ProblemKind::DeleteFolder,
          ProblemKind::ReadFolder, ProblemKind::MoveToTrash, ProblemKind::Undo}) {
        const std::string_view prefix = ProblemPrefix(kind);
        if (prefix.size() > best && std::string_view(line).starts_with(prefix)) {
            best = prefix.size();
            problem.kind = kind;
            problem.path = line.substr(prefix.size());
        }
    }
    return problem;
}

void ReadLists(const JsonValue& json, SyncReport& report)
{
    for (const JsonList& list : runLists)
        for (std::string& path : json.StringsOf(list.name))
            report.Record(list.list, std::move(path));
    for (const JsonUndoList& list : undoLists)
        for (std::string& path : json.StringsOf(list.name))
            report.RecordUndo(list.list, std::move(path));
    for (std::string& path : json.StringsOf("incompleteFolders"))
        report.incompleteFolders.insert(std::move(path));
    for (std::string& path : json.StringsOf("partlyCopiedFolders"))
        report.partlyCopiedFolders.insert(std::move(path));
    if (const JsonValue* contents = json.Find("addedFolderContents"); contents != nullptr)
        for (const auto& [path, figures] : contents->members)
            report.addedFolderContents[path] = {static_cast<std::uint64_t>(figures.IntegerOr("files")),
                                                static_cast<std::uint64_t>(figures.IntegerOr("bytes"))};
    if (const JsonValue* ignored = json.Find("ignored"); ignored != nullptr)
        for (const JsonValue& item : ignored->items)
            report.ignoredItems.push_back({item.StringOr("path"), item.StringOr("reason")});
    if (const JsonValue* problems = json.Find("problems"); problems != nullptr)
        for (const JsonValue& item : problems->items)
            report.problemLog.push_back(ProblemFromLine(item.StringOr("line"), item.StringOr("reason")));
}

} // namespace

void WriteReportJson(const SyncReport& report, ReportRunMode mode, std::ostream& out)
{
    const bool undo = report.kind == ReportKind::Undo;
    out << "{\"source\": " << JsonQuoted(report.source) << ", \"target\": " << JsonQuoted(report.target);
    if (undo)
        out << ", \"undo\": true";
    if (!report.refusal.empty())
        out << ", \"refusal\": " << JsonQuoted(report.refusal);
    out << ", \"dryRun\": " << (mode == ReportRunMode::DryRun ? "true" : "false")
        << ", \"interrupted\": " << (report.interrupted ? "true" : "false")
        << ", \"startTime\": " << JsonQuoted(ReportTimeText(report.startTime)) << ", \"durationSeconds\": ";
    std::array<char, 48> duration{};
    std::snprintf(duration.data(), duration.size(), "%.3f", report.durationSeconds);
    out << duration.data();
    if (undo)
        WriteUndo(report, out);
    else
        WriteRun(report, out);
    out << ", \"problemLog\": ";
    WriteArray(report.ProblemLines(), out);
    out << ", \"problems\": ";
    WriteProblems(report, out);
    out << ", \"notes\": ";
    WriteArray(report.notes, out);
    out << "}\n";
}

// RFC 3339: like ISO 8601's "2026-03-01T14:05:09+01:00", the offset with its colon.
std::string ReportTimeText(std::chrono::system_clock::time_point time)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    std::array<char, 64> buffer{};
    std::string text(buffer.data(),
                     std::strftime(buffer.data(), buffer.size(), "%Y-%m-%dT%H:%M:%S%z", &local));
    if (text.size() > 2)
        text.insert(text.size() - 2, 1, ':');
    return text;
}

std::optional<std::int64_t> ReadReportTime(std::string_view text)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, offsetHours = 0, offsetMinutes = 0;
    char sign = '+';
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%2d:%2d", &year, &month, &day, &hour, &minute,
                    &second, &sign, &offsetHours, &offsetMinutes) != 9 ||
        (sign != '+' && sign != '-'))
        return std::nullopt;
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    const std::int64_t offset = (offsetHours * 3600 + offsetMinutes * 60) * (sign == '-' ? -1 : 1);
    return static_cast<std::int64_t>(timegm(&fields)) - offset;
}

std::optional<SyncReport> ReadReportJson(std::string_view text)
{
    const std::optional<JsonValue> json = ParseJson(text);
    if (!json || json->type != JsonType::Object || json->Find("source") == nullptr ||
        json->Find("target") == nullptr)
        return std::nullopt;
    SyncReport report;
    report.source = json->StringOr("source");
    report.target = json->StringOr("target");
    report.kind = json->BoolOr("undo") ? ReportKind::Undo : ReportKind::Run;
    report.refusal = json->StringOr("refusal");
    report.interrupted = json->BoolOr("interrupted");
    if (const std::optional<std::int64_t> started = ReadReportTime(json->StringOr("startTime")))
        report.startTime = std::chrono::system_clock::from_time_t(static_cast<std::time_t>(*started));
    report.durationSeconds = json->NumberOr("durationSeconds");
    report.filesCopied = static_cast<std::uint64_t>(json->IntegerOr("filesCopied"));
    report.bytesCopied = static_cast<std::uint64_t>(json->IntegerOr("bytesCopied"));
    ReadLists(*json, report);
    report.notes = json->StringsOf("notes");
    return report;
}

} // namespace twinfol
