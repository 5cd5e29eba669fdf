// The words of the notification that tells how a run ended.
#include "cli/run_ending.h"

#include <vector>

#include "base/amount_text.h"
#include "cli/report_printer.h"
#include "cli/run_arguments.h"
#include "cli/text_encoding.h"

namespace twinfol::cli {
namespace {

std::string ProblemsText(std::size_t problems)
{
    return std::to_string(problems) + (problems == 1 ? " problem" : " problems");
}

std::string SummaryOf(const RunEnding& ending)
{
    const std::string what = ending.undo ? "Undo" : "Synchronisation";
    switch (ending.outcome) {
    case RunOutcome::Refused: return what + " refused";
    case RunOutcome::Interrupted: return what + " interrupted";
    case RunOutcome::Done: break;
    }
    if (ending.problems == 0)
        return what + " done";
    return what + " done with " + ProblemsText(ending.problems);
}

std::string CopiedText(const RunEnding& ending)
{
    std::string text = "Files copied: " + std::to_string(ending.filesCopied);
    if (ending.bytesCopied > 0)
        text += " (" + FormatBytes(ending.bytesCopied) + ")";
    return text;
}

} // namespace

RunEnding EndingOfReport(const SyncReport& report, bool dryRun)
{
    RunEnding ending;
    ending.outcome = report.interrupted ? RunOutcome::Interrupted : RunOutcome::Done;
    ending.undo = report.kind == ReportKind::Undo;
    ending.dryRun = dryRun;
    ending.subject = RunSubject(report.source, report.target);
    ending.problems = report.problemLog.size();
    if (!report.problemLog.empty()) {
        const ProblemRecord& first = report.problemLog.front();
        ending.firstProblem = first.reason.empty() ? first.line : first.line + " (" + first.reason + ")";
    }
    ending.filesCopied = report.filesCopied;
    ending.bytesCopied = report.bytesCopied;
    return ending;
}

// Each piece is made safe as a terminal line is: a bus takes only well-formed UTF-8, and a file name may
// be any bytes.
NoticeText NoticeTextOf(const RunEnding& ending)
{
    std::vector<std::string> lines;
    if (!ending.profilePath.empty())
        lines.push_back("Profile: " + ending.profilePath);
    // A profile that could not be read is its own subject.
    if (!ending.subject.empty() &&
        (ending.profilePath.empty() || ending.subject.find(ending.profilePath) == std::string::npos))
        lines.push_back(ending.subject);
    if (ending.dryRun)
        lines.emplace_back("Dry run: nothing was changed");
    if (ending.outcome == RunOutcome::Refused) {
        lines.push_back("Refused: " + ending.refusal);
    } else {
        if (!ending.undo)
            lines.push_back(CopiedText(ending));
        if (ending.problems > 1)
            lines.push_back(ending.firstProblem + " and " + std::to_string(ending.problems - 1) +
                            " more in the problem log");
        else if (ending.problems == 1)
            lines.push_back(ending.firstProblem);
    }
    std::string body;
    for (const std::string& line : lines)
        body += (body.empty() ? "" : "\n") + ForTerminal(line);
    return {SummaryOf(ending), body};
}

std::string EscapedForMarkup(const std::string& body)
{
    std::string escaped;
    escaped.reserve(body.size());
    for (const char c : body) {
        if (c == '&')
            escaped += "&amp;";
        else if (c == '<')
            escaped += "&lt;";
        else if (c == '>')
            escaped += "&gt;";
        else
            escaped += c;
    }
    return escaped;
}

} // namespace twinfol::cli
