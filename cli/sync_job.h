// One job for the runner: the two roots, the options and the exclusions, whether they came from the
// command line or from a profile.
#pragma once

#include <string>
#include <vector>

#include "engine/records/sync_options.h"

namespace twinfol::cli {

struct SyncJob {
    std::string source;
    std::string target;
    SyncOptions options;
    std::vector<std::string> exclusions;
};

} // namespace twinfol::cli
