// Copying one entry (a file or a link) into place: the data goes to a temporary file in the target's
// folder, and only a complete file with the source's mode and time stamps takes the target's name.
#pragma once

#include <sys/stat.h>

#include <optional>

#include "base/unique_fd.h"
#include "engine/fs/file_system.h"
#include "engine/posix/deferred_closer.h"
#include "engine/posix/posix_copy_data.h"
#include "engine/posix/posix_path_resolver.h"
#include "engine/posix/posix_placement.h"
#include "engine/posix/posix_run_state.h"

namespace twinfol {

// Where a copy writes its data before it takes the target's name.
enum class TemporaryFileKind {
    // An unnamed O_TMPFILE where the file system supports it, a named one elsewhere.
    UnnamedWhereSupported,
    // Always a named temporary file; the way taken on file systems without O_TMPFILE.
    AlwaysNamed,
};

// The entry a copy reads: its name relative to an open folder, and its kind as a listing saw it.
// Missing means no listing said, and the copy looks at the entry before it opens anything: opening a
// FIFO or a device node has effects of its own (a writer waiting on a FIFO is let go).
struct SourceEntry {
    int dirFd;
    const char* name;
    EntryKind listedKind = EntryKind::Missing;
};

// The outcome of preparing one file ahead: the filled temporary file, or the copy's final failure
// (a source that changed during the copy), or neither when the file was not prepared.
struct PreparedFile {
    UniqueFd temporary;
    FsStatus failure;
    // The size of the data in the temporary file.
    std::uint64_t size = 0;
    // The source as it was read.
    struct stat sourceInfo {};
};

class PosixEntryCopy {
public:
    PosixEntryCopy(TemporaryFileKind temporaryFiles, const PosixPathResolver& resolver,
                   DeferredCloser& closer);

    TemporaryFileKind TemporaryFiles() const { return temporaryFiles_; }

    // Copies the source entry to the destination and tells the steps' progress, when there is one, of
    // the finished file, with its owner, extended attributes, mode and time
    // stamps as far as the run may give them and the target can hold them. A special file (FIFO,
    // socket, device) is refused without being opened. Whether the copy adds or replaces is decided
    // by what stands at the target now, unless the caller knows (a folder a tree copy has just made
    // holds nothing to replace). A file with several names whose inode this run has copied already
    // becomes a link to that copy where the target allows it. A copy that finds the disk full tries
    // once more after the space of deleted and replaced files has come back.
    FsStatus Copy(const SourceEntry& from, const Destination& to, std::optional<Placement> knownPlacement,
                  PosixRunState& run, const CopySteps& steps);

    // The first half of an add into a new folder: the source's data and metadata in an unnamed
    // temporary file of the target folder. Only an entry listed as a regular file with one name is
    // opened; anything else (a link, a special file, a file with several names, no O_TMPFILE) answers
    // "not prepared", and the caller copies the entry with Copy.
    // A file larger than largest, when given, is not prepared either.
    PreparedFile PrepareUnnamed(const SourceEntry& from, int targetDirFd, std::optional<mode_t> createMask,
                                const CopyOwnership& ownership, const CopySteps& steps,
                                std::optional<off_t> largest = std::nullopt) const;
    // The second half of a copy prepared ahead (its data on the disk): the unnamed file takes the
    // destination's name as Copy would have given it one, by the same rules for what stands there.
    FsStatus PlacePrepared(int temporary, const struct stat& sourceInfo, const Destination& to,
                           PosixRunState& run, const CopySteps& steps);

private:
    // size receives the size of the data copied (0 for a link).
    FsStatus CopyOnce(const SourceEntry& from, const Destination& to, std::optional<Placement> knownPlacement,
                      PosixRunState& run, const CopySteps& steps, std::uint64_t& size);
    // The source's facts and the run's rule decide whether a read-only target may be replaced.
    FsStatus DecidePlacement(const Destination& to, const EntryFacts& source, ReadOnlyTargets readOnly,
                             Placement& placement, DeferredCloser*& holdReplaced, struct stat& targetInfo);
    // A file with several names: linked to the run's first copy of its inode, or copied and
    // remembered as that first copy.
    FsStatus CopyNamesakeFile(int source, struct stat& sourceInfo, const Destination& to, Placement placement,
                              DeferredCloser* holdReplaced, const struct stat& targetInfo, PosixRunState& run,
                              const CopySteps& steps);
    // copyInfo, when given, receives the finished copy's own stat.
    FsStatus CopyRegularFile(int source, struct stat& sourceInfo, const Destination& to, Placement placement,
                             DeferredCloser* holdReplaced, const CopyOwnership& ownership,
                             const CopySteps& steps, struct stat* copyInfo);
    FsStatus CopyThroughNamedFile(int source, struct stat& sourceInfo, const Destination& to,
                                  Placement placement, DeferredCloser* holdReplaced,
                                  const CopyOwnership& ownership, const CopySteps& steps,
                                  struct stat* copyInfo);
    FsStatus CopyLink(const SourceEntry& from, const struct stat& info, const Destination& to,
                      Placement placement, DeferredCloser* holdReplaced, const PosixCredentials& credentials);
    // A replacement is a rename, after which the stamp is read back (KeepStampOnceNamed).
    FsStatus PlaceUnnamedFile(int temporary, const struct stat& sourceInfo, const Destination& to,
                              Placement placement, DeferredCloser* holdReplaced);

    TemporaryFileKind temporaryFiles_;
    const PosixPathResolver& resolver_;
    DeferredCloser& closer_;
};

} // namespace twinfol
