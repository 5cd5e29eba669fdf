// The file-system layer on Linux: listings with getdents, copies through an unnamed temporary file
// that only takes the target's name once it is complete, and, below a run's roots, no symbolic link
// ever followed and no mounted file system deleted.
#pragma once

#include <memory>
#include <string>

#include "engine/fs/file_system.h"
#include "engine/fs/walk_hook.h"
#include "engine/posix/deferred_closer.h"
#include "engine/posix/posix_entry_copy.h"
#include "engine/posix/posix_path_resolver.h"
#include "engine/posix/posix_walk_context.h"
#include "engine/posix/prepare_ahead.h"

namespace twinfol {

class PosixFileSystem : public FileSystem {
public:
    explicit PosixFileSystem(TemporaryFileKind temporaryFiles = TemporaryFileKind::UnnamedWhereSupported);

    // Holds both roots open and resolves everything below them beneath their descriptors, following
    // no link, until the scope is destroyed. New names below the target keep the rules of its disk.
    std::unique_ptr<RunScope> BeginRun(const std::string& sourceRoot, const std::string& targetRoot,
                                       ReadOnlyTargets readOnly) override;
    FsStatus ListFolder(const std::string& folder, const EntryVisitor& onEntry) override;
    // Keeps the folder open, so that each stamp is read relative to it.
    FsStatus ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                 std::unique_ptr<FolderStampReader>& stamps) override;
    EntryKind KindOf(const std::string& path) override;
    // One statx, with the mount id where the kernel gives it.
    FsStatus LookAt(const std::string& path, EntryFacts& facts) override;
    FsResult<std::string> ResolvePath(const std::string& path) override;
    // From the folder's mount (statx's mount id) in /proc/self/mountinfo; EOPNOTSUPP when the system
    // cannot tell.
    FsResult<FolderIdentity> IdentifyFolder(const std::string& folder) override;
    // One fstatat relative to the folder the run works in.
    FsResult<FileStamp> ReadFileStamp(const std::string& path) override;
    using FileSystem::BeginRun;
    using FileSystem::CopyFile;
    using FileSystem::CopyFolderTree;
    using FileSystem::LookAt;
    using FileSystem::MakeFolder;
    FsStatus CopyFile(const std::string& from, const std::string& to, CopyProgress* progress) override;
    // The same copy with a hook that its inner steps are reported to first (nullptr: none).
    FsStatus CopyFile(const std::string& from, const std::string& to, CopyProgress* progress, WalkHook* hook);
    FsStatus DeleteFile(const std::string& path) override;
    FsStatus MakeFolder(const std::string& folder, mode_t mode) override;
    FsStatus RemoveFolder(const std::string& folder) override;
    FsStatus Respell(const std::string& path, const std::string& newName) override;
    // Walk relative to open folders: every name is opened relative to its folder, not through its
    // whole path.
    FsStatus CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                            const StopFlag& stop, CopyProgress* progress) override;
    FsStatus DeleteFolderTree(const std::string& folder, const StopFlag& stop) override;
    // The same walks with a hook that each of their steps is reported to first (nullptr: none), so
    // that a layer wrapping this one reaches inside them.
    FsStatus CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                            const StopFlag& stop, CopyProgress* progress, WalkHook* hook);
    FsStatus DeleteFolderTree(const std::string& folder, const StopFlag& stop, WalkHook* hook);
    FsStatus ReadFile(const std::string& path, std::size_t maxBytes, std::string& bytes) override;
    FsStatus ReplaceFile(const std::string& path, std::string_view content, mode_t newFileMode) override;
    FsStatus MakeFolders(const std::string& folder, mode_t mode) override;
    // Regular files of one name up to a mebibyte, below a run's roots, each into an unnamed file of its
    // target's folder; one syncfs puts them all on the disk. Only a CopyFile without a hook uses them.
    std::unique_ptr<PreparedCopies> PrepareCopies(const std::vector<CopyPair>& copies) override;
    // One open beneath the folder the run works in, checked to be a regular file, and closed.
    FsStatus OpenForReading(const std::string& path) override;
    // statvfs of the folder: the room left to a process without root's reserve.
    FsResult<SpaceFigures> ReadSpace(const std::string& folder) override;
    FsStatus MatchFolderTime(const std::string& sourceFolder, const std::string& targetFolder) override;
    // From the mount table, and for a FUSE block mount from the device's superblock.
    DiskKind DiskKindOf(const std::string& folder) override;
    FsStatus LockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override;
    FsStatus CreateNewFile(const std::string& path, std::string_view content, mode_t mode) override;
    FsStatus AppendFile(const std::string& path, std::string_view content, mode_t newFileMode) override;
    FsStatus OpenTrashFolder(const TrashFolderRequest& request, std::unique_ptr<TrashHold>& hold) override;
    FsStatus CreateAppendOnlyFile(const std::string& path, std::string_view content, mode_t mode,
                                  std::unique_ptr<AppendOnlyFile>& file) override;
    FsStatus MoveToTrash(const std::string& path, const std::string& trashPath) override;
    FsStatus LinkToTrash(const std::string& path, const std::string& trashPath,
                         const std::string& source) override;
    FsStatus MoveFromTrash(const std::string& trashPath, const std::string& path,
                           ExistingEntry existing) override;

private:
    FsStatus ListEntries(const std::string& folder, const EntryVisitor& onEntry,
                         std::unique_ptr<FolderStampReader>* stamps);

    PosixPathResolver resolver_;
    // Keeps the data of deleted and replaced files until a background thread lets it go.
    DeferredCloser closer_;
    // Fills the unnamed temporary files of a tree copy a few files ahead of the one being placed.
    PrepareAhead prepareAhead_;
    PosixEntryCopy entryCopy_;
};

} // namespace twinfol
