// Opening folders beneath an open folder without following any symbolic link and without leaving it:
// the one way the POSIX layer reaches what lies below a run's roots, so that a folder swapped for a
// link while the run goes on is refused, never followed.
#pragma once

#include <string_view>

#include "base/unique_fd.h"
#include "engine/fs/fs_status.h"
#include "engine/records/refusal_reasons.h"

namespace twinfol {

// Opens the folder at the relative path ("" or "." for the base folder itself; one trailing separator
// allowed) beneath the open base folder, with the open flags given (O_DIRECTORY, O_NOFOLLOW and
// O_CLOEXEC are added). No component may be a symbolic link or "..". Uses openat2 where the kernel
// has it and the component walk below where it does not.
FsStatus OpenBeneath(int baseFd, std::string_view relative, int flags, UniqueFd& opened);

// The same, one component at a time with openat(O_NOFOLLOW): for kernels without openat2.
FsStatus OpenBeneathByComponents(int baseFd, std::string_view relative, int flags, UniqueFd& opened);

// Opens the sub-folder of that name for reading, refusing a symbolic link and a folder on another
// mount than its parent (a mount point, a bind mount included): a tree delete never crosses into a
// file system mounted inside the tree.
FsStatus OpenSubFolderOnSameMount(int parentFd, const char* name, UniqueFd& opened);

// The same by comparing the two folders' mount ids (statx): for kernels without openat2.
FsStatus OpenSubFolderOnSameMountByIds(int parentFd, const char* name, UniqueFd& opened);

} // namespace twinfol
