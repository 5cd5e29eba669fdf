// The disk watcher behind "twinfol-sync --watch": it waits for the mount table to change and starts
// the runs of the profiles whose disks have just appeared, each as a child process with the same
// command line a timer's service has.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "engine/posix/posix_mount_table.h"
#include "schedule/mount_schedule.h"
#include "schedule/schedule_places.h"

namespace twinfol {

class MountWatcher {
public:
    // What the watcher does and skips is written to `log`, a line each.
    MountWatcher(SchedulePlaces places, std::ostream& log);

    // Watches until `stopped` answers true (it is asked at least once a second); answers false when the
    // mount table cannot be watched. Disks already mounted when it starts do not start runs: a run
    // starts when a disk appears.
    bool Run(const std::function<bool()>& stopped);

    // One look at the mount table's text: the runs of the schedules whose disks are in it and were not
    // the last time are started. The first look only notes which disks are there.
    void LookAt(const std::vector<MountEntry>& mounts);

    // Collects the runs that have ended, with a line each.
    void CollectEndedRuns();

private:
    // A run still going: its process and its profile.
    struct ChildRun {
        pid_t pid = -1;
        std::string profilePath;
    };

    void StartRun(const MountSchedule& schedule, const std::string& folderNow);

    SchedulePlaces places_;
    std::ostream& log_;
    bool looked_ = false;
    // The schedules whose disks were mounted at the last look, by unit name.
    std::set<std::string> present_;
    // The runs still going, by unit name.
    std::map<std::string, ChildRun> running_;
};

} // namespace twinfol
