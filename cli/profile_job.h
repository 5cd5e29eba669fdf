// The job a profile file describes, in the direction the command line or the profile chooses.
#pragma once

#include <optional>
#include <string>

#include "cli/run_arguments.h"
#include "cli/sync_job.h"
#include "engine/fs/file_system.h"

namespace twinfol::cli {

struct ProfileJobResult {
    std::optional<SyncJob> job;
    // Why the profile cannot be run; set when job is empty.
    std::string error;
};

// Reads the profile named on the command line through the file-system layer and turns it into a job:
// its locations in the chosen direction (the --direction option, else the profile's auto-start
// direction), its options and its exclusions, with the size limits and --delete-ignored of the
// command line added to its own.
ProfileJobResult LoadProfileJob(FileSystem& fileSystem, const RunArguments& arguments);

} // namespace twinfol::cli
