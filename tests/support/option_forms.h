// Every yes-or-no option of a job and the name each outside form keeps it under: the profile's key,
// the window's option box and stored setting, and the runner's switch. One table drives the round
// trip of every form, so that a new option left out of one of them fails a test.
#pragma once

#include "engine/records/sync_options.h"

namespace twinfol::test {

struct OptionForms {
    bool SyncOptions::*option;
    const char* profileKey;
    // The window's check box, by its object name.
    const char* box;
    const char* setting;
    const char* flag;
    // The value the switch gives; a command line without it gives the other one.
    bool flagGives;
};

inline constexpr OptionForms everyJobFlag[] = {
    {&SyncOptions::addMissing, "add_files", "addMissingCheck", "AddMissing", "--no-add", false},
    {&SyncOptions::deleteMissing, "delete_files", "deleteMissingCheck", "DelMissing", "--delete", true},
    {&SyncOptions::confirmDeletes, "confirm_deletes", "confirmDeletesCheck", "CheckDel", "--confirm", true},
    {&SyncOptions::checkSubFolders, "check_sub_folders", "checkSubFoldersCheck", "SubFolders",
     "--no-subfolders", false},
    {&SyncOptions::useTrash, "use_trash", "useTrashCheck", "UseTrash", "--trash", true},
    {&SyncOptions::ignoreHourShift, "ignore_hour_shift", "ignoreHourShiftCheck", "IgnoreHourShift",
     "--ignore-hour-shift", true},
    {&SyncOptions::replaceReadOnly, "replace_read_only", "replaceReadOnlyCheck", "ReplaceReadOnly",
     "--replace-read-only", true},
};

// Names every member of SyncOptions once, so that a new member stops the tests from compiling until
// it is named here: the moment to give a yes-or-no option of the job its row above. The members that
// have no row are no job flag: the automatic start (the profile's "auto_start", the window's "Auto
// Start" box), the run's own settings (the Trash's keeping days, the empty-source guard, the delete
// limit and the workers), which no profile keeps, and the ignore rules: the patterns and size limits,
// which are no yes-or-no option, and deleteIgnored, which the profile and the runner keep under their
// own names ("delete_ignored", --delete-ignored) and the window sets in the Exclusions dialog beside
// the patterns, not among the main window's option boxes and stored settings.
inline void NameEveryOption(const SyncOptions& options)
{
    [[maybe_unused]] const auto& [addMissing, deleteMissing, confirmDeletes, checkSubFolders, useTrash,
                                  trashKeepDays, autoStart, emptySource, maxDeletes, ignoreHourShift, jobs,
                                  ignorePatterns, maxFileSize, minFileSize, deleteIgnored, replaceReadOnly] =
        options;
}

} // namespace twinfol::test
