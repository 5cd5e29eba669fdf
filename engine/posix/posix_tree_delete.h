// One tree delete of the POSIX layer, every name removed relative to its open folder.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "engine/posix/posix_walk_context.h"

namespace twinfol {

class PosixTreeDelete {
public:
    PosixTreeDelete(const PosixWalkContext& context, const StopFlag& stop);

    // What FileSystem::DeleteFolderTree promises.
    FsStatus Run(const std::string& folder);

private:
    void DeleteSubTree(int parentFd, const std::string& name, const std::string& folder, int depth);
    void DeleteLevel(int folderFd, const std::string& folder, int depth);
    // Refuses the sub-folder when a file system is mounted there or a link stands in its place.
    static FsStatus CheckSameMount(int parentFd, const char* name);
    // Keeps the walk's first failure; answers whether the status is a success.
    bool Succeeded(FsStatus status);
    bool Failed() const { return failed_.load(std::memory_order_acquire); }
    // Once something failed or a stop was requested, nothing more is begun.
    bool Halted() const { return Failed() || stop_.load(std::memory_order_relaxed); }

    const PosixWalkContext& context_;
    const StopFlag& stop_;
    // The run's rule for the read-only files met on the way.
    ReadOnlyTargets readOnly_ = ReadOnlyTargets::Keep;
    // Sub-folders may be deleted on several threads at once; the first failure ends them all.
    std::mutex failureMutex_;
    FsStatus failure_;
    std::atomic<bool> failed_{false};
};

} // namespace twinfol
