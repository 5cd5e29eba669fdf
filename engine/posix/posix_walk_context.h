// What the POSIX layer's tree walks share with the layer: its path resolution, its entry copy and
// background helpers, the layer itself for the by-path walk of very deep levels, the hook, and whoever
// hears of the files a tree copy has copied.
#pragma once

#include <string>

#include "engine/fs/file_system.h"
#include "engine/fs/walk_hook.h"
#include "engine/posix/deferred_closer.h"
#include "engine/posix/posix_entry_copy.h"
#include "engine/posix/posix_path_resolver.h"
#include "engine/posix/prepare_ahead.h"

namespace twinfol {

// A tree walk holds two descriptors per level; below this depth it goes on through whole paths, so
// that a very deep tree cannot use up the process's descriptors.
inline constexpr int deepestOpenLevel = 48;

struct PosixWalkContext {
    FileSystem& layer;
    const PosixPathResolver& resolver;
    PosixEntryCopy& entryCopy;
    PrepareAhead& prepareAhead;
    DeferredCloser& closer;
    WalkHook* hook;
    CopyProgress* progress;

    // Reports a step to the hook, when there is one; without one this is a pointer test.
    FsStatus Step(WalkStep step, const std::string& path, const std::string& secondPath = {}) const
    {
        return hook != nullptr ? hook->BeforeStep(step, path, secondPath) : FsStatus();
    }
};

} // namespace twinfol
