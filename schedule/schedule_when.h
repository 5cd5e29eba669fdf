// When a scheduled profile runs: at a time the user manager's calendar gives, or when the disk that
// holds one of its folders is plugged in.
#pragma once

#include <string>

namespace twinfol {

struct ScheduleWhen {
    enum class Kind { Calendar, OnMount };
    Kind kind = Kind::Calendar;
    // For a calendar schedule: "hourly", "daily", "weekly" or any systemd calendar expression.
    std::string calendar;

    bool IsOnMount() const { return kind == Kind::OnMount; }
    // As the command line and the listing write it.
    std::string Text() const { return IsOnMount() ? "on-mount" : calendar; }
};

struct WhenCheck {
    ScheduleWhen when;
    // Why the text is refused; empty when it is taken.
    std::string error;
    // Said even when the text is taken: that it could not be checked (no systemd-analyze here).
    std::string note;
};

// Reads WHEN as the command line gives it. A calendar expression other than the three words is checked
// with "systemd-analyze calendar" where that is installed; where it is not, the expression is taken as
// written and the note says it was not checked.
WhenCheck ReadScheduleWhen(const std::string& text);

} // namespace twinfol
