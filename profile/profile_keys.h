// The keys of the .twp format that hold the job's yes-or-no options: one table that the reader and the
// writer both walk, so that a new option is one line here.
#pragma once

#include <array>
#include <string_view>

#include "engine/records/sync_options.h"

namespace twinfol {

// Where the writer puts a key. A reader that knows only the format's first nine keys takes whatever
// follows an unknown key for further keys, so a later key anywhere before the exclusion block would
// swallow the block: every key that came after those nine follows it.
enum class KeyPlace { BeforeExclusions, AfterExclusions };

struct ProfileFlag {
    std::string_view key;
    bool SyncOptions::*member;
    KeyPlace place;
    // What a file without the key means: the value of a new job for the format's first keys, and for a
    // later key the value that jobs ran with before it existed.
    bool whenMissing;
};

// In the order the writer puts them.
inline constexpr std::array<ProfileFlag, 8> profileFlags = {{
    {"delete_files", &SyncOptions::deleteMissing, KeyPlace::BeforeExclusions, true},
    {"confirm_deletes", &SyncOptions::confirmDeletes, KeyPlace::BeforeExclusions, true},
    {"add_files", &SyncOptions::addMissing, KeyPlace::BeforeExclusions, true},
    {"check_sub_folders", &SyncOptions::checkSubFolders, KeyPlace::BeforeExclusions, true},
    // A profile made before the Trash keeps running as it did, without it.
    {"use_trash", &SyncOptions::useTrash, KeyPlace::AfterExclusions, false},
    {"ignore_hour_shift", &SyncOptions::ignoreHourShift, KeyPlace::AfterExclusions, false},
    {"delete_ignored", &SyncOptions::deleteIgnored, KeyPlace::AfterExclusions, false},
    {"replace_read_only", &SyncOptions::replaceReadOnly, KeyPlace::AfterExclusions, false},
}};

// The keys of the ignore rules, written after the flags above: one line per pattern, in the order the
// patterns apply, then the size limits in bytes, each only when it is set. Their values are written
// with "%" as "%25" and "=" as "%3D" (profile/escaped_value.h): a reader that knows only the format's
// first nine keys joins an unknown key's value onto the next key, up to the next "=", and a raw "="
// would let a pattern such as "location1=/etc/" read there as a location.
inline constexpr std::string_view ignorePatternKey = "ignore_pattern";
inline constexpr std::string_view maxFileSizeKey = "max_file_size";
inline constexpr std::string_view minFileSizeKey = "min_file_size";

} // namespace twinfol
