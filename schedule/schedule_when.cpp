// Reading and checking a schedule's WHEN.
#include "schedule/schedule_when.h"

#include "schedule/external_program.h"

namespace twinfol {
namespace {

// The last line systemd-analyze wrote, which holds its reason for refusing an expression.
std::string LastLine(std::string text)
{
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    const std::size_t at = text.rfind('\n');
    return at == std::string::npos ? text : text.substr(at + 1);
}

} // namespace

WhenCheck ReadScheduleWhen(const std::string& text)
{
    WhenCheck check;
    if (text == "on-mount") {
        check.when.kind = ScheduleWhen::Kind::OnMount;
        return check;
    }
    check.when.calendar = text;
    if (text.empty() || text.find_first_of("\n\r") != std::string::npos) {
        check.error = "the schedule needs hourly, daily, weekly, on-mount or a calendar expression";
        return check;
    }
    if (text == "hourly" || text == "daily" || text == "weekly")
        return check;
    if (!FindProgram("systemd-analyze")) {
        check.note = "systemd-analyze is not installed, so the calendar expression \"" + text +
                     "\" was not checked; the user manager will say whether it takes it";
        return check;
    }
    const ProgramOutcome outcome = RunProgram({"systemd-analyze", "calendar", "--", text});
    if (!outcome.Succeeded())
        check.error = "\"" + text + "\" is not a calendar expression systemd understands (" +
                      LastLine(outcome.output) + ")";
    return check;
}

} // namespace twinfol
