// The life of one run started from the main window.
#include "app/run_control.h"

#include "engine/changes/kept_report.h"
#include "engine/sftp/sftp_location.h"
#include "engine/walk/sync_roots.h"

namespace twinfol {
namespace {

// At most this many progress texts a second reach the window: enough to follow, and cheap enough
// never to slow a run.
constexpr int progressIntervalMs = 50;

} // namespace

namespace {

// The roots' checks for a run from the window, which reaches the folders of this computer only: a
// server location is refused by name rather than taken for a folder that does not exist.
RootCheck CheckWindowRoots(FileSystem& fileSystem, const std::string& source, const std::string& target)
{
    for (const std::string* root : {&source, &target}) {
        if (!IsSftpLocation(*root))
            continue;
        RootCheck refused;
        refused.problem = root == &source ? RootProblem::SourceMissing : RootProblem::TargetMissing;
        refused.message = "A server location can be synchronised by twinfol-sync only so far: " + *root;
        return refused;
    }
    return CheckRoots(fileSystem, source, target);
}

} // namespace

RunControl::RunControl(FileSystem& fileSystem, const UserPlaces& places,
                       SyncWorker::QuestionHandler askOnWindow)
    : fileSystem(fileSystem), places(places),
      worker(fileSystem, places, runState, report,
             [this, ask = std::move(askOnWindow)](const ConfirmQuestion& question) {
                 emit QuestionOpened();
                 const ConfirmAnswer answer = ask(question);
                 emit QuestionClosed();
                 return answer;
             }),
      planner(fileSystem, places, runState)
{
    progressTimer.setInterval(progressIntervalMs);
    connect(&progressTimer, &QTimer::timeout, this, &RunControl::PassOnProgress);
    connect(&worker, &SyncWorker::Finished, this, &RunControl::OnEngineFinished);
    connect(&planner, &PlanRunner::Finished, this, &RunControl::OnPlanFinished);
}

RunControl::~RunControl() = default;

std::string RunControl::Start(SyncDirection direction, const std::string& location1,
                              const std::string& location2, const SyncOptions& options,
                              const ExclusionList& exclusions, const EmptySourceQuestion& askEmptySource)
{
    const bool forward = direction == SyncDirection::Location1ToLocation2;
    RootCheck roots =
        CheckWindowRoots(fileSystem, forward ? location1 : location2, forward ? location2 : location1);
    if (!roots.IsOk()) {
        KeepRefusal(forward ? location1 : location2, forward ? location2 : location1, roots.message);
        return roots.message;
    }
    SyncOptions runOptions = options;
    runOptions.emptySource = EmptySource::Refuse;
    // The exclusions in the order their lookup needs, whatever order a profile file gave them.
    const EmptySourceLosses losses = CountEmptySourceLosses(fileSystem, roots.source, roots.target, options,
                                                            ExclusionList(exclusions.Entries()), &places);
    if (losses.items > 0) {
        if (!askEmptySource(losses, roots.source, roots.target))
            return {};
        runOptions.emptySource = EmptySource::Allow;
    }
    source = std::move(roots.source);
    target = std::move(roots.target);
    runState.runningDirection = direction;
    runState.ResetForRun();
    report.ResetForRun();
    emit Started();
    worker.Start(source, target, runOptions, exclusions);
    progressTimer.start();
    return {};
}

std::string RunControl::StartPlan(SyncDirection direction, const std::string& location1,
                                  const std::string& location2, const SyncOptions& options,
                                  const ExclusionList& exclusions)
{
    const bool forward = direction == SyncDirection::Location1ToLocation2;
    RootCheck roots =
        CheckWindowRoots(fileSystem, forward ? location1 : location2, forward ? location2 : location1);
    if (!roots.IsOk())
        return roots.message;
    planning = true;
    plannedDirection = direction;
    runState.runningDirection = direction;
    runState.ResetForRun();
    emit Started();
    planner.Start(std::move(roots.source), std::move(roots.target), options, exclusions);
    progressTimer.start();
    return {};
}

void RunControl::StartUndo(SyncDirection direction, UndoableRun run, const std::string& undoTarget)
{
    source = run.journal.header.source;
    target = WithTrailingSeparator(undoTarget);
    runState.runningDirection = direction;
    runState.ResetForRun();
    report.ResetForRun();
    emit Started();
    worker.StartUndo(std::move(run), target);
    progressTimer.start();
}

void RunControl::KeepRefusal(const std::string& from, const std::string& into, const std::string& message)
{
    SyncReport refused;
    refused.source = from;
    refused.target = into;
    refused.refusal = message;
    refused.startTime = std::chrono::system_clock::now();
    std::string keptAt;
    // The person sees the refusal now; a record that cannot be kept only leaves the history shorter.
    (void)KeepRunReport(fileSystem, places, refused, keptAt);
}

void RunControl::Stop()
{
    runState.RequestStop();
}

void RunControl::PassOnProgress()
{
    // The walk's own texts name the same operations as a run's, so the line says that it only plans.
    if (planning) {
        if (const std::optional<std::string> text = planner.TakeProgressText())
            emit ProgressChanged("Planning: " + *text);
        return;
    }
    if (const std::optional<std::string> text = worker.TakeProgressText())
        emit ProgressChanged(*text);
    if (const std::optional<CopyCounters> counters = worker.TakeCopyCounters())
        emit CopyCountersChanged(*counters);
}

void RunControl::OnEngineFinished()
{
    progressTimer.stop();
    runState.runningDirection = SyncDirection::None;
    report.RecordRun(source, target, runState.IsStopped());
    // Kept for the history; one that cannot be kept says so among the report's notes.
    std::string keptAt;
    if (const FsStatus kept = KeepRunReport(fileSystem, places, report, keptAt); !kept)
        report.notes.push_back("The report could not be kept for the history (" + kept.Reason() + ").");
    emit Finished();
}

void RunControl::OnPlanFinished()
{
    progressTimer.stop();
    planning = false;
    runState.runningDirection = SyncDirection::None;
    emit PlanFinished();
}

} // namespace twinfol
