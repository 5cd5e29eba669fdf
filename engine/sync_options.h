// The options of one synchronisation job and the direction values of a run.
#pragma once

namespace twinfol {

enum class SyncDirection : int { None = 0, Location1ToLocation2 = 1, Location2ToLocation1 = 2 };

// Each field is a 0-or-1 integer, as the main window's controls hold it; the engine reads the four
// engine flags as booleans (non-zero meaning true).
struct SyncOptions {
    int addMissing = 1;
    int deleteMissing = 1;
    int confirmDeletes = 1;
    int checkSubFolders = 1;
    int autoStart = 0;
    // 0: Location 1 to Location 2, 1: Location 2 to Location 1, -1: neither radio button selected.
    int autoStartDirection = 0;
};

}  // namespace twinfol
