// Writing refusals, warnings and the report to the streams and the log.
#include "cli/run_output.h"

#include <sstream>

#include "cli/text_encoding.h"

namespace twinfol::cli {

std::string RunOutput::OpenLog()
{
    if (arguments_.logFile.empty())
        return {};
    if (const FsStatus opened = log_.Open(arguments_.logFile); !opened)
        return "cannot write the log file " + arguments_.logFile + " (" + opened.Reason() + ")";
    return {};
}

ExitCode RunOutput::Refuse(const std::string& message, const std::string& subject)
{
    environment_.err << "twinfol-sync: " << ForTerminal(message) << '\n' << std::flush;
    if (log_.IsOpen()) {
        const std::string entry = RunHeader(std::chrono::system_clock::now(), subject, "refused") +
                                  "\nRefused: " + ForTerminal(message) + '\n';
        // A log that fails now has nowhere to say so but standard error, which has the refusal already.
        (void)log_.Append(entry);
    }
    RunEnding ending;
    ending.outcome = RunOutcome::Refused;
    ending.subject = subject;
    ending.refusal = message;
    ending.reportFile = keptReport_;
    Notify(std::move(ending));
    return ExitCode::Refused;
}

void RunOutput::Warn(const std::string& message)
{
    warnings_.push_back("Warning: " + ForTerminal(message));
    if (arguments_.verbosity != Verbosity::Quiet)
        environment_.err << "twinfol-sync: warning: " << ForTerminal(message) << '\n' << std::flush;
}

void RunOutput::WarnEvenWhenQuiet(const std::string& message)
{
    warnings_.push_back("Warning: " + ForTerminal(message));
    environment_.err << "twinfol-sync: warning: " << ForTerminal(message) << '\n' << std::flush;
}

ExitCode RunOutput::Report(const SyncReport& report, ExitCode code)
{
    const RunMode mode = arguments_.dryRun ? RunMode::DryRun : RunMode::Real;
    RunEnding ending = EndingOfReport(report, arguments_.dryRun);
    // The log is written first: when it fails, the run did not finish as asked, and even with -q the
    // report then goes to standard output, the one record left of what the run did.
    if (const FsStatus logged = AppendToLog(report, mode); !logged) {
        const std::string problem =
            "cannot write the log file " + arguments_.logFile + " (" + logged.Reason() + ")";
        environment_.err << "twinfol-sync: " << ForTerminal(problem) << "\n" << std::flush;
        if (code == ExitCode::Finished)
            code = ExitCode::Problems;
        // The notification tells of it as the exit status does, and offers no log to open.
        if (ending.problems++ == 0)
            ending.firstProblem = problem;
    }
    ending.reportFile = keptReport_;
    if (arguments_.verbosity != Verbosity::Quiet || code != ExitCode::Finished) {
        if (arguments_.json)
            PrintReportJson(report, mode, environment_.out);
        else
            PrintReportText(report, mode, environment_.out, IgnoredDetailWanted());
        environment_.out.flush();
    }
    Notify(std::move(ending));
    return code;
}

void RunOutput::Notify(RunEnding ending) const
{
    if (arguments_.notify == cli::Notify::No || environment_.notices == nullptr)
        return;
    ending.undo = arguments_.invocation == Invocation::Undo;
    ending.dryRun = arguments_.dryRun;
    ending.profilePath = arguments_.profilePath;
    ending.wait = arguments_.notify == cli::Notify::SendAndWait ? NoticeWait::Yes : NoticeWait::No;
    environment_.notices->RunEnded(ending);
}

FsStatus RunOutput::AppendToLog(const SyncReport& report, RunMode mode)
{
    if (!log_.IsOpen())
        return {};
    std::ostringstream text;
    PrintReportText(report, mode, text, IgnoredDetailWanted());
    std::string entry = text.str();
    // The warnings belong to this run: right below its header.
    std::string warnings;
    for (const std::string& warning : warnings_)
        warnings += warning + '\n';
    entry.insert(entry.find('\n') + 1, warnings);
    entry += '\n';
    return log_.Append(entry);
}

} // namespace twinfol::cli
