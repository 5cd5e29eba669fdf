// One job for the runner: the two roots, the options and the exclusions, whether they came from the
// command line or from a profile.
#pragma once

#include <string>
#include <vector>

#include "engine/records/sync_options.h"

namespace twinfol::cli {

// The runner's defaults where the command line says nothing: add and recurse, but neither delete nor
// ask, so that a bare invocation never removes anything.
inline constexpr SyncOptions commandLineDefaults{.deleteMissing = false, .confirmDeletes = false};

struct SyncJob {
    std::string source;
    std::string target;
    SyncOptions options = commandLineDefaults;
    std::vector<std::string> exclusions;
};

} // namespace twinfol::cli
