// The lock a run holds on its target root for its whole length, so that two runs never write into the
// same target at once.
#pragma once

#include <memory>
#include <string>

#include "base/unique_fd.h"
#include "engine/fs/file_system.h"

namespace twinfol {

// The text of the refusal of a run whose target another run holds.
inline constexpr const char* targetBusyReason = "Another synchronisation is writing to this folder";

// An flock on the target root folder's own descriptor: no lock file, which would be an entry of the
// target like any other. A file system that keeps no locks (some network shares) lets the run go on
// unlocked, as it would without this lock.
class PosixTargetLock {
public:
    // Takes the lock without waiting; Status() tells whether another run holds it.
    explicit PosixTargetLock(const std::string& targetRoot);

    const FsStatus& Status() const { return status_; }

private:
    UniqueFd folder_;
    FsStatus status_;
};

// A run's scope that also holds its target's lock: the lock is let go only after the inner scope.
class LockedRunScope : public RunScope {
public:
    LockedRunScope(std::unique_ptr<PosixTargetLock> lock, std::unique_ptr<RunScope> inner)
        : lock_(std::move(lock)), inner_(std::move(inner))
    {
    }
    FsStatus Status() const override { return lock_->Status(); }

private:
    std::unique_ptr<PosixTargetLock> lock_;
    std::unique_ptr<RunScope> inner_;
};

} // namespace twinfol
