// The sweep of old temporary files, by their change time: no copy can set a ctime back, so a file
// still being written always looks fresh.
#include "engine/changes/leftover_sweep.h"

namespace twinfol {

void LeftoverSweep::BeginRun(std::chrono::system_clock::time_point now)
{
    changedBefore_ =
        std::chrono::duration_cast<std::chrono::seconds>((now - leftoverAge).time_since_epoch()).count();
}

void LeftoverSweep::Sweep(const std::string& targetFolder, const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        const std::string path = targetFolder + name;
        EntryFacts facts;
        if (!fileSystem_.LookAt(path, facts) || facts.kind != EntryKind::File ||
            facts.changedSeconds >= changedBefore_)
            continue;
        if (changes_.RemoveLeftover(path))
            report_.notes.push_back("Removed " + path + ", a temporary file an interrupted run left behind");
    }
}

} // namespace twinfol
