// Deleting one file or link relative to its folder.
#pragma once

#include "engine/fs/file_system.h"
#include "engine/fs/fs_status.h"
#include "engine/posix/deferred_closer.h"

namespace twinfol {

// Deletes the file or link at the name, refusing folders, and read-only files as the run's rule says.
// A file whose data must be freed is held open and let go by the closer in the background.
FsStatus DeleteEntryAt(int dirFd, const char* name, DeferredCloser& closer, ReadOnlyTargets readOnly);

} // namespace twinfol
