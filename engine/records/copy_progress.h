// How the copies of a run advance, told by the file-system layer as they happen: per chunk of a file's
// data, and once per file that has its place in the target. A run counts files and bytes from it and
// a host draws its progress from it.
#pragma once

#include <cstdint>

namespace twinfol {

class CopyProgress {
public:
    virtual ~CopyProgress() = default;
    // Part of one file's data is copied: copied bytes of its size so far. Called after each chunk of a
    // few megabytes, on the thread that called the copy operation. A copy that starts again (its
    // source changed meanwhile) starts again from 0.
    virtual void DataCopied(std::uint64_t copied, std::uint64_t size) = 0;
    // One file or link has taken its name in the target, with size bytes of data (0 for a link).
    virtual void FileCopied(std::uint64_t size) = 0;
    // Whether DataCopied is followed at all; one that is not lets the kernel copy a file in one go.
    virtual bool FollowsChunks() const { return true; }
};

// What a run has copied so far, and where the copy of the current file stands.
struct CopyCounters {
    std::uint64_t filesCopied = 0;
    std::uint64_t bytesCopied = 0;
    // The file whose data is being copied now: bytes done of its size; both 0 between files.
    std::uint64_t fileBytesDone = 0;
    std::uint64_t fileSize = 0;
};

} // namespace twinfol
