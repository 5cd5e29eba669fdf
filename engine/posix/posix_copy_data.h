// Copying one file's data, mode and time stamps into an open file, and making sure the data is what
// the source held from start to end of the copy.
#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <cstddef>
#include <string>

#include "engine/fs/fs_status.h"
#include "engine/fs/walk_hook.h"
#include "engine/posix/posix_owner.h"
#include "engine/records/copy_progress.h"

namespace twinfol {

// A copy's inner steps as a walk hook sees them, named by the copy's whole paths, and whoever hears of
// its data as it is copied. Without a hook nothing is built and each step costs a pointer test.
struct CopySteps {
    WalkHook* hook = nullptr;
    std::string from;
    std::string to;
    CopyProgress* progress = nullptr;

    FsStatus Before(WalkStep step) const
    {
        return hook != nullptr ? hook->BeforeStep(step, from, to) : FsStatus();
    }
};

// A source that was still being written after it had been copied twice.
inline constexpr int sourceChangedError = ECANCELED;
inline constexpr const char* sourceChangedReason = "the source changed during the copy";

// Writes all of the data, going on after short writes.
FsStatus WriteAll(int out, const char* data, std::size_t size);

// Copies size bytes from the start of one file to the start of the other, and answers how many there
// were (fewer when the source became shorter meanwhile). copy_file_range lets the kernel (or the
// file system, by sharing extents) do the work; where it is refused the copy goes on through a
// buffer from the same offsets. With progress the kernel is given a few megabytes at a time, and
// progress hears of each; without, it is given as much as it takes.
FsStatus CopyData(int in, int out, off_t size, off_t& copied, CopyProgress* progress = nullptr);

// Whether the file's allocated blocks cover less than its size: only such a file can have holes.
inline bool MayHaveHoles(const struct stat& info)
{
    return S_ISREG(info.st_mode) && info.st_blocks * 512 < info.st_size;
}

// The same for a file with holes: only the ranges that hold data (SEEK_DATA, SEEK_HOLE) are copied,
// and the copy is given its size at the end, so its holes stay holes. A file system that cannot tell
// where the holes are gets the rest copied whole.
FsStatus CopySparseData(int in, int out, off_t size, off_t& copied, CopyProgress* progress = nullptr);

// Fills a temporary file with the source's data (a large one cloned whole with FICLONE where the file
// systems share extents, progress then hearing of all of it at once), then its owner and group as far as the
// process may give them, its extended attributes (ACLs among them), its mode (when setMode), and last its
// time stamps: writing would clear set-user-ID bits and move the time stamp, and a change of owner clears the
// set-ID bits. sourceInfo is the source as it was opened. Once the data is read the source is looked at again
// (one fstat): when its size or times moved meanwhile the data is copied once more and sourceInfo becomes
// what the source is then; when it moved again, the copy fails with sourceChangedError. A mode, owner or
// attribute the target cannot hold is left out.
//
// With FlushData::Now the data is put on the disk before the file takes a name: after a power cut a
// name then shows the whole file or the old one, never a file whose data was lost, which a later run
// would take for copied (its stamp is right). It is flushed before the times are set, so that a killed
// copy's named leftover keeps a fresh time while the flush waits, and a later run never takes it for an
// old one on a disk that keeps no change time of its own (exFAT). Files filled ahead are flushed
// together instead (FlushData::Later, then FlushedAhead).
enum class FlushData { Now, Later };
FsStatus FillTemporary(int source, struct stat& sourceInfo, int temporary, bool setMode,
                       const CopyOwnership& ownership, const CopySteps& steps, FlushData flush);

// After a file took its final name by a rename: reads its stamp back and, where the rename changed it
// (FAT through fusefat stamps a renamed file anew), sets the source's once more on the final name.
// A stamp that still differs by more than the 2 seconds FAT keeps stamps to fails the copy with the
// reason, so that no later run copies the file again without a word; a stamp outside what every disk
// holds (before 1980, after 2038-01-19) fails only where a later run would take the copy for older.
FsStatus KeepStampOnceNamed(int dirFd, const char* name, const struct stat& sourceInfo);

} // namespace twinfol
