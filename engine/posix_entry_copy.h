// Copying one entry (a file or a link) into place: the data goes to a temporary file in the target's
// folder, and only a complete file with the source's mode and time stamps takes the target's name.
#pragma once

#include <sys/stat.h>

#include <optional>

#include "base/unique_fd.h"
#include "engine/deferred_closer.h"
#include "engine/posix_placement.h"

namespace twinfol {

// Where a copy writes its data before it takes the target's name.
enum class TemporaryFileKind {
    // An unnamed O_TMPFILE where the file system supports it, a named one elsewhere.
    UnnamedWhereSupported,
    // Always a named temporary file; the way taken on file systems without O_TMPFILE.
    AlwaysNamed,
};

class PosixEntryCopy {
public:
    PosixEntryCopy(TemporaryFileKind temporaryFiles, DeferredCloser& closer);

    TemporaryFileKind TemporaryFiles() const { return temporaryFiles_; }

    // Copies the entry at sourceName (relative to sourceDirFd) to the destination. Whether it adds or
    // replaces is decided by what stands at the target now, unless the caller knows (a folder a tree
    // copy has just made holds nothing to replace). A copy that finds the disk full tries once more
    // after the space of deleted and replaced files has come back.
    FsStatus Copy(int sourceDirFd, const char* sourceName, const Destination& to,
                  std::optional<Placement> knownPlacement);

    // The first half of an add into a new folder: the source's data, mode and time stamps in an
    // unnamed temporary file of the target folder. Anything unusual (a link, a special file, no
    // O_TMPFILE) answers "not prepared", and the caller copies the entry with Copy.
    UniqueFd PrepareUnnamed(int sourceDirFd, const char* sourceName, int targetDirFd,
                            std::optional<mode_t> createMask) const;

private:
    FsStatus CopyOnce(int sourceDirFd, const char* sourceName, const Destination& to,
                      std::optional<Placement> knownPlacement);
    FsStatus DecidePlacement(const Destination& to, Placement& placement, DeferredCloser*& holdReplaced);
    FsStatus CopyRegularFile(int source, const struct stat& sourceInfo, const Destination& to,
                             Placement placement, DeferredCloser* holdReplaced);
    FsStatus CopyThroughNamedFile(int source, const struct stat& sourceInfo, const Destination& to,
                                  Placement placement, DeferredCloser* holdReplaced);
    FsStatus CopyLink(int sourceDirFd, const char* sourceName, const struct stat& info, const Destination& to,
                      Placement placement, DeferredCloser* holdReplaced);
    FsStatus PlaceUnnamedFile(int temporary, const Destination& to, Placement placement,
                              DeferredCloser* holdReplaced);

    TemporaryFileKind temporaryFiles_;
    DeferredCloser& closer_;
};

} // namespace twinfol
