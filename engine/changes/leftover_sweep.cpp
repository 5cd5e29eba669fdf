// The sweep of old temporary files, by their change time and the time in their name: no copy can set a
// ctime back, and where a disk keeps none of its own (the stamps a copy set stand in for it) the name
// still says when the file was made; a file still being written always looks fresh.
#include "engine/changes/leftover_sweep.h"

#include "base/temporary_name.h"

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
        // Young by either its change time or the time in its name: the first is the stamp a copy set on
        // disks that keep no change time of their own.
        if (!fileSystem_.LookAt(path, facts) || facts.kind != EntryKind::File ||
            facts.changedSeconds >= changedBefore_ || TemporaryNameTime(name) >= changedBefore_)
            continue;
        if (changes_.RemoveLeftover(path))
            report_.notes.push_back("Removed " + path + ", a temporary file an interrupted run left behind");
    }
}

} // namespace twinfol
