// One run at a time from the main window: refuses roots that must not be synchronised, starts the
// engine on its thread, passes its progress on at a readable rate, and ends the run when the engine
// says it has finished.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <QObject>
#include <QTimer>

#include "app/plan_runner.h"
#include "app/sync_worker.h"
#include "engine/fs/file_system.h"
#include "engine/records/exclusion_list.h"
#include "engine/records/sync_options.h"
#include "engine/records/sync_report.h"
#include "engine/records/sync_run_state.h"
#include "engine/walk/deletion_guard.h"

namespace twinfol {

class RunControl : public QObject {
    Q_OBJECT

public:
    // Asked, before anything is touched, whether a run whose source folder is empty may delete the
    // items at the top of its target (a folder counting as one), which hold the files and bytes told;
    // true lets it.
    using EmptySourceQuestion = std::function<bool(const EmptySourceLosses& losses, const std::string& source,
                                                   const std::string& target)>;

    // Delete questions are put to the person by the handler, on the window thread. Runs keep their
    // journals and use the Trash at the places given, which must outlive this object.
    RunControl(FileSystem& fileSystem, const UserPlaces& places, SyncWorker::QuestionHandler askOnWindow);
    // Ends a run still in progress first: the engine stops at its next stop test, and a question it
    // asks meanwhile is answered with Cancel.
    ~RunControl() override;

    bool IsRunning() const { return runState.IsRunning(); }
    SyncDirection RunningDirection() const { return runState.runningDirection; }
    // The report of the last finished run; filled by the engine while a run is in progress.
    const SyncReport& Report() const { return report; }

    // Starts a run in the direction between the two locations, unless one is in progress (the caller
    // refuses that) or the roots are refused: then nothing starts and the message says why. A run that
    // would delete what the target holds because the source folder is empty (usually a disk that is
    // not mounted) starts only when the question is answered Yes; otherwise nothing starts, without a
    // message. Should the source turn empty after this check, the run deletes nothing.
    std::string Start(SyncDirection direction, const std::string& location1, const std::string& location2,
                      const SyncOptions& options, const ExclusionList& exclusions,
                      const EmptySourceQuestion& askEmptySource);
    // Starts the planning walk of a preview in the direction, as Start would start the run (the same
    // refusals, no question asked), unless a run or walk is in progress. The window is busy until
    // PlanFinished; Stop gives the walk up.
    std::string StartPlan(SyncDirection direction, const std::string& location1, const std::string& location2,
                          const SyncOptions& options, const ExclusionList& exclusions);
    bool IsPlanning() const { return planning; }
    // The finished walk's plan and rows, and the direction it was made for; taken once after
    // PlanFinished.
    ExplainedPlan TakePlan() { return planner.TakeResult(); }
    SyncDirection PlannedDirection() const { return plannedDirection; }

    // Starts the undo of the last run into the target, shown as a run in the direction that wrote into
    // it; it ends like a run, with its report.
    void StartUndo(SyncDirection direction, UndoableRun run, const std::string& target);
    // Asks the engine to stop at its next stop test; the run then ends as usual.
    void Stop();

signals:
    // The run has started: the direction is set and the report emptied.
    void Started();
    // The newest progress text of the run in progress.
    void ProgressChanged(const std::string& text);
    // The engine has finished: the run is over and the report names its roots.
    void Finished();
    // How far the copies of the run in progress have come.
    void CopyCountersChanged(const twinfol::CopyCounters& counters);
    // A delete question of the run is open, and has been answered: the time between is no time of
    // copying.
    void QuestionOpened();
    void QuestionClosed();
    // A preview's planning walk has ended, at its end or stopped; the window is no longer busy.
    void PlanFinished();

private:
    // Leaves the record of a run refused before it started in the history.
    void KeepRefusal(const std::string& from, const std::string& into, const std::string& message);
    void PassOnProgress();
    void OnEngineFinished();
    void OnPlanFinished();

    FileSystem& fileSystem;
    const UserPlaces& places;
    // Everything the engine writes to is declared before the worker, so that it outlives the engine
    // thread, which the worker ends when it goes.
    SyncRunState runState;
    SyncReport report;
    std::string source;
    std::string target;
    QTimer progressTimer;
    bool planning = false;
    SyncDirection plannedDirection = SyncDirection::None;
    SyncWorker worker;
    PlanRunner planner;
};

} // namespace twinfol
