// A reader of the .twp format that knows only the format's first nine keys and does exactly what the
// format says of everything else: what a program that was written before any later key would make of
// a file the current writer puts out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace twinfol::test {

struct NineKeyFields {
    bool valid = false;
    std::string location1;
    std::string location2;
    bool deleteFiles = true;
    bool confirmDeletes = true;
    bool addFiles = true;
    bool checkSubFolders = true;
    std::int32_t autoStart = 0;
    std::vector<std::string> exclusions;

    friend bool operator==(const NineKeyFields&, const NineKeyFields&) = default;
};

// The keys that reader knows.
inline constexpr const char* nineKeys[] = {"twin_fol_version",  "location1",       "location2",
                                           "delete_files",      "confirm_deletes", "add_files",
                                           "check_sub_folders", "auto_start",      "exclusions"};

// Reads the text as that reader does: a key is everything up to the next "=" with its white space
// removed; an unknown key consumes no value, so its value and the next line's key make up the next
// key; a value that cannot be read ends the reading; a text without the version key reads as the
// defaults, not valid.
NineKeyFields ReadWithNineKeys(const std::string& text);

} // namespace twinfol::test
