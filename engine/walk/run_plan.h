// The planning walk: what a run would do, found by the engine walking over the trial-run layer, which
// changes nothing. It costs about one run with nothing to do, plus a walk of the folder trees the run
// would add (to count their files and bytes) or delete (to find what would stop the delete).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/fs/file_system.h"
#include "engine/records/exclusion_list.h"
#include "engine/records/sync_options.h"
#include "engine/records/sync_report.h"
#include "engine/records/user_places.h"
#include "engine/walk/plan_observer.h"

namespace twinfol {

struct RunPlan {
    // The trial run's report: what the run would do, and the problems it would meet.
    SyncReport report;
    // Whether the walk went to its end; a plan cut short knows no totals.
    bool complete = false;
    // The room the run would take on the target's disk at its fullest (files rounded up to the disk's
    // unit, the files they replace given back), and the room that disk has; nothing where the layer
    // cannot tell.
    std::uint64_t bytesNeeded = 0;
    std::optional<std::uint64_t> targetFreeBytes;

    // What the run would copy: overwritten and added files, and the files inside added folders.
    std::uint64_t FilesToCopy() const { return report.filesCopied; }
    std::uint64_t BytesToCopy() const { return report.bytesCopied; }
    // The deletes the run would begin, a folder tree counting as one: those that would succeed and
    // those that would fail part-way.
    std::int64_t ItemsToDelete() const;
    // Whether the finished plan needs more room than the target's disk has.
    bool WillNotFit() const { return complete && targetFreeBytes && bytesNeeded > *targetFreeBytes; }
    // "needs 2.0 GiB, 300.0 MiB free".
    std::string RoomText() const;
    // "will not fit: needs 2.0 GiB, 300.0 MiB free".
    std::string NoRoomText() const { return "will not fit: " + RoomText(); }
};

// Called with each progress text of the planning walk; answering false gives the plan up.
using PlanProgress = std::function<bool(const std::string& text)>;

// Plans a run of the options over two roots that passed CheckRoots. Nobody is asked anything: every
// delete counts as confirmed, since any of them may be; the options' safety limits are left out, so
// that the plan shows what they would hold back. An observer, when given, hears of every item decided on.
// A run with the Trash option needs the user's places to find a Trash; without them the plan is made as
// for a run without it, which copies and deletes the same items.
RunPlan MakeRunPlan(FileSystem& fileSystem, const std::string& sourceRoot, const std::string& targetRoot,
                    SyncOptions options, const ExclusionList& exclusions, const PlanProgress& onProgress,
                    PlanObserver* observer = nullptr, const UserPlaces* places = nullptr);

} // namespace twinfol
