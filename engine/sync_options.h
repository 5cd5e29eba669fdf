// The options of one synchronisation job and the direction values of a run.
#pragma once

namespace twinfol {

enum class SyncDirection : int { None = 0, Location1ToLocation2 = 1, Location2ToLocation1 = 2 };

// Whether a job starts by itself when it is opened, and in which direction. The values are those a
// profile file keeps.
enum class AutoStart : int { Off = 0, Location1ToLocation2 = 1, Location2ToLocation1 = 2 };

// What a job may do, as one value that travels from the window or the command line down to the
// engine. The defaults are those of a new job; a new run option is a new field with its default here,
// so that every caller that does not know it keeps today's behaviour.
struct SyncOptions {
    // The engine's four flags.
    bool addMissing = true;
    bool deleteMissing = true;
    bool confirmDeletes = true;
    bool checkSubFolders = true;
    // Read by whoever opens the job, never by the engine.
    AutoStart autoStart = AutoStart::Off;

    friend bool operator==(const SyncOptions&, const SyncOptions&) = default;
};

} // namespace twinfol
