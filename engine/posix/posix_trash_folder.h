// Opening a trash folder for a run: found by descriptors from the top of its volume (or the home trash's
// parent), checked by the rules of its kind, and held open, so that whoever may rename entries where it
// lies cannot swap another folder, or a link, in its place while the run uses it.
#pragma once

#include <memory>

#include "engine/fs/file_system.h"
#include "engine/posix/posix_path_resolver.h"

namespace twinfol {

// What FileSystem::OpenTrashFolder promises.
FsStatus OpenCheckedTrashFolder(PosixPathResolver& resolver, const TrashFolderRequest& request,
                                std::unique_ptr<TrashHold>& hold);

} // namespace twinfol
