// Keeps the Trash and the journal folder from growing without end. At the start of a run, items this
// program put in the Trash more than the keeping days ago leave the trash folder of the run's target
// volume for good, but only while their info files still say what was written; and journals whose
// items have all left the Trash and that serve no undo are removed. The rest of the history's pruning
// is PruneRunHistory's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/changes/trash_can.h"
#include "engine/fs/file_system.h"
#include "engine/records/user_places.h"

namespace twinfol {

// trashFolder is the one of its volume, when it has
// one; keepDays 0 keeps every item; now is in seconds since 1970.
// The Trash is reached only through the run's trash can, and an item leaves only when it is the very
// one the journal recorded, in the trash folder the can has opened and checked.
void TidyJournalsAndTrash(FileSystem& fileSystem, TrashCan& trash, const UserPlaces& places,
                          const std::optional<TrashFolder>& trashFolder, int keepDays, std::int64_t now);

} // namespace twinfol
