// Where schedules are kept and what their units run: the user's unit folder, the folder of the
// on-mount schedules, the folder of the scheduled runs' logs and the runner's own path.
#pragma once

#include <string>

namespace twinfol {

struct SchedulePlaces {
    // $XDG_CONFIG_HOME/systemd/user/, where the user manager looks for units of the user's own.
    std::string unitFolder;
    // $XDG_CONFIG_HOME/twinfol/on-mount/: one file per profile that runs when its disk is plugged in.
    std::string mountScheduleFolder;
    // $XDG_STATE_HOME/twinfol/, where each scheduled profile's runs append to a log of their own.
    std::string logFolder;
    // The absolute path of twinfol-sync, which the units and the watcher start.
    std::string runnerPath;

    // From this process's environment (XDG_CONFIG_HOME and XDG_STATE_HOME where they hold absolute
    // paths, else ~/.config and ~/.local/state), every folder ending with the separator.
    static SchedulePlaces ForCurrentUser(std::string runnerPath);
};

} // namespace twinfol
