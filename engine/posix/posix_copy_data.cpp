// Data copies between open files, the check that the source held still, and the copy's mode and
// time stamps.
#include "engine/posix/posix_copy_data.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "engine/fs/file_stamp.h"
#include "engine/posix/posix_creation_mode.h"
#include "engine/posix/posix_extended_attributes.h"
#include "engine/posix/unsupported_metadata.h"

namespace twinfol {
namespace {

constexpr std::size_t readWriteBufferSize = 128 * 1024;
// copy_file_range takes a size_t count; a gigabyte per call keeps each call interruptible.
constexpr off_t largestKernelCopy = off_t{1} << 30;
// When someone follows the copy: small enough that a large file's percentage moves several times a
// second even on a slow disk, large enough that the extra calls cost nothing measurable.
constexpr off_t followedKernelCopy = off_t{4} << 20;

// Tells whoever follows a copy how far into the file it has come; nothing when nobody listens.
struct ProgressTeller {
    CopyProgress* progress = nullptr;
    off_t size = 0;

    void Tell(off_t done) const
    {
        if (progress != nullptr)
            progress->DataCopied(static_cast<std::uint64_t>(done), static_cast<std::uint64_t>(size));
    }
};

bool IsKernelCopyRefused(int error)
{
    return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL;
}

FsStatus WriteAllAt(int out, const char* data, std::size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t written = pwrite(out, data, size, offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return FsStatus::Failure(errno);
        }
        if (written == 0)
            return FsStatus::Failure(EIO);
        data += written;
        size -= static_cast<std::size_t>(written);
        offset += written;
    }
    return {};
}

// Copies length bytes at the offset of one file to the same offset of the other; copied says how many
// there were (fewer when the source became shorter meanwhile).
FsStatus CopyRange(int in, int out, off_t start, off_t length, off_t& copied, const ProgressTeller& teller)
{
    copied = 0;
    bool kernelCopy = true;
    std::vector<char> buffer;
    const off_t kernelChunk = teller.progress != nullptr && teller.progress->FollowsChunks()
                                  ? followedKernelCopy
                                  : largestKernelCopy;
    while (copied < length) {
        const off_t remaining = length - copied;
        const off_t at = start + copied;
        if (kernelCopy) {
            loff_t inOffset = at;
            loff_t outOffset = at;
            const auto chunk = static_cast<std::size_t>(std::min(remaining, kernelChunk));
            const ssize_t moved = copy_file_range(in, &inOffset, out, &outOffset, chunk, 0);
            if (moved > 0) {
                copied += moved;
                teller.Tell(start + copied);
                continue;
            }
            if (moved == 0)
                break; // The source became shorter while it was copied.
            if (errno == EINTR)
                continue;
            if (!IsKernelCopyRefused(errno))
                return FsStatus::Failure(errno);
            kernelCopy = false;
        }
        if (buffer.empty())
            buffer.resize(readWriteBufferSize);
        const ssize_t got = pread(
            in, buffer.data(), static_cast<std::size_t>(std::min<off_t>(remaining, readWriteBufferSize)), at);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return FsStatus::Failure(errno);
        }
        if (got == 0)
            break;
        if (FsStatus written = WriteAllAt(out, buffer.data(), static_cast<std::size_t>(got), at); !written)
            return written;
        copied += got;
        teller.Tell(start + copied);
    }
    return {};
}

// Where the file system shares extents (btrfs, XFS), one clone makes the whole copy at once, whatever
// its size and holes; below this size the data copy is a call or two anyway, and a clone refused on
// every other file system would cost each small file a call more.
constexpr off_t smallestClone = off_t{64} << 10;

// The answers of a file system, or a pair of them, that cannot clone this file into that one: the
// data is then copied as before, without a word.
bool IsCloneRefused(int error)
{
    return error == EXDEV || error == EOPNOTSUPP || error == EINVAL || error == ENOTTY || error == ETXTBSY ||
           error == ENOSYS;
}

enum class Cloned { Yes, Refused };

// Makes the empty temporary share the source's extents: its data and size become the source's as they
// are during the call, which the file system makes one step that no write interleaves with.
FsStatus CloneWholeFile(int source, const struct stat& sourceInfo, int temporary, Cloned& cloned,
                        CopyProgress* progress)
{
    cloned = Cloned::Refused;
    if (!S_ISREG(sourceInfo.st_mode) || sourceInfo.st_size < smallestClone)
        return {};
    int result = 0;
    do
        result = ioctl(temporary, FICLONE, source);
    while (result != 0 && errno == EINTR);
    if (result != 0)
        return IsCloneRefused(errno) ? FsStatus() : FsStatus::Failure(errno);
    cloned = Cloned::Yes;
    ProgressTeller{progress, sourceInfo.st_size}.Tell(sourceInfo.st_size);
    return {};
}

