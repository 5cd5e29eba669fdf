// Taking, recognising as stale, and letting go the lock file of a target on a server.
#include "engine/sftp/sftp_target_lock.h"

#include <fcntl.h>
#include <libssh/libssh.h>
#include <libssh/sftp.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <sstream>

#include "base/path.h"

namespace twinfol {
namespace {

std::string HostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return "unknown";
    return name;
}

// What the lock file says of its holder.
std::string LockContent()
{
    return "host=" + HostName() + "\npid=" + std::to_string(getpid()) +
           "\nstarted=" + std::to_string(std::time(nullptr)) + "\n";
}

// Creates the lock file, failing when it exists.
bool CreateExclusively(SftpChannel& channel, const std::string& path)
{
    sftp_file file = sftp_open(channel.Sftp(), path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (file == nullptr)
        return false;
    const std::string content = LockContent();
    const bool written =
        sftp_write(file, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    return sftp_close(file) == SSH_OK && written;
}

std::string ReadLock(SftpChannel& channel, const std::string& path)
{
    sftp_file file = sftp_open(channel.Sftp(), path.c_str(), O_RDONLY, 0);
    if (file == nullptr)
        return {};
    char buffer[512] = {};
    const ssize_t read = sftp_read(file, buffer, sizeof buffer - 1);
    sftp_close(file);
    return read > 0 ? std::string(buffer, static_cast<std::size_t>(read)) : std::string();
}

// Whether the lock's text names a process of this machine that no longer runs.
bool HolderIsGone(const std::string& content)
{
    std::istringstream lines(content);
    std::string line;
    std::string host;
    long pid = 0;
    while (std::getline(lines, line)) {
        if (line.starts_with("host="))
            host = line.substr(5);
        else if (line.starts_with("pid="))
            pid = std::strtol(line.c_str() + 4, nullptr, 10);
    }
    return host == HostName() && pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

std::string SftpTargetLock::LockPath(const std::string& targetFolder)
{
    return WithoutTrailingSeparator(targetFolder) + ".twinfol-lock";
}

SftpTargetLock::SftpTargetLock(SftpChannel& channel, const std::string& targetFolder)
    : channel_(channel), path_(LockPath(targetFolder))
{
    auto lock = channel_.Lock();
    held_ = CreateExclusively(channel_, path_) || TakeOverStale();
    if (held_)
        return;
    const FsStatus failure = channel_.LastFailure();
    EntryFacts existing;
    // A folder that cannot hold the lock file (one the user may not write in) lets the run go on
    // unlocked, as a local disk that keeps no locks does.
    if (!channel_.Facts(path_, existing))
        status_ = failure.Error() == ENOTCONN ? failure : FsStatus();
    else
        status_ = FsStatus::Refusal(EWOULDBLOCK, serverTargetBusyReason);
}

bool SftpTargetLock::TakeOverStale()
{
    if (!HolderIsGone(ReadLock(channel_, path_)))
        return false;
    sftp_unlink(channel_.Sftp(), path_.c_str());
    return CreateExclusively(channel_, path_);
}

SftpTargetLock::~SftpTargetLock()
{
    if (!held_)
        return;
    auto lock = channel_.Lock();
    sftp_unlink(channel_.Sftp(), path_.c_str());
}

} // namespace twinfol
