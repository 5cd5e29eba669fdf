// The ownership check of the user's own places.
#include "engine/changes/user_places_check.h"

#include "base/path.h"
#include "base/user_name.h"

namespace twinfol {
namespace {

// The facts of the path, or of the nearest folder above it that can be looked at.
FsResult<EntryFacts> NearestExisting(FileSystem& fileSystem, std::string path, std::string& found)
{
    found = WithoutTrailingSeparator(path);
    FsResult<EntryFacts> facts = fileSystem.LookAt(found);
    while (!facts && found.size() > 1) {
        found = WithoutTrailingSeparator(FolderOf(found));
        if (found.empty())
            found = std::string(1, pathSeparator);
        facts = fileSystem.LookAt(found);
    }
    return facts;
}

} // namespace

std::string CheckUserPlacesOwner(FileSystem& fileSystem, const UserPlaces& places)
{
    for (const std::string* place : {&places.journalFolder, &places.homeTrash}) {
        if (place->empty())
            continue;
        std::string found;
        const FsResult<EntryFacts> facts = NearestExisting(fileSystem, *place, found);
        if (!facts)
            return found + " cannot be looked at (" + facts.Status().Reason() + ")";
        if (facts->owner != places.uid)
            return found + " belongs to " + DescribeUser(facts->owner) + ", not to " +
                   DescribeUser(places.uid) + " who runs this";
    }
    return {};
}

} // namespace twinfol
