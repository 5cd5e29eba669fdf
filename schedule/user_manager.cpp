// systemctl --user, for the schedules' units.
#include "schedule/user_manager.h"

#include "schedule/external_program.h"
#include "schedule/unit_files.h"

namespace twinfol {
namespace {

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string Refusal(const std::string& what, const ProgramOutcome& outcome)
{
    if (!outcome.started)
        return "could not run systemctl to " + what;
    return "systemctl could not " + what + ": " + Trimmed(outcome.output);
}

// systemd writes "n/a" or nothing for a time that has not come or never came.
std::string Shown(const std::string& value)
{
    return value == "n/a" || value == "0" ? std::string() : value;
}

} // namespace

bool UserManagerRuns()
{
    return RunProgram({"systemctl", "--user", "--quiet", "show-environment"}).Succeeded();
}

std::string ReloadUserManager()
{
    const ProgramOutcome outcome = RunProgram({"systemctl", "--user", "daemon-reload"});
    return outcome.Succeeded() ? std::string() : Refusal("reload the user's units", outcome);
}

std::string EnableUnitNow(const std::string& unit)
{
    const ProgramOutcome outcome = RunProgram({"systemctl", "--user", "enable", "--now", unit});
    return outcome.Succeeded() ? std::string() : Refusal("enable " + unit, outcome);
}

void DisableUnitNow(const std::string& unit)
{
    (void)RunProgram({"systemctl", "--user", "disable", "--now", unit});
}

TimerTimes ReadTimerTimes(const std::string& timerUnit)
{
    const ProgramOutcome outcome = RunProgram(
        {"systemctl", "--user", "show", "--property=NextElapseUSecRealtime,LastTriggerUSec", timerUnit});
    TimerTimes times;
    if (!outcome.Succeeded())
        return times;
    times.next = Shown(UnitValue(outcome.output, "NextElapseUSecRealtime"));
    times.last = Shown(UnitValue(outcome.output, "LastTriggerUSec"));
    return times;
}

} // namespace twinfol
