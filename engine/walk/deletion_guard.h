// The check in front of a run's deletes: a source root that holds nothing, with deletes on, is far
// more often a disk that is not mounted (its empty mount point) than a wish to empty the target.
#pragma once

#include <cstdint>
#include <string>

#include "engine/fs/file_system.h"
#include "engine/records/exclusion_list.h"
#include "engine/records/sync_options.h"
#include "engine/records/user_places.h"

namespace twinfol {

// How many items at the top of the target the run would delete because the source root holds nothing
// at all: 0 when the source root holds anything, when the options delete nothing, or when nothing in
// the target root is to be deleted (all of it excluded, say). A folder counts as one item. The roots
// are those that passed CheckRoots. The places, when given, tell the walk's home trash, which is no item.
std::int64_t CountEmptySourceLosses(FileSystem& fileSystem, const std::string& sourceRoot,
                                    const std::string& targetRoot, const SyncOptions& options,
                                    const ExclusionList& exclusions, const UserPlaces* places = nullptr);

} // namespace twinfol
