// The main window's values that are bound to its controls: what the person has set up, copied out of
// the controls before a handler works and back after.
#pragma once

#include <string>

#include "app/location_histories.h"
#include "engine/records/sync_options.h"

namespace twinfol {

// One of the job's yes-or-no options, as an option box of the window names it.
using JobFlag = bool SyncOptions::*;

struct MainDialogFields {
    std::string location1;
    std::string location2;
    std::string executionText;
    std::string profilePath;
    // The option boxes, and the "Auto Start" box with its radio pair as the automatic start a profile
    // keeps: Off while the box is clear, else the first direction when the first radio button is
    // checked and the second otherwise (a pair with neither button checked counts as the second).
    SyncOptions options;
    // The radio pair: 0 for the first button, 1 for the second, -1 when neither is checked. It keeps
    // the direction shown while the box is clear.
    int autoStartDirection = -1;

    const std::string& Location(LocationSide side) const;
    // Shows a profile's automatic start. Off clears the box and leaves the radio pair as it is; a value
    // the profile format does not know changes nothing.
    void ShowProfileAutoStart(AutoStart profileAutoStart);
};

} // namespace twinfol
