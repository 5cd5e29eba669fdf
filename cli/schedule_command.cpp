// Installing, removing and listing schedules from the command line, and running the disk watcher.
#include "cli/schedule_command.h"

#include "cli/text_encoding.h"
#include "schedule/mount_watcher.h"
#include "schedule/schedules.h"
#include "schedule/user_manager.h"

namespace twinfol::cli {
namespace {

std::string DirectionText(SyncDirection direction)
{
    return direction == SyncDirection::Location1ToLocation2 ? "1to2" : "2to1";
}

ExitCode Refuse(CommandEnvironment& environment, const std::string& message)
{
    environment.err << "twinfol-sync: " << ForTerminal(message) << "\n";
    return ExitCode::Refused;
}

ExitCode Tell(CommandEnvironment& environment, const ScheduleOutcome& outcome)
{
    if (!outcome.IsOk())
        return Refuse(environment, outcome.error);
    for (const std::string& note : outcome.notes)
        environment.out << ForTerminal(note) << "\n";
    return ExitCode::Finished;
}

// A timer's entry says when it runs next and ran last; without a user manager, that it cannot say.
std::string WhenLine(const ScheduleEntry& entry)
{
    if (entry.when == "on-mount")
        return "runs " + entry.next;
    if (entry.last.empty())
        return entry.next;
    return "next run: " + entry.next + "; last run: " + entry.last;
}

ExitCode ListAll(const SchedulePlaces& places, UserManager manager, CommandEnvironment& environment)
{
    const std::vector<ScheduleEntry> entries = ListSchedules(places, manager);
    if (entries.empty())
        environment.out << "No schedules.\n";
    for (const ScheduleEntry& entry : entries) {
        environment.out << ForTerminal(entry.profilePath) << "  " << ForTerminal(entry.when);
        if (!entry.direction.empty())
            environment.out << "  --direction " << entry.direction;
        environment.out << "  (" << ForTerminal(entry.unitName) << ")\n    " << ForTerminal(WhenLine(entry))
                        << "\n";
    }
    return ExitCode::Finished;
}

ExitCode Watch(const SchedulePlaces& places, CommandEnvironment& environment)
{
    MountWatcher watcher(places, environment.err);
    const bool watched = watcher.Run([&] { return environment.runState.IsStopped(); });
    return watched ? ExitCode::Finished : ExitCode::Refused;
}

} // namespace

ExitCode RunScheduleCommand(const RunArguments& arguments, CommandEnvironment& environment)
{
    if (environment.runnerPath.empty())
        return Refuse(environment, "the runner cannot tell its own path, which the schedules need");
    const SchedulePlaces places = SchedulePlaces::ForCurrentUser(environment.runnerPath);
    if (arguments.invocation == Invocation::Watch)
        return Watch(places, environment);
    const UserManager manager = UserManagerRuns() ? UserManager::Running : UserManager::Absent;
    switch (arguments.invocation) {
    case Invocation::Schedule: {
        const std::string direction =
            arguments.direction ? DirectionText(*arguments.direction) : std::string();
        return Tell(
            environment,
            ScheduleProfile(places, {arguments.profilePath, arguments.scheduleWhen, direction}, manager));
    }
    case Invocation::Unschedule:
        return Tell(environment, UnscheduleProfile(places, arguments.profilePath, manager));
    default: break;
    }
    return ListAll(places, manager, environment);
}

} // namespace twinfol::cli
