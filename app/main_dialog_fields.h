// The main window's values that are bound to its controls, in the order the window declares them:
// what the person has set up, copied out of the controls before a handler works and back after.
#pragma once

#include <string>

#include "app/location_histories.h"
#include "engine/records/sync_options.h"

namespace twinfol {

// The five option boxes, as the handlers name the one that was clicked.
enum class JobOption {
    DeleteMissing,
    AddMissing,
    ConfirmDeletes,
    CheckSubFolders,
    UseTrash,
    IgnoreHourShift
};

struct MainDialogFields {
    int addMissing = 0;
    int deleteMissing = 0;
    std::string location2;
    int confirmDeletes = 0;
    int checkSubFolders = 0;
    std::string executionText;
    std::string location1;
    std::string profilePath;
    int autoStart = 0;
    // 0 for the first radio button, 1 for the second, -1 when neither is checked.
    int autoStartDirection = -1;
    int useTrash = 0;
    int ignoreHourShift = 0;

    const std::string& Location(LocationSide side) const;
    int Option(JobOption option) const;
    // The engine's options for a run started now (the Trash's keeping days at their default).
    SyncOptions Options() const;

    // The one mapping between the profile's automatic start (0 none, 1 Location 1 to Location 2,
    // 2 Location 2 to Location 1) and the "Auto Start" box with its radio pair. Any direction but
    // the first counts as the second, so a pair with neither button checked maps to 2.
    int ProfileAutoStart() const;
    // Shows a profile's automatic start. 0 clears the box and leaves the radio pair as it is; a value
    // the profile format does not know changes nothing.
    void ShowProfileAutoStart(int profileAutoStart);
};

} // namespace twinfol
