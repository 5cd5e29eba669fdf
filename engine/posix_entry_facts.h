// Looking at one entry relative to an open folder for what the layer's callers want to know of it: its
// facts before a trial run decides, and its size once a copy has put it in place.
#pragma once

#include "engine/copy_progress.h"
#include "engine/file_system.h"

namespace twinfol {

// The entry's kind, size, read-only rule and mount, from one statx that follows no final link.
FsStatus LookAtEntry(int dirFd, const char* name, EntryFacts& facts);

// Tells progress that the entry just copied to that name is in place, with its size.
void TellFileCopied(int dirFd, const char* name, CopyProgress& progress);

} // namespace twinfol
