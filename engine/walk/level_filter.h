// What a level leaves out for the job's ignore patterns and size limits. It is taken out of the
// level's listings before any rule of the level is asked, so that every walk (one thread, the pool, a
// trial run, a plan) leaves out the same, and each item left out is recorded once.
//
// A folder that holds something ignored is no longer one operation. A new one is made on its own and
// walked into as a twin, so that its ignored content stays behind. A target-only one is walked into,
// so that only what is not ignored is deleted, item by item, and the folder stays around the rest.
#pragma once

#include <string>
#include <vector>

#include "engine/walk/walk_level.h"

namespace twinfol {

// Takes the ignored entries out of the level and records them; makes the new folders that hold
// something ignored, which the level then walks into as twins. Answers the names of the target-only
// folders that hold something ignored: they are left out of the level's deletes, for the walk to go
// into each once the level's deletes are done.
std::vector<std::string> LeaveIgnoredOut(WalkParts& parts, Level& level);

} // namespace twinfol
