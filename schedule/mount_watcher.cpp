// Waiting on /proc/self/mountinfo, whose poll answers POLLPRI when a mount comes or goes, and starting
// the runs the new mounts make due.
#include "schedule/mount_watcher.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "base/bounded_read.h"
#include "base/unique_fd.h"
#include "schedule/disk_identity.h"
#include "schedule/external_program.h"
#include "schedule/scheduled_profile.h"

namespace twinfol {
namespace {

// A mount table of thousands of mounts stays far below this.
constexpr std::size_t mostMountTableBytes = 16 * 1024 * 1024;

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool IsFolder(const std::string& path)
{
    struct stat facts {};
    return stat(path.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode);
}

std::string EndedText(int status)
{
    if (WIFEXITED(status))
        return "ended with exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "was ended by signal " + std::to_string(WTERMSIG(status));
    return "ended";
}

} // namespace

MountWatcher::MountWatcher(SchedulePlaces places, std::ostream& log) : places_(std::move(places)), log_(log)
{
}

void MountWatcher::LookAt(const std::vector<MountEntry>& mounts)
{
    // A device number names another disk once the first is gone (loop devices are reused), so the
    // identities are asked afresh at every look.
    std::map<std::pair<std::uint32_t, std::uint32_t>, DiskIdentity> identities;
    const auto identify = [&](const MountEntry& mount) -> const DiskIdentity& {
        const auto key = std::make_pair(mount.deviceMajor, mount.deviceMinor);
        auto found = identities.find(key);
        if (found == identities.end())
            found = identities.emplace(key, IdentifyDevice(makedev(key.first, key.second))).first;
        return found->second;
    };
    std::set<std::string> present;
    for (const MountSchedule& schedule : ReadMountSchedules(places_.mountScheduleFolder)) {
        const std::optional<std::string> now = CurrentPlace(mounts, schedule.disk, schedule.below, identify);
        if (!now)
            continue;
        present.insert(schedule.run.unitName);
        if (looked_ && !present_.contains(schedule.run.unitName))
            StartRun(schedule, *now);
    }
    present_ = std::move(present);
    looked_ = true;
}

void MountWatcher::StartRun(const MountSchedule& schedule, const std::string& folderNow)
{
    const std::string& profilePath = schedule.run.profilePath;
    const char* sideName = schedule.side == RunSide::Source ? "source" : "target";
    if (running_.contains(schedule.run.unitName)) {
        log_ << "Skipped " << profilePath << ": its last run has not ended yet.\n";
        return;
    }
    // The disk is there but the folder is not: never a run against an empty or missing folder.
    if (!IsFolder(folderNow)) {
        log_ << "Skipped " << profilePath << ": the disk with " << schedule.disk.Text()
             << " is mounted, but its " << sideName << " folder " << folderNow << " is not on it.\n";
        return;
    }
    const ScheduledProfile profile = CheckScheduledProfile(profilePath, schedule.run.direction);
    if (!profile.error.empty()) {
        log_ << "Skipped " << profilePath << ": " << profile.error << ".\n";
        return;
    }
    const std::string& saved = schedule.side == RunSide::Source ? profile.source : profile.target;
    std::vector<std::string> extra;
    // The desktop mounted the disk under another path than the profile names: the run is told where its
    // folder is now.
    if (WithoutTrailingSlash(saved) != WithoutTrailingSlash(folderNow))
        extra = {std::string("--") + sideName + "-at", folderNow};
    const std::optional<pid_t> child = StartChild(ScheduledCommand(places_, schedule.run, extra, true));
    if (!child) {
        log_ << "Could not start the run of " << profilePath << ".\n";
        return;
    }
    running_[schedule.run.unitName] = {*child, profilePath};
    log_ << "Started the run of " << profilePath << " (its " << sideName << " is " << folderNow << ").\n";
}

void MountWatcher::CollectEndedRuns()
{
    for (auto run = running_.begin(); run != running_.end();) {
        int status = 0;
        if (waitpid(run->second.pid, &status, WNOHANG) == run->second.pid) {
            log_ << "The run of " << run->second.profilePath << " " << EndedText(status) << ".\n";
            run = running_.erase(run);
        } else {
            ++run;
        }
    }
}

bool MountWatcher::Run(const std::function<bool()>& stopped)
{
    const UniqueFd table(open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
    if (!table) {
        log_ << "Cannot watch the mounts: /proc/self/mountinfo cannot be opened.\n";
        return false;
    }
    bool changed = true;
    while (!stopped()) {
        if (changed) {
            const bool first = !looked_;
            // Reading the table from the start is also what arms the next POLLPRI.
            std::string text;
            if (lseek(table.Get(), 0, SEEK_SET) != 0 ||
                ReadBounded(table.Get(), mostMountTableBytes, text) != 0) {
                log_ << "Cannot read /proc/self/mountinfo.\n";
                return false;
            }
            LookAt(ParseMountTable(text));
            // Said once the disks already there are known, so that whoever waits for this line knows
            // that a disk mounted from now on starts its run.
            if (first)
                log_ << "Watching the mounts for the disks of "
                     << ReadMountSchedules(places_.mountScheduleFolder).size() << " on-mount schedules.\n";
        }
        CollectEndedRuns();
        pollfd watched{table.Get(), POLLPRI, 0};
        const int ready = poll(&watched, 1, 1000);
        if (ready < 0 && errno != EINTR)
            return false;
        changed = ready > 0 && (watched.revents & (POLLPRI | POLLERR)) != 0;
    }
    return true;
}

} // namespace twinfol