// One copy of the data: a clone where the file systems share extents, else a copy of the ranges that
// hold data, or of all of it for a file without holes.
FsStatus CopyDataOnce(int source, const struct stat& sourceInfo, int temporary, off_t& copied,
                      CopyProgress* progress)
{
    Cloned cloned = Cloned::Refused;
    if (FsStatus clone = CloneWholeFile(source, sourceInfo, temporary, cloned, progress); !clone)
        return clone;
    if (cloned == Cloned::Yes) {
        // The size the clone took is not told; a source whose size moved fails the check after it.
        copied = sourceInfo.st_size;
        return {};
    }
    // A file whose blocks cover its size has no holes to look for.
    return MayHaveHoles(sourceInfo) ? CopySparseData(source, temporary, sourceInfo.st_size, copied, progress)
                                    : CopyData(source, temporary, sourceInfo.st_size, copied, progress);
}

// The data, and nothing but the data, changes size and both times; reading it changes neither.
bool HeldStill(const struct stat& before, const struct stat& after)
{
    return before.st_size == after.st_size && before.st_mtim.tv_sec == after.st_mtim.tv_sec &&
           before.st_mtim.tv_nsec == after.st_mtim.tv_nsec && before.st_ctim.tv_sec == after.st_ctim.tv_sec &&
           before.st_ctim.tv_nsec == after.st_ctim.tv_nsec;
}

// Copies the data, and once more when the source did not hold still while it was read. A second copy
// of a source that moved again would be as torn as the first: the copy fails instead.
FsStatus CopyStillData(int source, struct stat& sourceInfo, int temporary, bool& setMode,
                       const CopySteps& steps)
{
    for (int attempt = 1;; ++attempt) {
        off_t copied = 0;
        // A clone is held to the same check as a copy: it takes what the source held during the call,
        // and a source that moved between its open and the look after it is cloned or copied again.
        if (FsStatus data = CopyDataOnce(source, sourceInfo, temporary, copied, steps.progress); !data)
            return data;
        if (FsStatus step = steps.Before(WalkStep::SourceRead); !step)
            return step;
        struct stat after {};
        if (fstat(source, &after) != 0)
            return FsStatus::Failure(errno);
        if (copied == sourceInfo.st_size && HeldStill(sourceInfo, after))
            return {};
        if (attempt == 2)
            return FsStatus::Refusal(sourceChangedError, sourceChangedReason);
        // The file was created with the mode the source had then; a new mode must be set.
        setMode = setMode || after.st_mode != sourceInfo.st_mode;
        sourceInfo = after;
        if (ftruncate(temporary, 0) != 0)
            return FsStatus::Failure(errno);
    }
}

FsStatus SetMode(int temporary, const struct stat& sourceInfo, const CopySteps& steps)
{
    mode_t mode = sourceInfo.st_mode & 07777;
    if ((mode & (S_ISUID | S_ISGID)) != 0) {
        // Only a file with set-ID bits asks who owns the copy.
        struct stat copy {};
        if (fstat(temporary, &copy) != 0)
            return FsStatus::Failure(errno);
        mode = CopyModeFor(sourceInfo, copy.st_uid, copy.st_gid);
    }
    FsStatus set = steps.Before(WalkStep::SetMode);
    if (set && fchmod(temporary, mode) != 0)
        set = FsStatus::Failure(errno);
    if (!set && IsUnsupportedMetadataError(set.Error()))
        return {};
    return set;
}

// A stamp that some file systems cannot hold is read back from the copy: one the next run would take
// for older than its source would make every run copy the file again.
FsStatus CheckStampHeld(int temporary, const struct stat& sourceInfo)
{
    if (!IsOutsideEveryFileSystemRange(sourceInfo.st_mtim.tv_sec))
        return {};
    struct stat held {};
    if (fstat(temporary, &held) != 0)
        return FsStatus::Failure(errno);
    if (IsNewerForOverwrite(FileStamp::FromUnixTime(sourceInfo.st_mtim.tv_sec),
                            FileStamp::FromUnixTime(held.st_mtim.tv_sec)))
        return FsStatus::Refusal(EOVERFLOW, "the target cannot hold the file's time stamp");
    return {};
}

// How far a stamp read back may lie from the one set: FAT keeps stamps to 2 seconds.
constexpr std::int64_t stampSlackSeconds = 2;
// The stamps every disk holds: from a day into 1980 (FAT's first, in any time zone) to the last second
// of 32-bit stamps.
constexpr std::int64_t firstStampEveryDiskHolds = 315532800 + 86400;
constexpr std::int64_t lastStampEveryDiskHolds = 2147483647;

