// The text of a trash folder's info files: where an item came from and when it was deleted, as every
// desktop's Trash reads them, so that the file manager shows each item and can restore it.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace twinfol {

// The Path value of an item's info file: its absolute path for the home trash (topFolder empty), its
// path below the volume's top for a trash folder on the volume, so that the volume can be mounted
// elsewhere. Bytes other than letters, digits, "/" and "-_.!~*'()" are written as %XX.
std::string TrashInfoPathValue(std::string_view realPath, std::string_view topFolder);
// The deletion time as the info file holds it: local time, YYYY-MM-DDThh:mm:ss.
std::string TrashDeletionDate(std::time_t when);
// The whole info file.
std::string TrashInfoText(std::string_view pathValue, std::string_view deletionDate);

} // namespace twinfol
