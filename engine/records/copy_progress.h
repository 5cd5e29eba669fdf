// How the copies of a run advance, told by the file-system layer as they happen: per chunk of a file's
// data, and once per file that has its place in the target. A run counts files and bytes from it and
// a host draws its progress from it.
#pragma once

#include <cstdint>
#include <string>

namespace twinfol {

class FsStatus;

class CopyProgress {
public:
    virtual ~CopyProgress() = default;
    // Part of one file's data is copied: copied bytes of its size so far. Called after each chunk of a
    // few megabytes, on the thread that called the copy operation. A copy that starts again (its
    // source changed meanwhile) starts again from 0.
    virtual void DataCopied(std::uint64_t copied, std::uint64_t size) = 0;
    // One file or link has taken its name in the target, with size bytes of data (0 for a link).
    virtual void FileCopied(std::uint64_t size) = 0;
    // Part of the data of a file a tree copy fills ahead of its turn, before it takes its name: bytes
    // more than told of that file before, or fewer when its filling is given up. Called only when
    // FollowsChunks, and from whichever thread fills the file, at the same time as the copy's other
    // calls.
    virtual void DataFilledAhead(std::int64_t) {}
    // A file whose data DataFilledAhead told in full (size bytes) has taken its name in the target.
    virtual void FilledFileCopied(std::uint64_t size) { FileCopied(size); }
    // An entry of a folder tree copy could not be copied, for the reason given: the copy goes on with
    // the next entry. The paths are whole, a folder's with its trailing separator; nothing below a
    // folder told here was copied. Called on the thread that called the tree copy.
    virtual void EntryNotCopied(const std::string& /*sourcePath*/, const std::string& /*targetPath*/,
                                const FsStatus& /*why*/)
    {
    }
    // A folder tree copy ended at a stop request with entries of the tree still uncopied.
    virtual void CopyCutShort() {}
    // Whether DataCopied is followed at all; one that is not lets the kernel copy a file in one go.
    virtual bool FollowsChunks() const { return true; }
};

// What a run has copied so far: the files that have their names in the target and their bytes, and
// the bytes the copies under way have written.
struct CopyCounters {
    std::uint64_t filesCopied = 0;
    std::uint64_t bytesCopied = 0;
    // The data written by the copies under way. When only one file is being copied, its bytes done of
    // its size (fileSize is 0 otherwise, and between files).
    std::uint64_t fileBytesDone = 0;
    std::uint64_t fileSize = 0;

    friend bool operator==(const CopyCounters&, const CopyCounters&) = default;
};

} // namespace twinfol
