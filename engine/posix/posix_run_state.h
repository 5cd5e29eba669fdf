// What the POSIX layer keeps for one run, from its start until its scope ends: who the process is,
// read once, the naming rules of the target's disk, and the copies of files with several names.
#pragma once

#include "engine/fs/disk_kind.h"
#include "engine/fs/file_system.h"
#include "engine/posix/posix_hard_link_memory.h"
#include "engine/posix/posix_owner.h"

namespace twinfol {

struct PosixRunState {
    PosixCredentials credentials = PosixCredentials::OfProcess();
    // Read once, as the run begins: every new entry's name below the target is checked by them.
    NameRules targetNames = NameRules::Posix;
    // What the run does to target files without a write bit, as the engine began it.
    ReadOnlyTargets readOnly = ReadOnlyTargets::Keep;
    HardLinkMemory links;
};

} // namespace twinfol
