// The check a folder tree passes before it goes to the Trash whole: the rules of a tree delete,
// applied before anything moves, so that a refused tree is left exactly as it was.
#pragma once

#include "engine/fs/file_system.h"
#include "engine/fs/fs_status.h"
#include "engine/records/refusal_reasons.h"

namespace twinfol {

// Walks the open folder's tree without changing it. Refuses a read-only file anywhere in it (as the run's
// rule says), a symbolic link where a folder was listed, and a folder on another mount than its parent
// (a file system mounted inside the tree, a bind mount included).
FsStatus CheckTreeMayBeTrashed(int folderFd, ReadOnlyTargets readOnly);

} // namespace twinfol
