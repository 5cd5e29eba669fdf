// Deletes a level's target-only files or folders with the pool's workers: the engine thread asks each
// question in walk order and hands a delete out only after its Yes; each is recorded in its place.
#pragma once

#include "base/work_pool.h"
#include "engine/walk/ordered_results.h"
#include "engine/walk/walk_level.h"

namespace twinfol {

class PooledDeletes {
public:
    PooledDeletes(WalkParts& parts, Level& level, WorkPool& pool) : parts_(parts), level_(level), pool_(pool)
    {
    }

    void DeleteTargetOnly(ItemKind kind);

private:
    // How many deletes of the kind go out together, of a level holding items of it.
    std::size_t PieceSize(ItemKind kind, std::size_t items) const;

    WalkParts& parts_;
    Level& level_;
    WorkPool& pool_;
};

} // namespace twinfol
