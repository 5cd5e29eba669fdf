// The planning walk: the engine, unchanged, over the trial-run layer and a host that asks nothing.
#include "engine/walk/run_plan.h"

#include "base/amount_text.h"
#include "engine/fs/dry_run_file_system.h"
#include "engine/records/sync_run_state.h"
#include "engine/walk/sync_engine.h"

namespace twinfol {
namespace {

class PlanHost : public SyncHost {
public:
    PlanHost(const PlanProgress& onProgress, SyncRunState& runState)
        : onProgress_(onProgress), runState_(runState)
    {
    }

    void SetProgressText(const std::string& text) override
    {
        if (onProgress_ && !onProgress_(text))
            runState_.RequestStop();
    }
    // Never reached: the plan's options ask nothing.
    ConfirmAnswer Ask(const ConfirmQuestion&) override { return ConfirmAnswer::YesToAll; }

private:
    const PlanProgress& onProgress_;
    SyncRunState& runState_;
};

} // namespace

std::int64_t RunPlan::ItemsToDelete() const
{
    std::int64_t items = std::int64_t{report.deletedFileCount} + report.deletedFolderCount;
    for (const ProblemRecord& problem : report.problemLog)
        if (problem.kind == ProblemKind::DeleteFile || problem.kind == ProblemKind::DeleteFolder)
            ++items;
    return items;
}

std::string RunPlan::RoomText() const
{
    return "needs " + FormatBytes(bytesNeeded) + ", " + FormatBytes(targetFreeBytes.value_or(0)) + " free";
}

RunPlan MakeRunPlan(FileSystem& fileSystem, const std::string& sourceRoot, const std::string& targetRoot,
                    SyncOptions options, const ExclusionList& exclusions, const PlanProgress& onProgress,
                    PlanObserver* observer, const UserPlaces* places)
{
    options.confirmDeletes = false;
    options.emptySource = EmptySource::Allow;
    options.maxDeletes.reset();
    // An observer hears of each item on the walk's own thread, in the walk's order.
    if (observer)
        options.jobs = 1;
    // Without a Trash to find, every overwrite and delete would look as if it failed.
    if (!places)
        options.useTrash = false;
    DryRunFileSystem trial(fileSystem);
    RunPlan plan;
    if (const FsResult<SpaceFigures> space = fileSystem.ReadSpace(targetRoot)) {
        plan.targetFreeBytes = space->freeBytes;
        trial.CountSpaceIn(space->blockSize);
    }
    SyncRunState runState;
    PlanHost host(onProgress, runState);
    SyncEngine engine(trial, exclusions, runState, plan.report, host);
    engine.SetPlanObserver(observer);
    if (places)
        engine.SetUserPlaces(*places);
    engine.Run(sourceRoot, targetRoot, options);
    plan.report.RecordRun(sourceRoot, targetRoot, runState.IsStopped());
    plan.complete = !runState.IsStopped();
    plan.bytesNeeded = trial.Space().Needed();
    return plan;
}

} // namespace twinfol
