// The runner's flow: parse, settle the job, check the roots, the exclusions and the guards in front of
// the deletes, plan when it is wanted, run the engine, report.
#include "cli/sync_command.h"

#include <optional>

#include "cli/exclusion_spelling.h"
#include "cli/history_printer.h"
#include "cli/ignore_rules.h"
#include "cli/profile_job.h"
#include "cli/progress_display.h"
#include "cli/run_output.h"
#include "cli/schedule_command.h"
#include "cli/server_session.h"
#include "cli/terminal_asker.h"
#include "cli/terminal_host.h"
#include "cli/text_encoding.h"
#include "engine/changes/kept_report.h"
#include "engine/changes/run_history.h"
#include "engine/changes/run_undo.h"
#include "engine/changes/user_places_check.h"
#include "engine/fs/dry_run_file_system.h"
#include "engine/sftp/sftp_location.h"
#include "engine/walk/deletion_guard.h"
#include "engine/walk/plan_reasons.h"
#include "engine/walk/run_plan.h"
#include "engine/walk/sync_engine.h"
#include "engine/walk/sync_roots.h"

namespace twinfol::cli {
namespace {

// How long the plan a terminal gets by default may take: a tree that takes longer to walk is run
// without totals rather than walked twice.
constexpr std::chrono::seconds cheapPlanBudget{1};

SyncJob JobFromArguments(const RunArguments& arguments)
{
    return {arguments.source, arguments.target, arguments.options, arguments.exclusions};
}

// Keeps the report of a real run in the journal folder, for the history, and tells the output where;
// a report that cannot be kept says so in its notes.
void KeepReport(CommandEnvironment& environment, const RunArguments& arguments, SyncReport& report,
                RunOutput& output)
{
    if (environment.places == nullptr || arguments.dryRun)
        return;
    std::string path;
    if (const FsStatus kept = KeepRunReport(environment.fileSystem, *environment.places, report, path); !kept)
        report.notes.push_back("The report could not be kept for the history (" + kept.Reason() + ").");
    output.KeptReportAt(std::move(path));
}

ExitCode ExitCodeOf(const SyncReport& report)
{
    if (report.interrupted)
        return ExitCode::Interrupted;
    return report.problemLog.empty() ? ExitCode::Finished : ExitCode::Problems;
}

// Everything one run needs once its job is known.
class JobRun {
public:
    JobRun(const SyncJob& job, const RunArguments& arguments, CommandEnvironment& environment)
        : job_(job), arguments_(arguments), environment_(environment), output_(environment, arguments)
    {
    }

    ExitCode Run();

private:
    bool IsProfile() const { return arguments_.invocation == Invocation::Profile; }
    ExitCode Refuse(const std::string& message);
    std::string SettleIgnoreRules();
    std::string SettleExclusions();
    std::string ConfirmationRefusal() const;
    std::string EmptySourceRefusal();
    std::string Plan(ProgressDisplay* display);
    // What follows a finished plan: its totals shown, a warning when it will not fit, and the refusal of a
    // plan that deletes more than --max-delete allows.
    std::string PlanRefusal(const RunPlan& plan, ProgressDisplay* display);
    SyncReport RunEngine(ProgressDisplay* display);

