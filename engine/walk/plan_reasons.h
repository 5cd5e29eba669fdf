// The rows of a run's preview: every item the planning walk decided on, what the run would do with it
// and the reason in words, gathered by listening to the walk as it goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/fs/file_system.h"
#include "engine/walk/plan_observer.h"
#include "engine/walk/run_plan.h"

namespace twinfol {

// TargetNewer: a file on both sides whose target is the newer one; the run leaves it alone. Excluded:
// an item the exclusion list, an ignore pattern or a size limit leaves out; its reason names the rule.
enum class PlanAction {
    Overwrite,
    AddFile,
    AddFolder,
    DeleteFile,
    DeleteFolder,
    WillFail,
    LeaveAlone,
    TargetNewer,
    Excluded
};

struct PlanRow {
    PlanAction action = PlanAction::LeaveAlone;
    // The item's path below the target root, a folder's without the trailing separator; the bytes the
    // file system gave, not yet made fit for display.
    std::string path;
    // A file's size, or the bytes and files a folder holds at any depth.
    std::uint64_t bytes = 0;
    std::uint64_t files = 0;
    bool folder = false;
    std::string reason;
};

// A span of seconds in words: "45 s", "12 min 5 s", "3 h 12 min", "2 d 4 h".
std::string SpanText(std::int64_t seconds);

// The files (links counted as files) and their bytes of data a folder holds at any depth, read through
// the layer; what cannot be listed counts as empty.
FolderContents CountFolderTree(FileSystem& fileSystem, const std::string& folder);

class PlanReasons : public PlanObserver {
public:
    // Sizes are read, and folders to be deleted counted, through the given layer.
    PlanReasons(FileSystem& fileSystem, std::string sourceRoot, std::string targetRoot);

    void StepDecided(const PlanStepItem& item) override;
    // Completes the rows from the finished walk's report: what each added folder holds, and a row for
    // each folder the walk could not read.
    void Finish(const SyncReport& report);
    std::vector<PlanRow> TakeRows() { return std::move(rows_); }

private:
    std::string BelowRoot(const std::string& path) const;
    PlanRow ActionRow(const PlanStepItem& item, PlanAction action, const std::string& reason);
    void AddComparedRow(const PlanStepItem& item);

    FileSystem& fileSystem_;
    std::string sourceRoot_;
    std::string targetRoot_;
    std::vector<PlanRow> rows_;
};

// A plan and its preview's rows, from one planning walk.
struct ExplainedPlan {
    RunPlan plan;
    std::vector<PlanRow> rows;
};

ExplainedPlan MakeExplainedPlan(FileSystem& fileSystem, const std::string& sourceRoot,
                                const std::string& targetRoot, const SyncOptions& options,
                                const ExclusionList& exclusions, const PlanProgress& onProgress,
                                const UserPlaces* places = nullptr);

} // namespace twinfol
