// The life of one run started from the main window.
#include "app/run_control.h"

#include "engine/deletion_guard.h"
#include "engine/sync_roots.h"

namespace twinfol {
namespace {

// At most this many progress texts a second reach the window: enough to follow, and cheap enough
// never to slow a run.
constexpr int progressIntervalMs = 50;

} // namespace

RunControl::RunControl(FileSystem& fileSystem, const UserPlaces& places,
                       SyncWorker::QuestionHandler askOnWindow)
    : fileSystem(fileSystem), worker(fileSystem, places, runState, report, std::move(askOnWindow))
{
    progressTimer.setInterval(progressIntervalMs);
    connect(&progressTimer, &QTimer::timeout, this, &RunControl::PassOnProgress);
    connect(&worker, &SyncWorker::Finished, this, &RunControl::OnEngineFinished);
}

RunControl::~RunControl() = default;

std::string RunControl::Start(SyncDirection direction, const std::string& location1,
                              const std::string& location2, const SyncOptions& options,
                              const ExclusionList& exclusions, const EmptySourceQuestion& askEmptySource)
{
    const bool forward = direction == SyncDirection::Location1ToLocation2;
    RootCheck roots =
        CheckRoots(fileSystem, forward ? location1 : location2, forward ? location2 : location1);
    if (!roots.IsOk())
        return roots.message;
    SyncOptions runOptions = options;
    runOptions.emptySource = EmptySource::Refuse;
    // The exclusions in the order their lookup needs, whatever order a profile file gave them.
    const std::int64_t losses = CountEmptySourceLosses(fileSystem, roots.source, roots.target, options,
                                                       ExclusionList(exclusions.Entries()));
    if (losses > 0) {
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

void RunControl::Stop()
{
    runState.RequestStop();
}

void RunControl::PassOnProgress()
{
    if (const std::optional<std::string> text = worker.TakeProgressText())
        emit ProgressChanged(*text);
}

void RunControl::OnEngineFinished()
{
    progressTimer.stop();
    runState.runningDirection = SyncDirection::None;
    report.RecordRun(source, target, runState.IsStopped());
    emit Finished();
}

} // namespace twinfol
