// The runner's flow: parse, settle the job, check the roots, run the engine, print the report.
#include "cli/sync_command.h"

#include <memory>
#include <optional>

#include "cli/profile_job.h"
#include "cli/progress_line.h"
#include "cli/report_printer.h"
#include "cli/run_arguments.h"
#include "cli/terminal_asker.h"
#include "cli/terminal_host.h"
#include "cli/text_encoding.h"
#include "engine/dry_run_file_system.h"
#include "engine/exclusion_list.h"
#include "engine/run_undo.h"
#include "engine/sync_engine.h"
#include "engine/sync_report.h"
#include "engine/sync_roots.h"

namespace twinfol::cli {
namespace {

ExitCode Refuse(CommandEnvironment& environment, const std::string& message)
{
    environment.err << "twinfol-sync: " << ForTerminal(message) << '\n';
    return ExitCode::Refused;
}

SyncJob JobFromArguments(const RunArguments& arguments)
{
    return {arguments.source, arguments.target, arguments.options, arguments.exclusions};
}

ExitCode ExitCodeOf(const SyncReport& report)
{
    if (report.interrupted)
        return ExitCode::Interrupted;
    return report.problemLog.empty() ? ExitCode::Finished : ExitCode::Problems;
}

ExitCode PrintReport(const SyncReport& report, const RunArguments& arguments, CommandEnvironment& environment)
{
    const RunMode mode = arguments.dryRun ? RunMode::DryRun : RunMode::Real;
    if (arguments.json)
        PrintReportJson(report, mode, environment.out);
    else
        PrintReportText(report, mode, environment.out);
    environment.out.flush();
    return ExitCodeOf(report);
}

ExitCode RunJob(const SyncJob& job, const RunArguments& arguments, CommandEnvironment& environment)
{
    const RootCheck roots = CheckRoots(environment.fileSystem, job.source, job.target);
    if (!roots.IsOk())
        return Refuse(environment, roots.message);
    const bool mayAsk = job.options.confirmDeletes && job.options.deleteMissing && !arguments.answerYesToAll;
    if (mayAsk && environment.stdinTerminal == Terminal::No)
        return Refuse(environment, "deletes are to be confirmed but standard input is not a terminal; "
                                   "give --yes to delete without asking, or leave out --confirm");

    SyncRunState& runState = environment.runState;
    // The stop request is left as it is: a signal that came before the run started still counts.
    runState.fileYesToAll = runState.folderYesToAll = arguments.answerYesToAll;
    runState.fileNoToAll = runState.folderNoToAll = false;

    SyncReport report;
    const ExclusionList exclusions(job.exclusions);
    std::optional<DryRunFileSystem> dryRun;
    if (arguments.dryRun)
        dryRun.emplace(environment.fileSystem);
    FileSystem& fileSystem = dryRun ? static_cast<FileSystem&>(*dryRun) : environment.fileSystem;

    std::optional<ProgressLine> progress;
    if (environment.stderrTerminal == Terminal::Yes)
        progress.emplace(environment.err, environment.terminalWidth);
    TerminalAsker asker(environment.in, environment.err);
    TerminalHost host(progress ? &*progress : nullptr, asker);

    SyncEngine engine(fileSystem, exclusions, runState, report, host);
    if (environment.places != nullptr)
        engine.SetUserPlaces(*environment.places);
    engine.Run(roots.source, roots.target, job.options);
    if (progress)
        progress->Clear();
    report.RecordRun(roots.source, roots.target, runState.IsStopped());

    return PrintReport(report, arguments, environment);
}

ExitCode UndoLastRun(const RunArguments& arguments, CommandEnvironment& environment)
{
    if (environment.places == nullptr)
        return Refuse(environment, "no journal folder is known for this user");
    UndoSearch search = FindLastRun(environment.fileSystem, *environment.places, arguments.undoTarget);
    if (!search.run)
        return Refuse(environment, search.refusal);
    const std::string target = WithTrailingSeparator(arguments.undoTarget);
    std::optional<DryRunFileSystem> dryRun;
    if (arguments.dryRun)
        dryRun.emplace(environment.fileSystem);
    FileSystem& fileSystem = dryRun ? static_cast<FileSystem&>(*dryRun) : environment.fileSystem;

    std::optional<ProgressLine> progress;
    if (environment.stderrTerminal == Terminal::Yes)
        progress.emplace(environment.err, environment.terminalWidth);
    TerminalAsker asker(environment.in, environment.err);
    TerminalHost host(progress ? &*progress : nullptr, asker);
    SyncReport report;
    RunUndo(fileSystem, *environment.places, environment.runState, report, host,
            &std::chrono::system_clock::now)
        .Undo(*search.run, target);
    if (progress)
        progress->Clear();
    report.RecordRun(search.run->journal.header.source, target, environment.runState.IsStopped());
    return PrintReport(report, arguments, environment);
}

} // namespace

ExitCode RunSyncCommand(const std::vector<std::string>& argumentList, CommandEnvironment& environment)
{
    const ParsedArguments parsed = ParseArguments(argumentList);
    if (!parsed.IsOk()) {
        environment.err << "twinfol-sync: " << ForTerminal(parsed.error) << "\n"
                        << "Try 'twinfol-sync --help' for more information.\n";
        return ExitCode::Refused;
    }
    const RunArguments& arguments = parsed.arguments;
    switch (arguments.invocation) {
    case Invocation::Help: environment.out << HelpText(); return ExitCode::Finished;
    case Invocation::Version: environment.out << TWINFOL_VERSION << '\n'; return ExitCode::Finished;
    case Invocation::Profile: {
        const ProfileJobResult loaded = LoadProfileJob(environment.fileSystem, arguments);
        if (!loaded.job)
            return Refuse(environment, loaded.error);
        return RunJob(*loaded.job, arguments, environment);
    }
    case Invocation::Undo: return UndoLastRun(arguments, environment);
    case Invocation::Folders: break;
    }
    return RunJob(JobFromArguments(arguments), arguments, environment);
}

} // namespace twinfol::cli
