// How one invocation of the runner ended, as the desktop's notification tells it, and the words of that
// notification. Plain data and a pure function: the bus that carries them is cli/run_notice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/records/sync_report.h"

namespace twinfol::cli {

struct RunArguments;

enum class RunOutcome { Done, Interrupted, Refused };

// Whether the notification waits for the person to open the report (--notify-wait) or is sent and
// left (--notify).
enum class NoticeWait { No, Yes };

struct RunEnding {
    RunOutcome outcome = RunOutcome::Done;
    // An undo rather than a run.
    bool undo = false;
    bool dryRun = false;
    // The profile run, as given on the command line; empty for two folders.
    std::string profilePath;
    // What was to be run: "SOURCE ==>> TARGET", or the profile for a profile that could not be read.
    std::string subject;
    // Why a refused run was refused, in the words the runner printed.
    std::string refusal;
    std::size_t problems = 0;
    // The first problem-log line with its reason, as the report shows it.
    std::string firstProblem;
    std::uint64_t filesCopied = 0;
    std::uint64_t bytesCopied = 0;
    // The file the notification's action opens in the window; empty for none.
    std::string reportFile;
    NoticeWait wait = NoticeWait::No;
};

// Where a finished run is told: the runner sends it to the desktop; tests record it.
class RunNotices {
public:
    virtual ~RunNotices() = default;
    // Called once when an invocation that asked for a notification ends, refused or not.
    virtual void RunEnded(const RunEnding& ending) = 0;
};

// What a notification shows: a one-line summary and a body of a few lines.
struct NoticeText {
    std::string summary;
    std::string body;
};

// The ending of a run that went through, from its report.
RunEnding EndingOfReport(const SyncReport& report, bool dryRun);

// "Synchronisation done", "Synchronisation done with 2 problems", "Synchronisation interrupted" or
// "Synchronisation refused" ("Undo ..." for an undo), and a body that names what ran and what came of
// it: the files copied, the first problem, or the refusal's reason.
NoticeText NoticeTextOf(const RunEnding& ending);

// The body made safe for a notification server that reads it as markup ("body-markup" among its
// capabilities): such a server would take "<" and "&" in a file name for tags and entities.
std::string EscapedForMarkup(const std::string& body);

} // namespace twinfol::cli
