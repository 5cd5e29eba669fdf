// The file-system layer on Linux: listings with readdir, copies through an unnamed temporary file
// that only takes the target's name once it is complete, and no symbolic link ever followed.
#pragma once

#include <sys/stat.h>

#include "engine/file_system.h"
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
    EntryKind KindOf(const std::string& path) override;
    std::optional<std::string> ResolvePath(const std::string& path) override;
    std::optional<FileStamp> ReadFileStamp(const std::string& path) override;
    FsStatus CopyFile(const std::string& from, const std::string& to) override;
    FsStatus DeleteFile(const std::string& path) override;
    FsStatus MakeFolder(const std::string& folder) override;
    FsStatus RemoveFolder(const std::string& folder) override;

private:
    enum class Placement { Add, Replace };

    FsStatus CopyRegularFile(int source, const struct stat& sourceInfo, const std::string& to,
                             Placement placement);
    FsStatus CopyLink(const std::string& from, const struct stat& info, const std::string& to,
                      Placement placement);
    FsStatus PlaceUnnamedFile(int temporary, const std::string& to, Placement placement);
    FsStatus PlaceNamedFile(const std::string& temporaryPath, const std::string& to, Placement placement);

    TemporaryFileKind temporaryFiles_;
};

}  // namespace twinfol