bool StampKept(const struct stat& sourceInfo, const struct stat& held)
{
    const std::int64_t apart = static_cast<std::int64_t>(held.st_mtim.tv_sec) - sourceInfo.st_mtim.tv_sec;
    return apart >= -stampSlackSeconds && apart <= stampSlackSeconds;
}

FsStatus StampNotKept(const struct stat& sourceInfo, const struct stat& held)
{
    const std::int64_t wanted = sourceInfo.st_mtim.tv_sec;
    if ((wanted < firstStampEveryDiskHolds || wanted > lastStampEveryDiskHolds) &&
        !IsNewerForOverwrite(FileStamp::FromUnixTime(sourceInfo.st_mtim.tv_sec),
                             FileStamp::FromUnixTime(held.st_mtim.tv_sec)))
        return {};
    return FsStatus::Refusal(EOVERFLOW, "the target disk did not keep the file's time stamp");
}

} // namespace

FsStatus KeepStampOnceNamed(int dirFd, const char* name, const struct stat& sourceInfo)
{
    // The copy is in place: a stamp that cannot be read back is left for the next run to compare.
    struct stat held {};
    if (fstatat(dirFd, name, &held, AT_SYMLINK_NOFOLLOW) != 0 || StampKept(sourceInfo, held))
        return {};
    const timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    if (utimensat(dirFd, name, times, AT_SYMLINK_NOFOLLOW) != 0)
        return FsStatus::Failure(errno);
    if (fstatat(dirFd, name, &held, AT_SYMLINK_NOFOLLOW) != 0 || StampKept(sourceInfo, held))
        return {};
    return StampNotKept(sourceInfo, held);
}

FsStatus WriteAll(int out, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(out, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return FsStatus::Failure(errno);
        }
        if (written == 0)
            return FsStatus::Failure(EIO);
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return {};
}

FsStatus CopyData(int in, int out, off_t size, off_t& copied, CopyProgress* progress)
{
    return CopyRange(in, out, 0, size, copied, {progress, size});
}

FsStatus CopySparseData(int in, int out, off_t size, off_t& copied, CopyProgress* progress)
{
    const ProgressTeller teller{progress, size};
    copied = 0;
    for (off_t offset = 0; offset < size;) {
        const off_t dataStart = lseek(in, offset, SEEK_DATA);
        if (dataStart < 0) {
            if (errno == ENXIO)
                break; // Nothing but a hole up to the end.
            if (errno != EINVAL && errno != EOPNOTSUPP)
                return FsStatus::Failure(errno);
            // No hole finding here: the rest is copied whole.
            off_t rest = 0;
            const FsStatus whole = CopyRange(in, out, offset, size - offset, rest, teller);
            copied = offset + rest;
            return whole;
        }
        if (dataStart >= size)
            break;
        off_t dataEnd = lseek(in, dataStart, SEEK_HOLE);
        if (dataEnd < 0)
            return errno == ENXIO ? FsStatus() : FsStatus::Failure(errno); // ENXIO: cut short meanwhile
        dataEnd = std::min(dataEnd, size);
        off_t moved = 0;
        if (FsStatus data = CopyRange(in, out, dataStart, dataEnd - dataStart, moved, teller); !data)
            return data;
        copied = dataStart + moved;
        if (moved < dataEnd - dataStart)
            return {}; // The source became shorter while it was copied.
        offset = dataEnd;
    }
    // The holes up to the end: the size alone makes them.
    if (ftruncate(out, size) != 0)
        return FsStatus::Failure(errno);
    copied = size;
    teller.Tell(size);
    return {};
}

FsStatus FillTemporary(int source, struct stat& sourceInfo, int temporary, bool setMode,
                       const CopyOwnership& ownership, const CopySteps& steps, FlushData flush)
{
    if (FsStatus data = CopyStillData(source, sourceInfo, temporary, setMode, steps); !data)
        return data;
    if (FsStatus owner = KeepOwner(temporary, sourceInfo, ownership.credentials, ownership.created); !owner)
        return owner;
    if (FsStatus attributes = CopyExtendedAttributes(source, temporary); !attributes)
        return attributes;
    if (setMode)
        if (FsStatus mode = SetMode(temporary, sourceInfo, steps); !mode)
            return mode;
    if (flush == FlushData::Now && fdatasync(temporary) != 0)
        return FsStatus::Failure(errno);
    const timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    if (futimens(temporary, times) != 0)
        return FsStatus::Failure(errno);
    return CheckStampHeld(temporary, sourceInfo);
}

} // namespace twinfol
