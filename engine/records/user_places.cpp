// The user's places from the environment, as the XDG base directory rules name them.
#include "engine/records/user_places.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "base/path.h"

namespace twinfol {
namespace {

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == pathSeparator)
        return home;
    const passwd* user = getpwuid(geteuid());
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "/";
}

// A relative value of the variable is ignored, as the base directory rules say.
std::string BaseFolder(const char* variable, const char* belowHome)
{
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == pathSeparator)
        return WithTrailingSeparator(value);
    return WithTrailingSeparator(HomeFolder()) + belowHome;
}

} // namespace

UserPlaces UserPlaces::ForCurrentUser()
{
    UserPlaces places;
    places.homeTrash = BaseFolder("XDG_DATA_HOME", ".local/share/") + "Trash/";
    places.journalFolder = BaseFolder("XDG_STATE_HOME", ".local/state/") + "twinfol/";
    places.uid = geteuid();
    return places;
}

} // namespace twinfol
