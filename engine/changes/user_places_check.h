// Whether this user's journals and home trash may be trusted: they must be the user's own. A process
// that runs as root with another user's HOME (sudo -E, su without -) would otherwise read journals that
// user wrote and move or delete through a Trash that user controls.
#pragma once

#include <string>

#include "engine/fs/file_system.h"
#include "engine/records/user_places.h"

namespace twinfol {

// Empty when the journal folder and the home trash (or, where they do not exist yet, the nearest folder
// above each that does) belong to the user; else why not, naming the owner.
std::string CheckUserPlacesOwner(FileSystem& fileSystem, const UserPlaces& places);

} // namespace twinfol
