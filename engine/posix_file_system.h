// The file-system layer on Linux: listings with getdents, copies through an unnamed temporary file
// that only takes the target's name once it is complete, and no symbolic link ever followed.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/deferred_closer.h"
#include "engine/file_system.h"
#include "engine/prepare_ahead.h"
#include "engine/unique_fd.h"

namespace twinfol {

// Where a copy writes its data before it takes the target's name.
enum class TemporaryFileKind {
    // An unnamed O_TMPFILE where the file system supports it, a named one elsewhere.
    UnnamedWhereSupported,
    // Always a named ".twinfol-<hex>.part" file; the path taken on file systems without O_TMPFILE.
    AlwaysNamed,
};

class PosixFileSystem : public FileSystem {
public:
    explicit PosixFileSystem(TemporaryFileKind temporaryFiles = TemporaryFileKind::UnnamedWhereSupported);

    FsStatus ListFolder(const std::string& folder, const EntryVisitor& onEntry) override;
    // Keeps the folder open, so that each stamp is read relative to it.
    FsStatus ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                 std::unique_ptr<FolderStampReader>& stamps) override;
    EntryKind KindOf(const std::string& path) override;
    std::optional<std::string> ResolvePath(const std::string& path) override;
    std::optional<FileStamp> ReadFileStamp(const std::string& path) override;
    FsStatus CopyFile(const std::string& from, const std::string& to) override;
    FsStatus DeleteFile(const std::string& path) override;
    FsStatus MakeFolder(const std::string& folder) override;
    FsStatus RemoveFolder(const std::string& folder) override;
    // The same walks as the generic ones, entry for entry and in the same order, but every name is
    // opened relative to its open folder instead of through its whole path.
    FsStatus CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                            const StopFlag& stop) override;
    FsStatus DeleteFolderTree(const std::string& folder, const StopFlag& stop) override;

private:
    enum class Placement { Add, Replace };
    // Where a copy puts its result: a name relative to a folder descriptor (AT_FDCWD for a path),
    // the folder that holds it, relative to the same descriptor ("" for the descriptor itself),
    // and, when a file created there gets exactly the mode it asks for less the umask, that umask.
    struct Destination {
        int dirFd;
        std::string name;
        std::string folder;
        std::optional<mode_t> createMask;
    };

    FsStatus CopyEntryRetrying(int sourceDirFd, const char* sourceName, const Destination& to,
                               std::optional<Placement> knownPlacement);
    FsStatus CopyEntry(int sourceDirFd, const char* sourceName, const Destination& to,
                       std::optional<Placement> knownPlacement);
    FsStatus CopyRegularFile(int source, const struct stat& sourceInfo, const Destination& to,
                             Placement placement, DeferredCloser* holdReplaced);
    FsStatus CopyLink(int sourceDirFd, const char* sourceName, const struct stat& info, const Destination& to,
                      Placement placement, DeferredCloser* holdReplaced);
    FsStatus PlaceUnnamedFile(int temporary, const Destination& to, Placement placement,
                              DeferredCloser* holdReplaced);
    FsStatus DeleteEntryAt(int dirFd, const char* name);
    static bool NeedsModeChange(const struct stat& sourceInfo, const Destination& to);

    // What one tree copy carries down its levels.
    struct TreeCopy {
        std::optional<mode_t> umask;
        const StopFlag& stop;
    };
    // One level of a tree copy: the open folders, whether the target folder was made by this copy,
    // their paths, and what a create gives there (see Destination).
    struct TreeLevel {
        int sourceFd;
        int targetFd;
        bool targetIsNew;
        const std::string& sourceFolder;
        const std::string& targetFolder;
        std::optional<mode_t> createMask;
        int depth;
    };
    FsStatus CopySubTree(const TreeLevel& parent, const std::string& name, const TreeCopy& copy);
    FsStatus CopyTreeLevel(const TreeLevel& level, const TreeCopy& copy);
    // Copies a run of listed files (no folder among them) in order, answering whether the stop
    // request ended it.
    FsStatus CopyFileRun(const TreeLevel& level, const std::vector<std::string>& names, const TreeCopy& copy,
                         bool& stopped);
    UniqueFd PrepareUnnamedCopy(const TreeLevel& level, const std::string& name) const;
    FsStatus DeleteSubTree(int parentFd, const std::string& name, const std::string& folder, int depth,
                           const StopFlag& stop);
    FsStatus DeleteTreeLevel(int folderFd, const std::string& folder, int depth, const StopFlag& stop);
    TemporaryFileKind temporaryFiles_;
    // Keeps the data of deleted and replaced files until a background thread lets it go.
    DeferredCloser closer_;
    // Fills the unnamed temporary files of a tree copy a few files ahead of the one being placed.
    PrepareAhead prepareAhead_;
};

}  // namespace twinfol
