// Copies filled ahead of their names: a thread about to copy a few files has them filled into unnamed
// temporary files first and flushed to the disk with one syncfs, so that each copy afterwards only
// gives its file a name, rather than wait for the disk once per file.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <vector>

#include "base/unique_fd.h"
#include "engine/fs/file_system.h"

namespace twinfol {

// One copy filled ahead: the unnamed file and what the source was when it was read.
struct PreparedCopy {
    std::string from;
    std::string to;
    UniqueFd temporary;
    struct stat sourceInfo {};
};

class PosixPreparedCopies : public PreparedCopies {
public:
    // Becomes the prepared copies of this thread until destroyed; the copies must be on the disk.
    explicit PosixPreparedCopies(std::vector<PreparedCopy> copies);
    ~PosixPreparedCopies() override;
    PosixPreparedCopies(const PosixPreparedCopies&) = delete;
    PosixPreparedCopies& operator=(const PosixPreparedCopies&) = delete;

    std::size_t Used() const override { return used_; }

    // The copy prepared on this thread for the two paths, handed over once; false when there is none.
    static bool TakeForThisThread(const std::string& from, const std::string& to, PreparedCopy& copy);

private:
    std::vector<PreparedCopy> copies_;
    std::size_t used_ = 0;
    PosixPreparedCopies* previous_;
};

// Files larger than this are copied at their turn: their data would sit in memory meanwhile, and their
// copy's progress is followed.
inline constexpr off_t largestPreparedCopy = off_t{1} << 20;

} // namespace twinfol
