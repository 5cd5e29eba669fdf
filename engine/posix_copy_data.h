// Copying one file's data, mode and time stamps into an open file.
#pragma once

#include <sys/stat.h>

#include <cstddef>

#include "engine/fs_status.h"

namespace twinfol {

// Writes all of the data, going on after short writes.
FsStatus WriteAll(int out, const char* data, std::size_t size);

// Copies the source's data from its current offset, up to the size it had when it was opened.
// copy_file_range lets the kernel (or the file system, by sharing extents) do the work; where it is
// refused the copy goes on through a buffer from the same offsets.
FsStatus CopyData(int in, int out, off_t size);

// Fills a temporary file with the source's data, then its mode (when setMode), then its time stamps:
// writing would clear set-user-ID bits and move the time stamp.
FsStatus FillTemporary(int source, const struct stat& sourceInfo, int temporary, bool setMode);

} // namespace twinfol
