// Looking at one entry relative to an open folder for what the layer's callers want to know of it: its
// facts before a trial run decides.
#pragma once

#include "engine/fs/file_system.h"

namespace twinfol {

// The entry's kind, size, read-only rule and mount, from one statx that follows no final link.
FsStatus LookAtEntry(int dirFd, const char* name, EntryFacts& facts);

} // namespace twinfol
