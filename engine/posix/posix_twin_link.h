// Giving a file's second name in the target the inode of the copy its first name got in this run,
// so that names sharing an inode in the source share one in the target and the data is written once.
#pragma once

#include <sys/stat.h>

#include "engine/posix/deferred_closer.h"
#include "engine/posix/posix_hard_link_memory.h"
#include "engine/posix/posix_path_resolver.h"
#include "engine/posix/posix_placement.h"

namespace twinfol {

// Links the destination to the first copy. linked answers whether it did; when it did not (the first
// copy is gone or was written, the source was written since, or the target has no hard links: FAT,
// too many links, another file system) the caller copies the file on its own. A replacement goes
// through a temporary name and one rename, so the name holds the complete old or new file at every
// moment; an add never replaces a name that appeared meanwhile (that is a failure, EEXIST).
FsStatus LinkToFirstCopy(const PosixPathResolver& resolver, const FirstCopy& first, const struct stat& source,
                         const Destination& to, Placement placement, DeferredCloser* holdReplaced,
                         bool& linked);

} // namespace twinfol
