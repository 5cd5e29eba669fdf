// Runs the planning walk of a preview on a thread of its own, so that the window stays responsive
// while it walks; its progress texts are kept for the window to pick up at a readable rate.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <QObject>

#include "engine/fs/file_system.h"
#include "engine/records/exclusion_list.h"
#include "engine/records/sync_options.h"
#include "engine/records/sync_run_state.h"
#include "engine/walk/plan_reasons.h"

namespace twinfol {

class PlanRunner : public QObject {
    Q_OBJECT

public:
    // The walk gives up once the run state's stop is requested. It finds the Trash at the places given,
    // which must outlive this object.
    PlanRunner(FileSystem& fileSystem, const UserPlaces& places, SyncRunState& runState,
               QObject* parent = nullptr);
    // Ends a walk still in progress first: it stops at its next item.
    ~PlanRunner() override;

    // Starts one planning walk; Finished is emitted on the window thread when it is over.
    void Start(std::string source, std::string target, const SyncOptions& options, ExclusionList exclusions);
    // The newest progress text, when it changed since the last call.
    std::optional<std::string> TakeProgressText();
    // The finished walk's plan and rows; read once after Finished.
    ExplainedPlan TakeResult() { return std::move(result_); }

signals:
    void Finished();

private:
    void Run(std::string source, std::string target, SyncOptions options);
    void OnWalkReturned();

    FileSystem& fileSystem_;
    const UserPlaces& places_;
    SyncRunState& runState_;
    ExclusionList exclusions_;
    // Written by the walk's thread alone, and read only after it has been joined.
    ExplainedPlan result_;
    std::thread thread_;
    std::mutex progressMutex_;
    std::string progressText_;
    bool progressChanged_ = false;
};

} // namespace twinfol
