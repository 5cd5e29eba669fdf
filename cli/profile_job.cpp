// Reading a profile for the runner. The messages are those the main window shows for the same
// failures, so a person meets the same words in both.
#include "cli/profile_job.h"

#include <cstring>

#include "profile/profile.h"

namespace twinfol::cli {
namespace {

std::optional<SyncDirection> DirectionOf(const RunArguments& arguments, AutoStart autoStart)
{
    if (arguments.direction)
        return arguments.direction;
    // A value the profile format does not know (a later version's) starts nothing.
    switch (autoStart) {
    case AutoStart::Location1ToLocation2: return SyncDirection::Location1ToLocation2;
    case AutoStart::Location2ToLocation1: return SyncDirection::Location2ToLocation1;
    default: break;
    }
    return std::nullopt;
}

// The command line's size limits replace the profile's, and --delete-ignored turns on what the profile
// may leave off. Its patterns come after the profile's when the run starts (see ReadIgnoreRules).
void AddCommandLineLimits(const SyncOptions& given, SyncOptions& job)
{
    if (given.maxFileSize)
        job.maxFileSize = given.maxFileSize;
    if (given.minFileSize)
        job.minFileSize = given.minFileSize;
    job.deleteIgnored = job.deleteIgnored || given.deleteIgnored;
}

} // namespace

ProfileJobResult LoadProfileJob(FileSystem& fileSystem, const RunArguments& arguments)
{
    const std::string& path = arguments.profilePath;
    Profile profile;
    const ProfileLoadResult loaded = profile.ReadFile(fileSystem, path);
    switch (loaded.status) {
    case ProfileLoadStatus::CannotOpen: {
        std::string message = "Could not open file: " + path;
        if (loaded.error != 0)
            message += std::string(" (") + std::strerror(loaded.error) + ")";
        return {std::nullopt, message};
    }
    case ProfileLoadStatus::NotAProfile: return {std::nullopt, path + " is not a valid Twinfol profile"};
    case ProfileLoadStatus::Loaded: break;
    }
    const std::optional<SyncDirection> direction = DirectionOf(arguments, profile.options.autoStart);
    if (!direction)
        return {std::nullopt, "the profile " + path +
                                  " does not start by itself in either direction; "
                                  "give --direction 1to2 or --direction 2to1"};
    const bool forward = *direction == SyncDirection::Location1ToLocation2;
    SyncJob job;
    job.source = forward ? profile.location1 : profile.location2;
    job.target = forward ? profile.location2 : profile.location1;
    // The disk watcher says where a folder on a disk mounted under another path is now.
    if (!arguments.sourceAt.empty())
        job.source = arguments.sourceAt;
    if (!arguments.targetAt.empty())
        job.target = arguments.targetAt;
    // The profile holds the job's options; how this one run goes (how long the Trash keeps things, the
    // safety limits, the workers) is the command line's to say.
    job.options = profile.OptionsForRun(arguments.options);
    AddCommandLineLimits(arguments.options, job.options);
    job.exclusions = profile.exclusions.Entries();
    return {std::move(job), {}};
}

} // namespace twinfol::cli
