// The job a profile file describes, as the runner needs it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/run_arguments.h"

namespace twinfol::cli {

struct ProfileJob {
    std::string source;
    std::string target;
    bool addMissing = true;
    bool deleteMissing = false;
    bool confirmDeletes = false;
    bool checkSubFolders = true;
    std::vector<std::string> exclusions;
};

struct ProfileJobResult {
    std::optional<ProfileJob> job;
    // Why the profile cannot be run; set when job is empty.
    std::string error;
};

// Reads the profile named on the command line and turns it into a job in the chosen direction
// (the --direction option, else the profile's own auto-start direction).
ProfileJobResult LoadProfileJob(const RunArguments& arguments);

} // namespace twinfol::cli
