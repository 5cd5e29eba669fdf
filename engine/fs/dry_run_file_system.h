// A file-system layer for trial runs: it reads through a real layer and changes nothing. Before it
// pretends that a change succeeded it looks at what the change would meet (the kind of the target
// entry, the read-only rule, the kind of the source, the contents of a tree to add or delete) and
// refuses it with the real layer's own reason wherever that can be seen without changing anything. So
// a trial run reports the problems of the real run, except those only a real write reveals: a full
// disk, an immutable file, a name the target file system refuses.
#pragma once

#include <mutex>
#include <set>
#include <string>

#include "engine/fs/file_system.h"

namespace twinfol {

class DryRunFileSystem : public FileSystem {
public:
    explicit DryRunFileSystem(FileSystem& reader) : reader_(reader) {}

    // The reads of a trial run go beneath the roots just as a real run's would.
    std::unique_ptr<RunScope> BeginRun(const std::string& sourceRoot, const std::string& targetRoot) override;
    FsStatus ListFolder(const std::string& folder, const EntryVisitor& onEntry) override;
    FsStatus ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                 std::unique_ptr<FolderStampReader>& stamps) override;
    EntryKind KindOf(const std::string& path) override;
    // What the reader sees, except that a file this trial run has deleted is missing.
    FsStatus LookAt(const std::string& path, EntryFacts& facts) override;
    std::optional<std::string> ResolvePath(const std::string& path) override;
    std::optional<FolderIdentity> IdentifyFolder(const std::string& folder) override;
    std::optional<FileStamp> ReadFileStamp(const std::string& path) override;
    using FileSystem::CopyFile;
    using FileSystem::CopyFolderTree;
    // Refuses a source that is a folder or a special file, and a target that is a folder or a
    // read-only file; tells progress of the source's size as the copied file's.
    FsStatus CopyFile(const std::string& from, const std::string& to, CopyProgress* progress) override;
    // Refuses a folder and a read-only file.
    FsStatus DeleteFile(const std::string& path) override;
    FsStatus MakeFolder(const std::string& folder) override;
    FsStatus RemoveFolder(const std::string& folder) override;
    // Checks that the entry is there; the new spelling is only pretended.
    FsStatus Respell(const std::string& path, const std::string& newName) override;
    // Walks the source tree in the order the real copy takes it: a special file ends it as it would
    // end the real copy, and progress hears of every file met before. A file or link standing where
    // the folder belongs refuses it.
    FsStatus CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                            const StopFlag& stop, CopyProgress* progress) override;
    // Walks the tree in the order the real delete takes it: a read-only file, or a folder on another
    // mount (a file system mounted inside the tree), ends it as it would end the real delete.
    FsStatus DeleteFolderTree(const std::string& folder, const StopFlag& stop) override;
    FsStatus ReadFile(const std::string& path, std::size_t maxBytes, std::string& bytes) override;
    FsStatus ReplaceFile(const std::string& path, std::string_view content, mode_t newFileMode) override;
    FsStatus MakeFolders(const std::string& folder, mode_t mode) override;
    // A lock that holds nothing: a trial run writes nothing that would need one.
    FsStatus LockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override;
    std::optional<EntryFacts> ReadEntryFacts(const std::string& path) override;
    // The writes of the Trash and the journals are only pretended, like every other change.
    FsStatus CreateNewFile(const std::string& path, std::string_view content, mode_t mode) override;
    FsStatus AppendFile(const std::string& path, std::string_view content, mode_t newFileMode) override;
    FsStatus MoveToTrash(const std::string& path, const std::string& trashPath) override;
    FsStatus LinkToTrash(const std::string& path, const std::string& trashPath) override;
    FsStatus MoveFromTrash(const std::string& trashPath, const std::string& path,
                           ExistingEntry existing) override;

private:
    bool WasDeleted(const std::string& path) const;
    FsStatus WalkCopy(const std::string& sourceFolder, const StopFlag& stop, CopyProgress* progress);
    // stopped becomes true when a stop request ended the walk with entries left in place.
    FsStatus WalkDelete(const std::string& folder, std::uint64_t mountId, const StopFlag& stop,
                        bool& stopped);

    FileSystem& reader_;
    // The files this trial run has deleted, by whole path. Of all pretended changes only these can be
    // met again by a later step of the same run: a folder the source has where the target had a file
    // of that name is added after that file's delete. Nothing else the walk changes is looked at
    // again, so nothing else is kept.
    std::set<std::string> deletedFiles_;
    // The workers of a run delete and look at the same time.
    mutable std::mutex deletedMutex_;
};

} // namespace twinfol
