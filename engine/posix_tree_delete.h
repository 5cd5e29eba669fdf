// One tree delete of the POSIX layer, every name removed relative to its open folder.
#pragma once

#include <string>

#include "engine/posix_walk_context.h"

namespace twinfol {

class PosixTreeDelete {
public:
    PosixTreeDelete(const PosixWalkContext& context, const StopFlag& stop);

    // What FileSystem::DeleteFolderTree promises.
    FsStatus Run(const std::string& folder);

private:
    FsStatus DeleteSubTree(int parentFd, const std::string& name, const std::string& folder, int depth);
    FsStatus DeleteLevel(int folderFd, const std::string& folder, int depth);
    // Refuses the sub-folder when a file system is mounted there or a link stands in its place.
    static FsStatus CheckSameMount(int parentFd, const char* name);

    const PosixWalkContext& context_;
    const StopFlag& stop_;
};

} // namespace twinfol
