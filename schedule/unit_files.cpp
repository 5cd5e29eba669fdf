// Writing the units' texts. Each word of ExecStart is quoted, so that a path with blanks, quotes or
// "%" reaches the runner as one argument, unchanged.
#include "schedule/unit_files.h"

namespace twinfol {
namespace {

// A word of a command line in a unit, in double quotes: a backslash and a quote are escaped with a
// backslash, "%" is doubled so it is no specifier, and "$" is doubled so it is no variable.
std::string QuotedWord(const std::string& word)
{
    std::string quoted = "\"";
    for (const char letter : word) {
        if (letter == '\\' || letter == '"')
            quoted += '\\';
        else if (letter == '%' || letter == '$')
            quoted += letter;
        quoted += letter;
    }
    return quoted + "\"";
}

std::string CommandLine(const std::vector<std::string>& command)
{
    std::string line;
    for (const std::string& word : command)
        line += (line.empty() ? "" : " ") + QuotedWord(word);
    return line;
}

constexpr const char* writtenBy = "# Written by twinfol-sync --schedule or the window's \"Schedule...\" "
                                  "command; removed by twinfol-sync --unschedule.\n";

} // namespace

std::string ScheduledLogPath(const SchedulePlaces& places, const ScheduledRun& run)
{
    return places.logFolder + run.unitName + ".log";
}

std::vector<std::string> ScheduledCommand(const SchedulePlaces& places, const ScheduledRun& run,
                                          const std::vector<std::string>& extra, bool waitForAction)
{
    std::vector<std::string> command{places.runnerPath, "-q", waitForAction ? "--notify-wait" : "--notify",
                                     "--log-file", ScheduledLogPath(places, run)};
    if (!run.direction.empty()) {
        command.push_back("--direction");
        command.push_back(run.direction);
    }
    command.insert(command.end(), extra.begin(), extra.end());
    // The path is absolute, so it is never taken for an option.
    command.push_back(run.profilePath);
    return command;
}

std::string ServiceText(const SchedulePlaces& places, const ScheduledRun& run, const std::string& when)
{
    std::string text = writtenBy;
    text += "[Unit]\n";
    text += "Description=Twinfol: run the profile " + UnitEscapedValue(run.profilePath) + "\n";
    text += "X-Twinfol-Profile=" + UnitEscapedValue(run.profilePath) + "\n";
    text += "X-Twinfol-When=" + UnitEscapedValue(when) + "\n";
    if (!run.direction.empty())
        text += "X-Twinfol-Direction=" + run.direction + "\n";
    text += "\n[Service]\n";
    // The run ends by itself; the manager waits for it and records how it ended.
    text += "Type=oneshot\n";
    text += "ExecStart=" + CommandLine(ScheduledCommand(places, run)) + "\n";
    // A backup runs behind what the person is doing.
    text += "Nice=10\nIOSchedulingClass=idle\n";
    return text;
}

std::string TimerText(const ScheduledRun& run, const std::string& when)
{
    std::string text = writtenBy;
    text += "[Unit]\n";
    text += "Description=Twinfol: when to run the profile " + UnitEscapedValue(run.profilePath) + "\n";
    text += "\n[Timer]\n";
    text += "OnCalendar=" + UnitEscapedValue(when) + "\n";
    text += "Persistent=true\n";
    text += "\n[Install]\nWantedBy=timers.target\n";
    return text;
}

std::string WatchServiceText(const SchedulePlaces& places)
{
    std::string text = writtenBy;
    text += "[Unit]\n";
    text += "Description=Twinfol: run profiles when their disks are plugged in\n";
    text += "\n[Service]\n";
    text += "ExecStart=" + CommandLine({places.runnerPath, "--watch"}) + "\n";
    text += "Restart=on-failure\nRestartSec=10\n";
    text += "\n[Install]\nWantedBy=default.target\n";
    return text;
}

std::string UnitValue(const std::string& unitText, const std::string& key)
{
    const std::string start = key + "=";
    std::size_t at = 0;
    while (at < unitText.size()) {
        const std::size_t end = std::min(unitText.find('\n', at), unitText.size());
        if (unitText.compare(at, start.size(), start) == 0)
            return unitText.substr(at + start.size(), end - at - start.size());
        at = end + 1;
    }
    return {};
}

std::string UnitEscapedValue(const std::string& value)
{
    std::string escaped;
    for (const char letter : value) {
        if (letter == '%')
            escaped += '%';
        escaped += letter;
    }
    return escaped;
}

std::string UnitUnescapedValue(const std::string& value)
{
    std::string plain;
    for (std::size_t at = 0; at < value.size(); ++at) {
        plain += value[at];
        if (value[at] == '%' && at + 1 < value.size() && value[at + 1] == '%')
            ++at;
    }
    return plain;
}

} // namespace twinfol
