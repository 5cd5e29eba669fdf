// What a run must leave as it was because the person excluded it, checked on the trees before and
// after the run.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/records/exclusion_list.h"

namespace twinfol::test {

// The excluded items a run changed, as paths relative to the tree; empty when it kept them all.
// The snapshots are TempTree::Snapshot() of the tree at treeRoot, and sourceFolder and targetFolder
// are the run's roots relative to it (ending with "/"). An entry in the target stands for an item
// that was there before the run: it and everything below it must be unchanged. An entry in the
// source stands for the item there: its namesake of the same kind in the target must be unchanged,
// which for an item only the source held means it must still be missing. An excluded source
// item's namesake of the other kind (a folder where the source has a file) is no twin, and an
// entry that names nothing is no item: neither is looked at.
std::vector<std::string> ChangedExcludedItems(const std::map<std::string, std::string>& before,
                                              const std::map<std::string, std::string>& after,
                                              const ExclusionList& exclusions, const std::string& treeRoot,
                                              const std::string& sourceFolder,
                                              const std::string& targetFolder);

} // namespace twinfol::test
