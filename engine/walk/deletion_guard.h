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

// What a run would delete because the source root holds nothing at all.
struct EmptySourceLosses {
    // The items at the top of the target, a folder counting as one.
    std::int64_t items = 0;
    // The files (links counted as files) those items hold at any depth, and their bytes of data.
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

// What the run would delete at the top of the target because the source root holds nothing at all:
// nothing when the source root holds anything, when the options delete nothing, or when nothing in
// the target root is to be deleted (all of it excluded, say). The folders to delete are counted as the
// preview counts them. The roots are those that passed CheckRoots. The places, when given, tell the
// walk's home trash, which is no item.
EmptySourceLosses CountEmptySourceLosses(FileSystem& fileSystem, const std::string& sourceRoot,
                                         const std::string& targetRoot, const SyncOptions& options,
                                         const ExclusionList& exclusions, const UserPlaces* places = nullptr);

// The files and bytes of the losses in words: "5,002 files, 1.2 GiB".
std::string LossesText(const EmptySourceLosses& losses);

} // namespace twinfol
