// One synchronisation job as the user saves it: two locations, the job's options (its flags and the
// automatic start) and the exclusion list, with its .twp text format.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/fs/file_system.h"
#include "engine/records/exclusion_list.h"
#include "engine/records/sync_options.h"
#include "profile/serializable.h"

namespace twinfol {

// What opening a profile file came to; the window words its message after it.
enum class ProfileLoadStatus {
    Loaded,      // a valid profile was read
    CannotOpen,  // the file could not be opened or read ("Could not open file: ...")
    NotAProfile, // the bytes are not a valid profile ("... is not a valid Twinfol profile")
};

struct ProfileLoadResult {
    ProfileLoadStatus status = ProfileLoadStatus::Loaded;
    int error = 0; // the errno value when the file could not be opened or read
    // With NotAProfile: the file broke one of the reader's bounds (its size, a line's length or the
    // number of exclusions), which deserves its own message.
    bool pastReaderLimits = false;
};

class Profile : public Serializable {
public:
    // The reader's bounds. A real profile is a few kilobytes; a file beyond any of these is not
    // taken for a profile, so that no input can make the reader hold unbounded memory, and a list
    // of exclusions is never silently cut short.
    static constexpr std::size_t maxInputBytes = 16 * 1024 * 1024;
    static constexpr std::size_t maxLineBytes = 64 * 1024;
    static constexpr std::size_t maxExclusions = 256 * 1024;
    static constexpr std::size_t maxIgnorePatterns = 64 * 1024;

    Profile() = default;

    // Writes the CR LF lines of the format; clears `modified` when the stream took them all.
    std::ostream& Write(std::ostream& out) override;
    // Starts from a reset profile and fills it from the stream. Sets `valid`; a stream that is not
    // a valid profile leaves the profile reset. Sets the stream's failbit when a value could not be
    // read and its eofbit when the input ended.
    std::istream& Read(std::istream& in) override;

    // False when the format cannot hold the profile as it stands (a line break in a value, say);
    // Write and WriteFile then refuse it instead of saving something that reads back otherwise.
    bool CanBeWritten() const;
    // The text that Write puts out.
    std::string ToText() const;
    // Reads a profile held in memory; returns `valid`.
    bool ReadText(std::string_view text);
    // Reads a profile file. The profile is changed only when the file could be read. Its ignore
    // patterns get the file's name as their origin (a profile read from a stream or text has none).
    ProfileLoadResult ReadFile(FileSystem& fileSystem, const std::string& path);
    // Replaces the file with this profile atomically; clears `modified` only when the file was saved.
    // A read-only file is never replaced: the save fails.
    FsStatus WriteFile(FileSystem& fileSystem, const std::string& path);

    // The options a run of this job starts from: those the file keeps (the flags, the automatic start
    // and the ignore rules) from this profile, every other one (the Trash's keeping days, the safety limits,
    // the workers) from `run`, which whoever starts the run decides.
    SyncOptions OptionsForRun(SyncOptions run) const;

    // Back to the defaults of a new profile, `valid` excepted.
    void Reset();
    void SetLocation1(std::string path);
    void SetLocation2(std::string path);

    bool modified = false;
    bool valid = true;
    std::string location1;
    std::string location2;
    ExclusionList exclusions;
    // The flags and the ignore rules (patterns and size limits) under the keys of
    // profile/profile_keys.h and the automatic start under "auto_start"; the other members keep their
    // defaults. An automatic start the format does not know (one a later
    // version wrote) is kept and written back unchanged; whoever reads it takes it for Off.
    SyncOptions options;

    // Every field equal, `modified` and `valid` included.
    friend bool operator==(const Profile& left, const Profile& right);

private:
    // Whether the last Read stopped at one of the reader's bounds.
    bool readPastLimits_ = false;
};

} // namespace twinfol
