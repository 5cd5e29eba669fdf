// The files of a folder a tree copy has made, filled ahead of their names and flushed to the disk
// together: one syncfs before the first file of a batch takes its name, rather than a flush per file.
// A name thus never shows a file whose data a power cut could still take away, at the cost of one wait
// for the disk per batch.
#pragma once

#include <cstddef>
#include <vector>

#include "base/unique_fd.h"
#include "engine/fs/fs_status.h"
#include "engine/posix/prepare_ahead.h"

namespace twinfol {

class FlushedAhead {
public:
    // Prepares count items: on the helper's thread when one is given (it must have begun a run of them
    // with the same preparation), else here, a batch at a time. An invalid descriptor means "not
    // prepared". Files are created in the folder open at targetFd, which is what a flush covers.
    FlushedAhead(PrepareAhead* helper, std::size_t count, PrepareAhead::Prepare prepare, int targetFd);
    // Ends the helper's run; items not taken are dropped with their unnamed files.
    ~FlushedAhead();
    FlushedAhead(const FlushedAhead&) = delete;
    FlushedAhead& operator=(const FlushedAhead&) = delete;

    // The item's prepared file, its data on the disk; taken in order from 0. A flush that failed is
    // answered, and the item must then not be named.
    FsStatus Take(std::size_t index, UniqueFd& prepared);

private:
    // Items prepared here at a time: enough that the flush costs little per file, few enough that the
    // descriptors held stay bounded.
    static constexpr std::size_t batch = 32;

    PrepareAhead* helper_;
    PrepareAhead::Prepare prepare_;
    int targetFd_;
    std::vector<UniqueFd> filled_;
    // The items filled here so far, and those known to be on the disk.
    std::size_t filledEnd_ = 0;
    std::size_t flushedEnd_ = 0;
};

} // namespace twinfol
