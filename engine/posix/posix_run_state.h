// What the POSIX layer keeps for one run, from its start until its scope ends: who the process is,
// read once, and the copies of files with several names.
#pragma once

#include "engine/posix/posix_hard_link_memory.h"
#include "engine/posix/posix_owner.h"

namespace twinfol {

struct PosixRunState {
    PosixCredentials credentials = PosixCredentials::OfProcess();
    HardLinkMemory links;
};

} // namespace twinfol
