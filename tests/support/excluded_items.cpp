// Comparing the excluded items of a tree before and after a run.
#include "support/excluded_items.h"

namespace twinfol::test {
namespace {

using Snapshot = std::map<std::string, std::string>;

// The item at the key, and for a folder (a key ending with "/") everything below it.
Snapshot ItemAt(const Snapshot& snapshot, const std::string& key)
{
    Snapshot item;
    for (auto entry = snapshot.lower_bound(key); entry != snapshot.end(); ++entry) {
        if (entry->first != key && !(key.ends_with('/') && entry->first.starts_with(key)))
            break;
        item.insert(*entry);
    }
    return item;
}

} // namespace

std::vector<std::string> ChangedExcludedItems(const Snapshot& before, const Snapshot& after,
                                              const ExclusionList& exclusions, const std::string& treeRoot,
                                              const std::string& sourceFolder,
                                              const std::string& targetFolder)
{
    std::vector<std::string> changed;
    for (const std::string& entry : exclusions.Entries()) {
        if (!entry.starts_with(treeRoot))
            continue;
        const std::string inTree = entry.substr(treeRoot.size());
        std::string twin;
        if (inTree.starts_with(targetFolder))
            twin = inTree;
        else if (inTree.starts_with(sourceFolder))
            twin = targetFolder + inTree.substr(sourceFolder.size());
        else
            continue;
        // The side the entry names must have held the item before the run.
        if (!before.contains(inTree))
            continue;
        if (ItemAt(before, twin) != ItemAt(after, twin))
            changed.push_back(inTree);
    }
    return changed;
}

} // namespace twinfol::test
