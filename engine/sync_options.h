// The options of one synchronisation job and the direction values of a run.
#pragma once

namespace twinfol {

enum class SyncDirection : int { None = 0, Location1ToLocation2 = 1, Location2ToLocation1 = 2 };

// Whether a job starts by itself when it is opened, and in which direction. The values are those a
// profile file keeps.
enum class AutoStart : int { Off = 0, Location1ToLocation2 = 1, Location2ToLocation1 = 2 };

inline constexpr int defaultTrashKeepDays = 30;

// What a job may do, as one value that travels from the window or the command line down to the
// engine. The defaults are those of a new job; a new run option is a new field with its default here,
// so that every caller that does not know it keeps today's behaviour.
struct SyncOptions {
    // The engine's four flags.
    bool addMissing = true;
    bool deleteMissing = true;
    bool confirmDeletes = true;
    bool checkSubFolders = true;
    // Deleted files and folders, and the old content of overwritten files, go to the Trash instead of
    // being removed for good.
    bool useTrash = false;
    // Items a run put in the Trash are removed from it this many days later, at the start of a later
    // run into the same volume; 0 keeps them until the person empties the Trash.
    int trashKeepDays = defaultTrashKeepDays;
    // Read by whoever opens the job, never by the engine.
    AutoStart autoStart = AutoStart::Off;

    friend bool operator==(const SyncOptions&, const SyncOptions&) = default;
};

} // namespace twinfol
