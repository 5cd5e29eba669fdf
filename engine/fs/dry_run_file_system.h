// A file-system layer for trial runs: it reads through a real layer and changes nothing. Each change it
// is asked for is first checked, with the refusal rules the real layer keeps, against what the change
// would meet (the kind of the source, the kind of the target entry, the read-only rule), then only
// pretended. Its tree walks are the ones every layer gets, over these pretended changes, so they meet
// the tree in the order the real walks do and refuse what those refuse, a new name the target's disk
// cannot hold among them: a trial run reports the problems of the real run, except those only a real
// write reveals (a full disk, an immutable file, a name a file system refuses by rules of its own).
#pragma once

#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "engine/fs/forwarding_file_system.h"

namespace twinfol {

// What the pretended copies of a trial run would take of the target's disk.
struct SpaceTally {
    // Each file copied, its size rounded up to the disk's unit, and a unit for each folder made.
    std::uint64_t written = 0;
    // The same of the files those copies replace, whose room comes back as each copy lands; not of
    // one whose old content is kept in the Trash.
    std::uint64_t released = 0;
    // The largest file copied: while it is copied, its old and its new content both take room.
    std::uint64_t largest = 0;

    // The room the run needs at its fullest. Deletes are not counted: they come after the copies of
    // their folder.
    std::uint64_t Needed() const
    {
        const std::uint64_t grown = written > released ? written - released : 0;
        return grown > largest ? grown : largest;
    }
};

class DryRunFileSystem : public ForwardingFileSystem {
public:
    explicit DryRunFileSystem(FileSystem& reader) : ForwardingFileSystem(reader) {}

    // Rounds every size of the tally up to the unit, the target disk's block size; 1 by default.
    void CountSpaceIn(std::uint64_t unit) { unit_ = unit == 0 ? 1 : unit; }
    // What this trial run's copies would take of the target's disk so far.
    SpaceTally Space() const;

    using FileSystem::BeginRun;
    using FileSystem::CopyFile;
    using FileSystem::CopyFolderTree;
    using FileSystem::LookAt;
    using FileSystem::MakeFolder;

    // The reads of a trial run go beneath the roots just as a real run's would; what an earlier trial
    // run pretended is forgotten.
    std::unique_ptr<RunScope> BeginRun(const std::string& sourceRoot, const std::string& targetRoot,
                                       ReadOnlyTargets readOnly) override;
    // What the reader sees, except that an entry this trial run has deleted, and whatever lay below it,
    // is missing.
    FsStatus LookAt(const std::string& path, EntryFacts& facts) override;
    // What the reader lists, except that a folder this trial run made lists as empty: a walk may go
    // into a folder it has just made.
    FsStatus ListFolder(const std::string& folder, const EntryVisitor& onEntry) override;
    FsStatus ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                 std::unique_ptr<FolderStampReader>& stamps) override;
    // From LookAt, so that a deleted entry is missing here too.
    EntryKind KindOf(const std::string& path) override;

    // The writing primitives: checked, then pretended. A new entry needs a folder to hold it, a real
    // one or one this trial run made, and a name the target's disk can hold. A copy's source file must
    // open for reading. A copy tells progress of the source's size as the copied file's.
    FsStatus CopyFile(const std::string& from, const std::string& to, CopyProgress* progress) override;
    FsStatus DeleteFile(const std::string& path) override;
    FsStatus MakeFolder(const std::string& folder, mode_t mode) override;
    // Fails as the real removal would while anything this trial run has not deleted is left inside.
    FsStatus RemoveFolder(const std::string& folder) override;
    // Checks that the entry is there; the new spelling is only pretended.
    FsStatus Respell(const std::string& path, const std::string& newName) override;

    // The walks every layer gets, over this layer's own pretended changes.
    FsStatus CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                            const StopFlag& stop, CopyProgress* progress) override;
    FsStatus DeleteFolderTree(const std::string& folder, const StopFlag& stop) override;
    FsStatus MakeFolders(const std::string& folder, mode_t mode) override;

    // Only pretended: the whole-file writes, the lock (a trial run writes nothing that would need one),
    // and the writes of the Trash and the journals. A move to the Trash is first checked by the rules
    // of the real move (the item's, then its whole tree's) and makes the item gone; a second name for
    // an old content is checked as the replacement that follows it.
    FsStatus ReplaceFile(const std::string& path, std::string_view content, mode_t newFileMode) override;
    FsStatus LockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override;
    FsStatus CreateNewFile(const std::string& path, std::string_view content, mode_t mode) override;
    FsStatus AppendFile(const std::string& path, std::string_view content, mode_t newFileMode) override;
    FsStatus MoveToTrash(const std::string& path, const std::string& trashPath) override;
    FsStatus LinkToTrash(const std::string& path, const std::string& trashPath,
                         const std::string& source) override;
    FsStatus MoveFromTrash(const std::string& trashPath, const std::string& path,
                           ExistingEntry existing) override;
    // A trash folder that is there is checked as the real run checks it; one that is missing counts as
    // made. The journal file is only pretended.
    FsStatus OpenTrashFolder(const TrashFolderRequest& request, std::unique_ptr<TrashHold>& hold) override;
    FsStatus CreateAppendOnlyFile(const std::string& path, std::string_view content, mode_t mode,
                                  std::unique_ptr<AppendOnlyFile>& file) override;

private:
    // Whether the path, or a folder above it, is an entry this trial run has deleted.
    bool IsGone(const std::string& path) const;
    void MarkGone(const std::string& path);
    // A folder's tree as the real move to the Trash checks it: no read-only file, no folder that is a
    // link or on another mount.
    FsStatus CheckTreeForTrash(const std::string& folder, const EntryFacts& facts);
    // What stands where a new entry is to go: the facts say Missing when nothing does, and then the
    // folder that would hold the entry must be there (a real one, or one this trial run made), else
    // ENOENT.
    FsStatus LookAtPlace(const std::string& path, EntryFacts& facts);
    // Adds a copy (or a folder made, with no facts of a file) to the tally.
    void Tally(const EntryFacts& source, const EntryFacts& replaced, const std::string& to);
    std::uint64_t Rounded(std::int64_t size) const;

    // The files and folders this trial run has deleted, and the folders it has made, by whole path
    // without a trailing separator. Later steps of the same run meet them again: a folder the source
    // has where the target had a file of that name is added after that file's delete, the files of a
    // folder added go into it, and a tree delete removes each folder once what it held is gone.
    std::set<std::string, std::less<>> gone_;
    std::set<std::string, std::less<>> made_;

    bool WasMade(const std::string& folder);
    // The target files whose old content a second name in the Trash keeps.
    std::set<std::string, std::less<>> keptInTrash_;
    // Only what is made below the target root takes room on its disk (the Trash and the journals
    // have their own places).
    std::string targetRoot_;
    // The naming rules of the target's disk, read as the trial run begins, as the real layer reads them.
    NameRules targetNames_ = NameRules::Posix;
    // The run's rule for read-only target files, as the real layer is given it.
    ReadOnlyTargets readOnly_ = ReadOnlyTargets::Keep;
    std::uint64_t unit_ = 1;
    SpaceTally space_;
    // The workers of a run delete, make and look at the same time.
    mutable std::mutex pretendedMutex_;
};

} // namespace twinfol
