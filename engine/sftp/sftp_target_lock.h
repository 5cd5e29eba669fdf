// The lock a run holds on a target folder on a server. SFTP has no flock, so the lock is a file made
// by an exclusive create beside the target folder, where no walk of the target lists it: the target
// "backup/" is locked by "backup.twinfol-lock" in the folder that holds it. The file says which
// machine and process hold it; one left behind by a process of this machine that is gone is stale and
// taken over. One held from another machine is never taken over: it is removed by hand.
#pragma once

#include <string>

#include "engine/fs/file_system.h"
#include "engine/sftp/sftp_channel.h"

namespace twinfol {

// The text of the refusal of a run whose target another run holds, as on a local disk.
inline constexpr const char* serverTargetBusyReason = "Another synchronisation is writing to this folder";

class SftpTargetLock {
public:
    // Takes the lock for the target folder (the server's path, ending with the separator) without
    // waiting; Status() tells whether another run holds it.
    SftpTargetLock(SftpChannel& channel, const std::string& targetFolder);
    SftpTargetLock(const SftpTargetLock&) = delete;
    SftpTargetLock& operator=(const SftpTargetLock&) = delete;
    // Lets the lock go: its file is removed.
    ~SftpTargetLock();

    const FsStatus& Status() const { return status_; }

    // The lock file of a target folder.
    static std::string LockPath(const std::string& targetFolder);

private:
    bool TakeOverStale();

    SftpChannel& channel_;
    std::string path_;
    FsStatus status_;
    bool held_ = false;
};

} // namespace twinfol
