// What decides the mode of a file the POSIX layer creates: the umask, or a folder's default ACL.
// Where a create is known to give exactly the mode asked for, a copy needs no mode change afterwards.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>

namespace twinfol {

// The umask as /proc shows it; asking umask() itself would change it for a moment under other
// threads. Nothing when /proc cannot tell.
std::optional<mode_t> ReadUmask();

// Whether the open folder has a default ACL, which, not the umask, decides the mode of what is
// created in it. A folder whose ACLs cannot be read counts as having one.
bool HasDefaultAcl(int folderFd);

// Whether a copy of the source must set its mode after creating the file: always when the umask
// that the create applies is not known (createMask empty), and whenever the create could not give
// the source's mode exactly.
bool NeedsModeChange(const struct stat& sourceInfo, std::optional<mode_t> createMask);

// The mode a copy is given: the source's, without the set-user-ID and set-group-ID bits unless the
// copy has the source's owner and group. A program that runs as its owner must never come to run as
// someone else (root, when root makes the copy); cp clears the bits the same way.
mode_t CopyModeFor(const struct stat& sourceInfo, uid_t copyOwner, gid_t copyGroup);

} // namespace twinfol
