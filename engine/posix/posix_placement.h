// Placing a finished temporary file under its final name: an add never replaces a name that appears
// meanwhile, a replacement is one rename, and a temporary file never outlives a failure.
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>

#include "base/temporary_name.h"
#include "engine/fs/fs_status.h"
#include "engine/posix/deferred_closer.h"
#include "engine/posix/posix_owner.h"

namespace twinfol {

enum class Placement { Add, Replace };

// Where a copy puts its result: a name relative to a folder descriptor (AT_FDCWD for a path), the
// folder that holds it, relative to the same descriptor ("" for the descriptor itself), and, when a
// file created there gets exactly the mode it asks for less the umask, that umask. Who owns what is
// created there, when the caller knows, and the folder's whole path (ending with the separator), by
// which a run remembers the copies of files that have several names.
struct Destination {
    int dirFd;
    std::string name;
    std::string folder;
    std::optional<mode_t> createMask;
    std::optional<NewEntryOwner> created = std::nullopt;
    std::string_view wholeFolder = {};
};

// How many fresh names a temporary file tries before it gives up.
inline constexpr int temporaryNameAttempts = 16;

// Creates something under a fresh temporary name in the folder (a folder path ending with the
// separator, or "" for the folder itself): create(path) answers 0 or an errno value, and a name that
// is taken (EEXIST) makes it try the next one. The path it succeeded with is left in chosenPath.
template <typename Create>
FsStatus CreateUnderTemporaryName(const std::string& folder, Create&& create, std::string& chosenPath)
{
    for (int attempt = 0; attempt < temporaryNameAttempts; ++attempt) {
        chosenPath = folder;
        chosenPath += MakeTemporaryName();
        const int error = create(chosenPath);
        if (error == 0)
            return {};
        if (error != EEXIST)
            return FsStatus::Failure(error);
    }
    return FsStatus::Refusal(EEXIST, "no free temporary name in the folder");
}

// Renames without replacing what stands at the destination: the rename that refuses to, or, where the
// file system answers that one as the table of unsupported answers says, a look at the name and a
// plain rename straight after it. Answers 0 or an errno value.
int RenameWithoutReplacing(int fromDir, const char* from, int toDir, const char* to);

// Gives an open file a name: an unnamed O_TMPFILE file, or another name for a file opened with
// O_PATH; answers 0 or an errno value. The /proc route needs no
// privilege; AT_EMPTY_PATH is the way when /proc is not mounted.
int LinkUnnamed(int fd, int dirFd, const std::string& name);

// How a file took its final name: a rename, which some file systems (FAT through fusefat) take as a
// change that stamps the file anew, or a hard link, which leaves the file as it was.
enum class PlacedBy { Rename, Link };

// Moves a complete named temporary file to the target's name; the temporary file never outlives a
// failure. With a closer, the file that a replacement replaces is held open and let go in the
// background, so that freeing its data does not hold up the copy. An add never replaces a name: it
// is a rename that refuses to replace, else a hard link, else, where the file system does neither
// (the answers of one table), a look at the name and a plain rename straight after it. placedBy,
// when given, receives how the file took its name.
FsStatus PlaceNamedFile(int dirFd, const std::string& temporaryPath, const std::string& to,
                        Placement placement, DeferredCloser* holdReplaced, PlacedBy* placedBy = nullptr);

} // namespace twinfol
