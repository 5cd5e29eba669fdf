// The schedules' folders from the XDG base directory variables.
#include "schedule/schedule_places.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace twinfol {
namespace {

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    const passwd* entry = getpwuid(geteuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

// The folder the variable names when it holds an absolute path (the XDG rule: a relative one is
// ignored), else the fallback below the home folder; ending with the separator.
std::string BaseFolder(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    std::string folder =
        value != nullptr && value[0] == '/' ? std::string(value) : HomeFolder() + "/" + fallback;
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

SchedulePlaces SchedulePlaces::ForCurrentUser(std::string runnerPath)
{
    SchedulePlaces places;
    const std::string config = BaseFolder("XDG_CONFIG_HOME", ".config");
    places.unitFolder = config + "systemd/user/";
    places.mountScheduleFolder = config + "twinfol/on-mount/";
    places.logFolder = BaseFolder("XDG_STATE_HOME", ".local/state") + "twinfol/";
    places.runnerPath = std::move(runnerPath);
    return places;
}

} // namespace twinfol
