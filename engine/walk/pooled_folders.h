// Carries out the sub-folder decisions of a level with the pool's workers: they copy the folders only
// the source holds and delete those only the target holds, while the engine thread goes down into the
// twin folders (whose listings the workers read ahead), asks the delete questions and records each
// piece of work in its place in the walk.
#pragma once

#include <set>
#include <string>

#include "base/work_pool.h"
#include "engine/walk/ordered_results.h"
#include "engine/walk/read_ahead.h"
#include "engine/walk/walk_level.h"

namespace twinfol {

class PooledFolders {
public:
    PooledFolders(WalkParts& parts, Level& level, WorkPool& pool, ReadAhead& readAhead)
        : parts_(parts), level_(level), pool_(pool), readAhead_(readAhead)
    {
    }

    void HandleSourceFolders();

private:
    // Whether the add goes ahead after the spelling check; else its outcome is handled or recorded.
    bool FolderSpelledAsListed(const std::string& name, OrderedResults& results,
                               std::set<std::string>& addedFolds);
    void PostAdd(const std::string& name, OrderedResults& results);

    WalkParts& parts_;
    Level& level_;
    WorkPool& pool_;
    ReadAhead& readAhead_;
};

} // namespace twinfol
