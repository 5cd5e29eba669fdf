// The user's systemd manager, reached through systemctl: whether one runs, and what it is asked to do
// with the schedules' units.
#pragma once

#include <string>

namespace twinfol {

// Whether systemctl is installed and a user manager answers it.
bool UserManagerRuns();

// Asks the manager to read the unit files again; the reason when it failed, empty on success.
std::string ReloadUserManager();

// Enables the unit and starts it now; the reason when it failed, empty on success.
std::string EnableUnitNow(const std::string& unit);

// Stops and disables the unit; a unit the manager does not know is no failure.
void DisableUnitNow(const std::string& unit);

// When a timer runs next and ran last, as the manager words them; empty when it does not say.
struct TimerTimes {
    std::string next;
    std::string last;
};
TimerTimes ReadTimerTimes(const std::string& timerUnit);

} // namespace twinfol
