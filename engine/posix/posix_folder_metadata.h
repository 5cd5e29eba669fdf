// The metadata of a folder that a tree copy makes: made with a mode that lets the copy fill it and
// is never more open than the source's, given the source folder's owner, attributes, mode and
// times once its content is in place.
#pragma once

#include <sys/stat.h>

#include <string>

#include "engine/fs/fs_status.h"
#include "engine/posix/posix_owner.h"
#include "engine/posix/posix_path_resolver.h"

namespace twinfol {

// The mode a folder is made with (less the umask): the source's permission bits, with every right
// for the owner (the process), so that content can be copied into a source folder of mode 0555.
inline mode_t FolderCreationMode(const struct stat& source)
{
    return (source.st_mode & 0777) | S_IRWXU;
}

// Gives the open folder the copy made (made: its stat once made) the open source folder's owner and
// group as far as the process may, its extended attributes and default ACL, its mode, and its times
// as sourceInfo has them. What the target cannot hold is left out.
FsStatus FinishFolder(int sourceFd, const struct stat& sourceInfo, int targetFd, const struct stat& made,
                      const PosixCredentials& credentials);

// The two moments of a folder made by a copy that works through whole paths.
enum class FolderStage { Made, Filled };

// The same for folders named by whole paths: once Made, the folder loses what its source does not
// allow (the folder was made with the umask alone); once Filled, it is finished as above.
FsStatus FinishFolderAt(const PosixPathResolver& resolver, const PosixCredentials& credentials,
                        const std::string& sourceFolder, const std::string& targetFolder, FolderStage stage);

} // namespace twinfol
