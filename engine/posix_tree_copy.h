// One tree copy of the POSIX layer: every name is opened relative to its open folder instead of
// through its whole path, and the files of a folder the copy has made are prepared a few ahead.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/posix_listing.h"
#include "engine/posix_walk_context.h"

namespace twinfol {

class PosixTreeCopy {
public:
    PosixTreeCopy(const PosixWalkContext& context, const StopFlag& stop);

    // What FileSystem::CopyFolderTree promises.
    FsStatus Run(const std::string& sourceFolder, const std::string& targetFolder);

private:
    // One level: the open folders, whether the target folder was made by this copy, their paths, what
    // a create gives there (see Destination) and the depth.
    struct Level {
        int sourceFd;
        int targetFd;
        bool targetIsNew;
        const std::string& sourceFolder;
        const std::string& targetFolder;
        std::optional<mode_t> createMask;
        int depth;
    };

    FsStatus CopySubTree(const Level& parent, const std::string& name);
    FsStatus CopyLevel(const Level& level);
    // Copies a run of listed entries (no folder among them) in order, answering whether the stop
    // request ended it.
    FsStatus CopyFileRun(const Level& level, const std::vector<ListedEntry>& entries, bool& stopped);
    // Gives a prepared file its name, or copies the entry from the start when it was not prepared.
    FsStatus CopyOneFile(const Level& level, const ListedEntry& entry, UniqueFd prepared);
    // How one entry's copy names its inner steps to the hook; nothing is built without one.
    CopySteps StepsOf(const Level& level, const std::string& name) const;
    bool IsStopped() const { return stop_.load(std::memory_order_relaxed); }

    const PosixWalkContext& context_;
    const StopFlag& stop_;
    // Read once per tree copy: the umask may differ from one copy to the next.
    std::optional<mode_t> umask_;
};

} // namespace twinfol
