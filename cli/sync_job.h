// One job for the runner: the two roots, the four engine flags and the exclusions, whether they
// came from the command line or from a profile.
#pragma once

#include <string>
#include <vector>

namespace twinfol::cli {

struct SyncJob {
    std::string source;
    std::string target;
    bool addMissing = true;
    bool deleteMissing = false;
    bool confirmDeletes = false;
    bool checkSubFolders = true;
    std::vector<std::string> exclusions;
};

} // namespace twinfol::cli
