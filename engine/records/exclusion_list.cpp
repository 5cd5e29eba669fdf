// Ordered lookup in the exclusion list.
#include "engine/records/exclusion_list.h"

#include <algorithm>

namespace twinfol {

ExclusionList::ExclusionList(std::vector<std::string> entries) : entries_(std::move(entries))
{
    Sort();
}

bool ExclusionList::IsExcluded(std::string_view path) const
{
    const auto found =
        std::lower_bound(entries_.begin(), entries_.end(), path,
                         [](const std::string& entry, std::string_view key) { return entry < key; });
    return found != entries_.end() && *found == path;
}

void ExclusionList::Sort()
{
    std::sort(entries_.begin(), entries_.end());
}

} // namespace twinfol