    const SyncJob& job_;
    const RunArguments& arguments_;
    CommandEnvironment& environment_;
    RunOutput output_;
    RootCheck roots_;
    SyncOptions options_;
    std::vector<std::string> exclusions_;
};

ExitCode JobRun::Run()
{
    if (std::string refused = output_.OpenLog(); !refused.empty())
        return Refuse(refused);
    options_ = job_.options;
    if (std::string refused = SettleIgnoreRules(); !refused.empty())
        return Refuse(refused);
    roots_ = CheckRoots(environment_.fileSystem, job_.source, job_.target);
    if (!roots_.IsOk())
        return Refuse(roots_.message);
    if (std::string refused = SettleExclusions(); !refused.empty())
        return Refuse(refused);
    if (std::string refused = ConfirmationRefusal(); !refused.empty())
        return Refuse(refused);
    if (std::string refused = EmptySourceRefusal(); !refused.empty())
        return Refuse(refused);

    std::optional<ProgressDisplay> display;
    if (environment_.errorStream != ErrorStream::NotATerminal && arguments_.verbosity != Verbosity::Quiet)
        display.emplace(environment_.err, environment_.terminalWidth,
                        environment_.errorStream == ErrorStream::DumbTerminal ? LineStyle::PlainLines
                                                                              : LineStyle::Redraw);
    if (std::string refused = Plan(display ? &*display : nullptr); !refused.empty()) {
        display.reset();
        return Refuse(refused);
    }
    SyncReport report = RunEngine(display ? &*display : nullptr);
    display.reset();
    if (!report.refusal.empty())
        return Refuse(report.refusal);
    KeepReport(environment_, arguments_, report, output_);
    return output_.Report(report, ExitCodeOf(report));
}

// A refused run leaves a record of its refusal in the history, named for the target it was to run into.
ExitCode JobRun::Refuse(const std::string& message)
{
    SyncReport refused;
    refused.source = roots_.IsOk() ? roots_.source : job_.source;
    refused.target = roots_.IsOk() ? roots_.target : job_.target;
    refused.refusal = message;
    refused.startTime = std::chrono::system_clock::now();
    KeepReport(environment_, arguments_, refused, output_);
    for (const std::string& note : refused.notes)
        output_.Warn(note);
    return output_.Refuse(message, RunSubject(job_.source, job_.target));
}

// The command line's patterns after the job's own (a profile's), so that they win where they disagree.
std::string JobRun::SettleIgnoreRules()
{
    IgnoreRulesResult read =
        ReadIgnoreRules(environment_.fileSystem, arguments_.ignoreRules, environment_.workingFolder);
    if (!read.refusal.empty())
        return read.refusal;
    for (IgnorePattern& pattern : read.patterns)
        options_.ignorePatterns.push_back(std::move(pattern));
    return SizeLimitsRefusal(options_);
}

std::string JobRun::SettleExclusions()
{
    if (IsProfile()) {
        for (const std::string& warning :
             CheckProfileExclusions(environment_.fileSystem, job_.exclusions, roots_.source, roots_.target,
                                    environment_.workingFolder))
            output_.Warn(warning);
        exclusions_ = job_.exclusions;
        return {};
    }
    SpelledExclusions spelled = SpellExclusions(environment_.fileSystem, job_.exclusions, roots_.source,
                                                roots_.target, environment_.workingFolder);
    for (const std::string& warning : spelled.warnings)
        output_.Warn(warning);
    exclusions_ = std::move(spelled.entries);
    return spelled.refusal;
}

std::string JobRun::ConfirmationRefusal() const
{
    const bool mayAsk = options_.confirmDeletes && options_.deleteMissing && !arguments_.answerYesToAll;
    if (!mayAsk || environment_.tty == Terminal::Yes)
        return {};
    if (IsProfile())
        return "the profile " + arguments_.profilePath +
               " asks before each delete (its setting \"Ask for confirmation on all deletes\", "
               "confirm_deletes=1), but there is no terminal to ask on; give --yes to delete without "
               "asking, or clear that setting in the profile";
    return "deletes are to be confirmed but there is no terminal to ask on; give --yes to delete "
           "without asking, or leave out --confirm";
}

std::string JobRun::EmptySourceRefusal()
{
    if (options_.emptySource == EmptySource::Allow)
        return {};
    const EmptySourceLosses losses =
        CountEmptySourceLosses(environment_.fileSystem, roots_.source, roots_.target, options_,
                               ExclusionList(exclusions_), environment_.places);
    if (losses.items == 0)
        return {};
    return std::string(emptySourceReason) + " The target folder " + roots_.target + " holds " +
           std::to_string(losses.items) + (losses.items == 1 ? " item" : " items") +
           " that the run would delete (" + LossesText(losses) +
           "). Give --allow-empty-source to run anyway.";
}

// Plans when asked to, when --max-delete needs it, and by default on a terminal while it is cheap.
// Answers the refusal of a plan that deletes too much.
std::string JobRun::Plan(ProgressDisplay* display)
{
    const bool wanted =
        arguments_.plan == PlanChoice::Always || options_.maxDeletes ||
        (arguments_.plan == PlanChoice::WhenCheap && display != nullptr && !arguments_.dryRun);
    if (!wanted)
        return {};
    const bool budgeted = arguments_.plan == PlanChoice::WhenCheap && !options_.maxDeletes;
    const auto deadline = std::chrono::steady_clock::now() + cheapPlanBudget;
    if (display != nullptr)
        display->SetPlanning(true);
    const PlanProgress onProgress = [&](const std::string& text) {
        if (display != nullptr)
            display->SetOperation(text);
        return !environment_.runState.IsStopped() &&
               (!budgeted || std::chrono::steady_clock::now() < deadline);
    };
    // With -v the plan also says what it leaves out and by which rule, as the window's preview does.
    const bool explained = arguments_.verbosity == Verbosity::Verbose;
    const ExplainedPlan plan =
        explained ? MakeExplainedPlan(environment_.fileSystem, roots_.source, roots_.target, options_,
                                      ExclusionList(exclusions_), onProgress)
                  : ExplainedPlan{MakeRunPlan(environment_.fileSystem, roots_.source, roots_.target, options_,
                                              ExclusionList(exclusions_), onProgress),
                                  {}};
    for (const PlanRow& row : plan.rows)
        if (row.action == PlanAction::Excluded)
            environment_.err << "Left out: " << ForTerminal(row.path + (row.folder ? "/" : "")) << " ("
                             << ForTerminal(row.reason) << ")\n";
    return PlanRefusal(plan.plan, display);
}

std::string JobRun::PlanRefusal(const RunPlan& plan, ProgressDisplay* display)
{
    if (display != nullptr) {
        display->SetPlanning(false);
        if (plan.complete)
            display->SetTotals(PlanTotals{plan.FilesToCopy(), plan.BytesToCopy()});
    }
    // Scripts expect the run to go on: a disk that is too full only makes some copies fail.
    if (plan.WillNotFit())
        output_.WarnEvenWhenQuiet("the run will not fit on the target's disk: " + plan.RoomText());
    if (options_.maxDeletes && plan.complete && plan.ItemsToDelete() > *options_.maxDeletes)
        return "the run would delete " + std::to_string(plan.ItemsToDelete()) +
               " items, more than --max-delete " + std::to_string(*options_.maxDeletes) +
               " allows (a folder counts as one item)";
    return {};
}

SyncReport JobRun::RunEngine(ProgressDisplay* display)
{
    SyncRunState& runState = environment_.runState;
    // The stop request is left as it is: a signal that came before the run started still counts.
    runState.fileYesToAll = runState.folderYesToAll = arguments_.answerYesToAll;
    runState.fileNoToAll = runState.folderNoToAll = false;

    std::optional<DryRunFileSystem> dryRun;
    const FsResult<SpaceFigures> space = environment_.fileSystem.ReadSpace(roots_.target);
    if (arguments_.dryRun) {
        dryRun.emplace(environment_.fileSystem);
        if (space)
            dryRun->CountSpaceIn(space->blockSize);
    }
    FileSystem& fileSystem = dryRun ? static_cast<FileSystem&>(*dryRun) : environment_.fileSystem;
    TerminalAsker asker(environment_.ttyIn, environment_.ttyOut);
    std::ostream* actions = arguments_.verbosity == Verbosity::Verbose ? &environment_.err : nullptr;
    TerminalHost host(display, actions, asker);

    SyncReport report;
    const ExclusionList exclusions(exclusions_);
    SyncEngine engine(fileSystem, exclusions, runState, report, host);
    if (environment_.places != nullptr)
        engine.SetUserPlaces(*environment_.places);
    engine.Run(roots_.source, roots_.target, options_);
    report.RecordRun(roots_.source, roots_.target, runState.IsStopped());
    // A dry run is a plan of its own: it tells of a disk too small as a plan does.
    if (dryRun && space && !runState.IsStopped()) {
        RunPlan asPlan;
        asPlan.complete = true;
        asPlan.bytesNeeded = dryRun->Space().Needed();
        asPlan.targetFreeBytes = space->freeBytes;
        if (asPlan.WillNotFit())
            output_.WarnEvenWhenQuiet("the run will not fit on the target's disk: " + asPlan.RoomText());
    }
    return report;
}

// Undoes the last run into the target named by --undo, with the undo's own report.
ExitCode UndoLastRun(const RunArguments& arguments, CommandEnvironment& environment)
{
    RunOutput output(environment, arguments);
    if (std::string refused = output.OpenLog(); !refused.empty())
        return output.Refuse(refused, arguments.undoTarget);
    if (environment.places == nullptr)
        return output.Refuse("no journal folder is known for this user", arguments.undoTarget);
    // An undo reaches its target through this machine's layer only: a server's folder is refused
    // before anything is looked up, rather than taken for a relative path here.
    if (IsSftpLocation(arguments.undoTarget))
        return output.Refuse(
            "an undo on a server is not supported yet: remove the run's additions there by hand",
            arguments.undoTarget);
    UndoSearch search = FindLastRun(environment.fileSystem, *environment.places, arguments.undoTarget);
    if (!search.run)
        return output.Refuse(search.refusal, arguments.undoTarget);
    const std::string target = WithTrailingSeparator(arguments.undoTarget);
    std::optional<DryRunFileSystem> dryRun;
    if (arguments.dryRun)
        dryRun.emplace(environment.fileSystem);
    FileSystem& fileSystem = dryRun ? static_cast<FileSystem&>(*dryRun) : environment.fileSystem;

    std::optional<ProgressDisplay> display;
    if (environment.errorStream != ErrorStream::NotATerminal && arguments.verbosity != Verbosity::Quiet)
        display.emplace(environment.err, environment.terminalWidth,
                        environment.errorStream == ErrorStream::DumbTerminal ? LineStyle::PlainLines
                                                                             : LineStyle::Redraw);
    TerminalAsker asker(environment.ttyIn, environment.ttyOut);
    std::ostream* actions = arguments.verbosity == Verbosity::Verbose ? &environment.err : nullptr;
    TerminalHost host(display ? &*display : nullptr, actions, asker);
    SyncReport report;
    RunUndo(fileSystem, *environment.places, environment.runState, report, host,
            &std::chrono::system_clock::now)
        .Undo(*search.run, target);
    display.reset();
    // Another run writing into the target: the undo changed nothing.
    if (!report.refusal.empty())
        return output.Refuse(report.refusal, arguments.undoTarget);
    report.RecordRun(search.run->journal.header.source, target, environment.runState.IsStopped());
    KeepReport(environment, arguments, report, output);
    return output.Report(report, ExitCodeOf(report));
}

// Lists the runs the journal folder tells of, after pruning what is older than the Trash keeps things.
ExitCode ShowHistory(const RunArguments& arguments, CommandEnvironment& environment)
{
    RunOutput output(environment, arguments);
    const std::string subject = arguments.historyTarget.empty() ? "the history" : arguments.historyTarget;
    if (environment.places == nullptr)
        return output.Refuse("no journal folder is known for this user", subject);
    if (const std::string untrusted = CheckUserPlacesOwner(environment.fileSystem, *environment.places);
        !untrusted.empty())
        return output.Refuse("the history cannot be read: " + untrusted, subject);
    const std::string& folder = environment.places->journalFolder;
    PruneRunHistory(environment.fileSystem, folder, arguments.options.trashKeepDays,
                    std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
    std::vector<RunHistoryEntry> entries = ReadRunHistory(environment.fileSystem, folder);
    if (!arguments.historyTarget.empty())
        entries = RunsInto(environment.fileSystem, entries, arguments.historyTarget);
    if (arguments.json)
        PrintHistoryJson(entries, environment.out);
    else
        PrintHistoryText(entries, environment.out);
    environment.out.flush();
    return ExitCode::Finished;
}

// Runs a job, through a session with its server when a folder lies on one.
ExitCode RunJob(const SyncJob& job, const RunArguments& arguments, CommandEnvironment& environment)
{
    if (!ServerSession::Needed(job))
        return JobRun(job, arguments, environment).Run();
    std::unique_ptr<ServerSession> session;
    if (const std::string refused =
            ServerSession::Open(job, arguments.sshKey, environment.fileSystem, session);
        !refused.empty()) {
        RunOutput output(environment, arguments);
        (void)output.OpenLog();
        return output.Refuse(refused, "the target " + job.target);
    }
    CommandEnvironment onServer{environment.out,           environment.err,           environment.ttyIn,
                                environment.ttyOut,        environment.tty,           environment.errorStream,
                                environment.terminalWidth, environment.workingFolder, session->Routing(),
                                environment.runState,      environment.places,        environment.notices,
                                environment.runnerPath};
    return JobRun(job, arguments, onServer).Run();
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
    case Invocation::Version:
        environment.out << "twinfol-sync " << TWINFOL_VERSION << '\n';
        return ExitCode::Finished;
    case Invocation::Profile: {
        const ProfileJobResult loaded = LoadProfileJob(environment.fileSystem, arguments);
        if (!loaded.job) {
            RunOutput output(environment, arguments);
            (void)output.OpenLog();
            return output.Refuse(loaded.error, "the profile " + arguments.profilePath);
        }
        return RunJob(*loaded.job, arguments, environment);
    }
    case Invocation::Undo: return UndoLastRun(arguments, environment);
    case Invocation::Schedule:
    case Invocation::Unschedule:
    case Invocation::Schedules:
    case Invocation::Watch: return RunScheduleCommand(arguments, environment);
    case Invocation::History: return ShowHistory(arguments, environment);
    case Invocation::Folders: break;
    }
    return RunJob(JobFromArguments(arguments), arguments, environment);
}

} // namespace twinfol::cli
