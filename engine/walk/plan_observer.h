// A listener to the planning walk: told of each item the walk decides on, as it decides, so that a
// preview can say for every item what the run would do with it and why.
#pragma once

#include <optional>
#include <string>

#include "engine/fs/file_stamp.h"
#include "engine/fs/fs_status.h"
#include "engine/walk/item_rules.h"

namespace twinfol {

// What the walk did with one item, on the layer it walks (a plan walks the trial-run layer, so
// nothing has changed).
enum class PlanStep {
    Overwrite,
    AddFile,
    AddFolder,
    DeleteFile,
    DeleteFolder,
    // A file on both sides that was compared and not overwritten.
    LeftAlone,
    // An item an exclusion kept the walk from acting on.
    Excluded,
    // An item an ignore pattern or a size limit left out of the run.
    Ignored,
};

struct PlanStepItem {
    PlanStep step = PlanStep::LeftAlone;
    // The item's path in the source (empty for an item only in the target) and in the target; a
    // folder's ends with the separator.
    std::string sourcePath;
    std::string targetPath;
    // How the step went; a failure is the problem the run would meet.
    FsStatus outcome;
    // For a file on both sides: the stamps the comparison read, nothing where one could not be read.
    std::optional<FileStamp> sourceStamp;
    std::optional<FileStamp> targetStamp;
    // What the comparison of those stamps found: why a file on both sides was overwritten or left alone.
    TwinComparison comparison = TwinComparison::Unreadable;
    // For an excluded or ignored item: the rule that left it out, in words ("excluded by path",
    // "excluded by pattern `*.tmp` (from job.twp)", "larger than 100.0 MiB").
    std::string rule;
};

class PlanObserver {
public:
    virtual ~PlanObserver() = default;
    // Called on the walk's thread, after the step and after the report has recorded it.
    virtual void StepDecided(const PlanStepItem& item) = 0;
};

} // namespace twinfol
