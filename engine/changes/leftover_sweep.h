// Removing the temporary files a killed run left in its target: a copy that cannot make an unnamed
// file (FUSE file systems such as exFAT's) writes a named one, and a kill mid-copy leaves it behind.
#pragma once

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "engine/changes/target_changes.h"
#include "engine/fs/file_system.h"
#include "engine/records/sync_report.h"

namespace twinfol {

// How long ago a temporary file's status must have last changed before a run takes it for a killed
// run's: a run into a sub-folder of the same target holds no lock on the target's root, so a younger
// one may still be written.
inline constexpr std::chrono::hours leftoverAge{1};

class LeftoverSweep {
public:
    // Removes through the run's changes, so that with the Trash option a leftover goes to the Trash.
    LeftoverSweep(FileSystem& fileSystem, TargetChanges& changes, SyncReport& report)
        : fileSystem_(fileSystem), changes_(changes), report_(report)
    {
    }

    // Starts a run that began at the given time. Until then nothing is old enough to be removed.
    void BeginRun(std::chrono::system_clock::time_point now);
    // Removes those of the temporary files listed in a target folder (ending with the separator) that
    // are plain files and old enough, each with a note in the report. One that cannot be removed (nor
    // moved to the Trash) is left as it is: it is no item of the person's, so its failure is no problem
    // of the run.
    void Sweep(const std::string& targetFolder, const std::vector<std::string>& names);

private:
    FileSystem& fileSystem_;
    TargetChanges& changes_;
    SyncReport& report_;
    // Seconds since the epoch: a status change before this is old enough.
    std::int64_t changedBefore_ = std::numeric_limits<std::int64_t>::min();
};

} // namespace twinfol
