// Where one invocation's words go: refusals and warnings to standard error, the report to standard
// output (with -q only when something went wrong), and everything to the log file with a dated header.
#pragma once

#include <string>
#include <vector>

#include "cli/exit_code.h"
#include "cli/log_file.h"
#include "cli/report_printer.h"
#include "cli/run_arguments.h"
#include "cli/sync_command.h"

namespace twinfol::cli {

class RunOutput {
public:
    RunOutput(CommandEnvironment& environment, const RunArguments& arguments)
        : environment_(environment), arguments_(arguments)
    {
    }

    // Opens the log file when one was asked for; the refusal's message when it cannot be opened.
    std::string OpenLog();
    // Says why the run was refused (on standard error, and in the log under a header naming what was
    // to be run, see RunSubject) and answers the refusal's exit status.
    ExitCode Refuse(const std::string& message, const std::string& subject);
    // A warning: on standard error unless quiet; in the log in any case, with the report.
    void Warn(const std::string& message);
    // The same for a warning a script must see even under -q: the run goes on, but likely fails.
    void WarnEvenWhenQuiet(const std::string& message);
    // The report of the run that ended with the exit status; answers the status to exit with, which
    // is 1 rather than 0 when the log file could not be written.
    [[nodiscard]] ExitCode Report(const SyncReport& report, ExitCode code);
    // The report kept for the history (a file the window opens with --report), which the
    // notification's action opens; none when the run kept none.
    void KeptReportAt(std::string path) { keptReport_ = std::move(path); }

private:
    FsStatus AppendToLog(const SyncReport& report, RunMode mode);
    // Tells the desktop how the invocation ended, when the command line asked for it.
    void Notify(RunEnding ending) const;
    // The ignored items are listed with -v, on standard output and in the log alike.
    IgnoredDetail IgnoredDetailWanted() const
    {
        return arguments_.verbosity == Verbosity::Verbose ? IgnoredDetail::List : IgnoredDetail::Count;
    }

    CommandEnvironment& environment_;
    const RunArguments& arguments_;
    LogFile log_;
    std::vector<std::string> warnings_;
    std::string keptReport_;
};

} // namespace twinfol::cli
