// Tells a failure that means a root's disk or connection went away (a USB stick pulled, a network
// mount whose server stopped answering) from a failure of one item, so that a run ends at the first
// such failure with one problem line instead of one for every item left.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/fs/file_system.h"

namespace twinfol {

// The reason of the one problem line a run that lost a root's disk ends with.
inline constexpr const char* lostDiskReason = "the disk or connection was lost";

class DiskWatch {
public:
    explicit DiskWatch(FileSystem& fileSystem) : fileSystem_(fileSystem) {}

    // Notes what stands at each root (each ending with the separator) as the run starts.
    void BeginRun(const std::string& sourceRoot, const std::string& targetRoot);
    // For a failure whose error a lost disk gives, looks at both roots again: the root (without its
    // final separator) that can no longer be looked at, or that is another folder now; nothing when
    // both are as they were, or the error is an item's own.
    std::optional<std::string> LostRoot(const FsStatus& failure);

private:
    struct Root {
        std::string path;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        bool known = false;
    };
    Root Note(const std::string& root);
    bool IsLost(const Root& root);

    FileSystem& fileSystem_;
    Root source_;
    Root target_;
};

} // namespace twinfol
