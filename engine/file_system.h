// The file-system layer: everything the engine does to files goes through this interface, so that
// tests can put failures and stalls between the engine and the disk.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/file_stamp.h"

namespace twinfol {

// The outcome of one file operation: success, or the errno value that made it fail.
class [[nodiscard]] FsStatus {
public:
    FsStatus() = default;
    static FsStatus Failure(int error) { return FsStatus(error == 0 ? -1 : error); }
    bool IsOk() const { return error_ == 0; }
    explicit operator bool() const { return IsOk(); }
    int Error() const { return error_; }

private:
    explicit FsStatus(int error) : error_(error) {}
    int error_ = 0;
};

enum class EntryKind { Missing, File, Folder, Link, Other };

// Receives one entry of a listing: its name and whether it is a folder (a symbolic link is never a
// folder). Returning false ends the listing early.
using EntryVisitor = std::function<bool(std::string_view name, bool isFolder)>;

// The stop request of the run in progress, read by the tree operations after each entry.
using StopFlag = std::atomic<bool>;

// Names of the temporary files that a copy writes before it gives the data the target's name.
// Such a file left behind by a killed process is recognised by its name and never taken for a
// user's file.
inline constexpr std::string_view temporaryNamePrefix = ".twinfol-";
inline constexpr std::string_view temporaryNameSuffix = ".part";
inline constexpr std::size_t temporaryNameDigits = 16;
bool IsTemporaryName(std::string_view name);

// Folder paths end with the separator; paths are built by plain concatenation.
inline constexpr char pathSeparator = '/';

// Reads the stamps of the entries of one listed folder by name. A layer may keep the folder open for
// it, so a reader is kept only while its folder's own files are handled.
class FolderStampReader {
public:
    virtual ~FolderStampReader() = default;
    // What FileSystem::ReadFileStamp answers for the folder's path followed by the name.
    virtual std::optional<FileStamp> ReadFileStamp(const std::string& name) = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Lists every entry of a folder, hidden ones included, "." and ".." left out.
    virtual FsStatus ListFolder(const std::string& folder, const EntryVisitor& onEntry) = 0;
    // The kind of whatever stands at the path, without following a final symbolic link.
    virtual EntryKind KindOf(const std::string& path) = 0;
    // The path with ".", ".." and symbolic links resolved, or nothing when it cannot be resolved.
    virtual std::optional<std::string> ResolvePath(const std::string& path) = 0;
    // The last-write time of a file (of a link itself, not of what it points to).
    virtual std::optional<FileStamp> ReadFileStamp(const std::string& path) = 0;
    // Copies one file (or link) over or beside the target, keeping its last-write time and mode.
    // The target name only ever holds the complete old or the complete new content.
    virtual FsStatus CopyFile(const std::string& from, const std::string& to) = 0;
    // Deletes one file or link; a read-only file is not deleted.
    virtual FsStatus DeleteFile(const std::string& path) = 0;
    // Creates one folder whose parent exists; a folder already there counts as success.
    virtual FsStatus MakeFolder(const std::string& folder) = 0;
    // Removes one empty folder.
    virtual FsStatus RemoveFolder(const std::string& folder) = 0;

    // Lists a folder as ListFolder does and hands out a reader for its entries' stamps (left empty when
    // the listing fails). The default lists and reads through whole paths.
    virtual FsStatus ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                         std::unique_ptr<FolderStampReader>& stamps);

    // Copies everything inside sourceFolder into targetFolder, creating it first when needed. The
    // first failure ends the copy; a stop request ends it after the current entry.
    virtual FsStatus CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                                    const StopFlag& stop);
    // Deletes everything inside the folder and then the folder. The first failure or a stop request
    // ends it, and the folder is then left in place.
    virtual FsStatus DeleteFolderTree(const std::string& folder, const StopFlag& stop);

protected:
    // How a tree walk goes on into a sub-folder: through the (possibly overridden) tree operation, so
    // that a layer sees every level, or straight on through whole paths.
    enum class TreeRecursion { ThroughOverrides, ByPaths };
    // The tree walks through whole paths, built on the single-entry operations.
    FsStatus CopyTreeByPaths(const std::string& sourceFolder, const std::string& targetFolder,
                             const StopFlag& stop, TreeRecursion recursion);
    FsStatus DeleteTreeByPaths(const std::string& folder, const StopFlag& stop, TreeRecursion recursion);
};

}  // namespace twinfol
