// The file-system layer: every file access of the program (a run's copies and deletes, loading and
// saving profiles and settings, the folder browser's listings) goes through this interface, so that
// tests can put failures and stalls between the program and the disk.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/path.h"
#include "base/temporary_name.h"
#include "engine/fs/disk_kind.h"
#include "engine/fs/file_stamp.h"
#include "engine/fs/folder_identity.h"
#include "engine/fs/fs_result.h"
#include "engine/fs/fs_status.h"
#include "engine/records/copy_progress.h"

namespace twinfol {

enum class EntryKind { Missing, File, Folder, Link, Other };

// What a run does to target files without any write permission bit. Keep: they stay as the person who
// protected them left them, except one whose source twin is read-only too, which only carries the
// source's mode and is overwritten as any other. Replace: they are overwritten and deleted as any other.
enum class ReadOnlyTargets { Keep, Replace };

// What the layer tells about one entry without opening it or following a final symbolic link.
struct EntryFacts {
    EntryKind kind = EntryKind::Missing;
    // The permission bits, with the set-ID and sticky bits.
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    // The size in bytes (of a link: the length of its text).
    std::int64_t size = 0;
    // A regular file without any write permission bit: neither overwritten nor deleted by a run.
    bool readOnly = false;
    // The last-write time, to the nanosecond.
    std::int64_t modifiedSeconds = 0;
    std::uint32_t modifiedNanoseconds = 0;
    // The last change of the entry's status, in seconds: no copy can set it back, so it tells how long
    // ago anything last wrote to the entry.
    std::int64_t changedSeconds = 0;
    std::uint32_t changedNanoseconds = 0;
    // The mount that holds the entry (0 where the system cannot tell) and the file system's device.
    std::uint64_t mountId = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    // Whether both name the same mount: by the mount ids where both are known, else by the devices.
    bool SameMountAs(const EntryFacts& other) const
    {
        return mountId != 0 && other.mountId != 0 ? mountId == other.mountId : device == other.device;
    }
};

// What the disk that holds a folder has room for.
struct SpaceFigures {
    // The bytes an ordinary process may still write there.
    std::uint64_t freeBytes = 0;
    // The unit the disk gives files their room in: a file of one byte takes this much.
    std::uint64_t blockSize = 0;
};

// What a move out of the Trash does to an entry that stands at its destination.
enum class ExistingEntry { Keep, Replace };

// How a trash folder must stand before anything goes into it.
enum class TrashFolderKind {
    // The user's home trash: a real folder owned by the user.
    Home,
    // ".Trash/$uid" at the top of a volume: ".Trash" a real folder with the sticky bit, "$uid" a real
    // folder of the user's, mode 700.
    SharedTop,
    // ".Trash-$uid" at the top of a volume: a real folder of the user's, mode 700; on a file system that
    // keeps no owners or modes (FAT, exFAT, NTFS, also through FUSE), where every folder shows the
    // mount's owner and mode, one that shows the user as its owner.
    UserTop,
};

struct TrashFolderRequest {
    // The trash folder and the top of its volume (empty for the home trash), ending with the separator.
    std::string path;
    std::string top;
    TrashFolderKind kind = TrashFolderKind::Home;
    std::uint32_t uid = 0;
    // Whether what is missing of the trash folder and its files/ and info/ is made (mode 700). Without it
    // a missing trash folder fails with ENOENT.
    bool create = false;
};

// A trash folder opened and checked by its rules, held open until this object is destroyed.
class TrashHold {
public:
    virtual ~TrashHold() = default;
    // Whether the trash folder's path still names the folder that was opened and checked (the same
    // device and inode): a refusal with the reason when it was replaced meanwhile.
    virtual FsStatus StillInPlace() const { return {}; }
};

// A file that grows by appends through one open descriptor: a run journal.
class AppendOnlyFile {
public:
    virtual ~AppendOnlyFile() = default;
    // Writes the content at the file's end, with no buffer of the process's own between: once it
    // returns, a killed process loses nothing of it.
    virtual FsStatus Append(std::string_view content) = 0;
    // Puts what was appended on the disk.
    virtual FsStatus Sync() = 0;
};

// Receives one entry of a listing: its name and its kind as the listing saw it (never Missing; a
// symbolic link is a Link, whatever it points to). Returning false ends the listing early.
using EntryVisitor = std::function<bool(std::string_view name, EntryKind kind)>;

// The stop request of the run in progress, read by the tree operations after each entry.
using StopFlag = std::atomic<bool>;

// Reads the stamps of the entries of one listed folder by name. A layer may keep the folder open for
// it, so a reader is kept only while its folder's own files are handled. Concurrent: the workers of a
// run may read through one reader at once.
class FolderStampReader {
public:
    virtual ~FolderStampReader() = default;
    // What FileSystem::ReadFileStamp answers for the folder's path followed by the name.
    virtual FsResult<FileStamp> ReadFileStamp(const std::string& name) = 0;
};

// An exclusive lock on a file, held until this object is destroyed.
class FileLock {
public:
    virtual ~FileLock() = default;
};

// The scope of one run on the file system, from its start until this object is destroyed.
class RunScope {
public:
    virtual ~RunScope() = default;
    // Whether the run may go on: a refusal when another run is writing to the same target.
    virtual FsStatus Status() const { return {}; }
};

// Copies filled ahead by FileSystem::PrepareCopies, for the CopyFile calls of the thread that asked;
// whatever is left of them when this object is destroyed is let go without a trace.
class PreparedCopies {
public:
    virtual ~PreparedCopies() = default;
    // How many of the prepared copies a CopyFile call has used so far.
    virtual std::size_t Used() const = 0;
};

// One copy a run is about to make, by whole paths.
struct CopyPair {
    std::string from;
    std::string to;
};

// Every file access of the program. A layer writes the primitives, the operations that must reach the
// disk; everything else has a default here built from them once (engine/fs/file_system.cpp), which a
// layer overrides only where it does the same faster or more safely on its own.
//
// Which calls may run at the same time is said with each function, in one of two ways, and every
// layer must honour it:
// - Concurrent: a run with more than one job makes the call from several threads at once, each on a
//   different entry (never two on the same path or inside one tree), beside any other call; the tree
//   walks of the workers make the primitives they are built from concurrently too.
// - One at a time: the call comes from one thread at a time (a run's engine thread, or a window), but
//   the concurrent calls of a run's workers may be under way beside it.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // === The primitives: what every layer must do itself =============================================

    // --- Entries of a run ---------------------------------------------------------------------------
    // Lists every entry of a folder, hidden ones included, "." and ".." left out. Concurrent.
    virtual FsStatus ListFolder(const std::string& folder, const EntryVisitor& onEntry) = 0;
    // The facts of whatever stands at the path, without following a final symbolic link; a failure
    // when nothing can be looked at there (the facts then say Missing). Concurrent.
    virtual FsStatus LookAt(const std::string& path, EntryFacts& facts) = 0;
    // The same, answered as a value.
    FsResult<EntryFacts> LookAt(const std::string& path);
    // The path with ".", ".." and symbolic links resolved. One at a time.
    virtual FsResult<std::string> ResolvePath(const std::string& path) = 0;
    // Where the folder (links followed) lies inside its file system, and what is mounted below it; a
    // failure when the system cannot tell. One at a time.
    virtual FsResult<FolderIdentity> IdentifyFolder(const std::string& folder) = 0;
    // Copies one file (or link) over or beside the target, keeping its last-write time and mode.
    // The target name only ever holds the complete old or the complete new content. Progress, when
    // given, hears of each chunk of the data and of the finished file. Refuses what the rules of
    // engine/fs/refusal_rules.h refuse for a copy's source and target. Concurrent.
    virtual FsStatus CopyFile(const std::string& from, const std::string& to, CopyProgress* progress) = 0;
    FsStatus CopyFile(const std::string& from, const std::string& to) { return CopyFile(from, to, nullptr); }
    // Deletes one file or link; a folder and a read-only file are refused. Concurrent.
    virtual FsStatus DeleteFile(const std::string& path) = 0;
    // Creates one folder whose parent exists, with the mode less the umask; a real folder already
    // there counts as success, a file or link there is refused. Concurrent.
    virtual FsStatus MakeFolder(const std::string& folder, mode_t mode) = 0;
    FsStatus MakeFolder(const std::string& folder) { return MakeFolder(folder, 0777); }
    // Removes one empty folder. Concurrent.
    virtual FsStatus RemoveFolder(const std::string& folder) = 0;
    // Gives an entry another spelling of its name in the same folder: it is renamed to a fresh
    // temporary name first and then to the new one, so that a folder that does not tell the two
    // spellings apart takes the new one. Something else already under the new name fails with EEXIST,
    // and the entry then keeps its old name. One at a time.
    virtual FsStatus Respell(const std::string& path, const std::string& newName) = 0;

    // --- Whole files: profiles, settings ------------------------------------------------------------
    // Reads a regular file (a final symbolic link followed), at most maxBytes of it: a caller that
    // must tell a longer file asks for one byte more. Anything that is not a regular file is refused
    // before it is opened in a way that could wait (a FIFO without a writer would); a folder fails
    // with EISDIR. One at a time.
    virtual FsStatus ReadFile(const std::string& path, std::size_t maxBytes, std::string& bytes) = 0;
    // Replaces the file's whole content so that the name only ever holds the complete old or the
    // complete new content: a temporary file of the one temporary shape beside it is written, flushed
    // to the disk and renamed over it, and the folder is flushed too. A symbolic link is replaced
    // where it points. A new file gets newFileMode less the umask; an existing one keeps its mode. A
    // read-only file (one the process may not write, or one without any write permission bit, which
    // counts even for root) is never replaced. A file the process may write in a folder it may not
    // write is rewritten in place. On failure no temporary file is left behind. One at a time.
    virtual FsStatus ReplaceFile(const std::string& path, std::string_view content, mode_t newFileMode) = 0;
    // Takes an exclusive lock on the file, creating it (mode 0600) when it is missing, and waits until
    // no other process holds it. Used for read-modify-write of a file that several processes share.
    // One at a time.
    virtual FsStatus LockFile(const std::string& path, std::unique_ptr<FileLock>& lock) = 0;

    // --- The Trash and the run journals (all one at a time) -----------------------------------------
    // Creates a file that must not exist yet (EEXIST when it does) and writes the content into it:
    // the way a name is reserved. A failure leaves no file behind.
    virtual FsStatus CreateNewFile(const std::string& path, std::string_view content, mode_t mode) = 0;
    // Appends the content to a file, creating it with newFileMode (less the umask) when it is missing.
    // A symbolic link at the path is not followed: the append fails.
    virtual FsStatus AppendFile(const std::string& path, std::string_view content, mode_t newFileMode) = 0;
    // Opens a trash folder, makes what is missing of it when asked, checks it by the rules of its kind
    // (TrashFolderKind), with its files/ and info/ real folders of the user's, and holds it open: while
    // the hold lives, every path below the trash folder is reached beneath the open folder, and no
    // symbolic link below it is followed. A folder that fails a check is refused with the reason, and
    // nothing is made in it.
    virtual FsStatus OpenTrashFolder(const TrashFolderRequest& request, std::unique_ptr<TrashHold>& hold) = 0;
    // Creates a file that must not exist yet (EEXIST when it does; a symbolic link at the path is not
    // followed), writes the content and keeps it open for appends.
    virtual FsStatus CreateAppendOnlyFile(const std::string& path, std::string_view content, mode_t mode,
                                          std::unique_ptr<AppendOnlyFile>& file) = 0;
    // Moves a file, link or whole folder tree to a free name in a trash folder by one rename on the same
    // mount (another mount fails with EXDEV). Refuses what a delete refuses, before anything moves: a
    // read-only file, a folder tree that holds one, and a folder with a file system mounted at or
    // below it.
    virtual FsStatus MoveToTrash(const std::string& path, const std::string& trashPath) = 0;
    // Gives a file or link a second name in a trash folder (a hard link) and leaves it in place: the old
    // content of a file that the source file is about to replace. Refuses what the copy from the source
    // would refuse (a folder, a read-only file); a file system without hard links answers its own error
    // (EPERM, EOPNOTSUPP, EMLINK).
    virtual FsStatus LinkToTrash(const std::string& path, const std::string& trashPath,
                                 const std::string& source) = 0;
    // Moves an item out of a trash folder to the path by one rename. With Keep an entry already at
    // the path stays and the move fails with EEXIST; with Replace a file or link there is replaced in
    // one step (a folder there is refused).
    virtual FsStatus MoveFromTrash(const std::string& trashPath, const std::string& path,
                                   ExistingEntry existing) = 0;

    // === Built on the primitives: a layer overrides these only to do them faster or more safely =====

    // Opens the scope of a run over the two roots (both ending with the separator). While it lives, a
    // layer may hold the roots open and reach everything beneath them from there, without following
    // any symbolic link below a root; the roots' own paths may contain links. By default it does
    // nothing. The rule for read-only target files holds for every change below the target root while
    // the scope lives. One at a time, before the run's workers start.
    virtual std::unique_ptr<RunScope> BeginRun(const std::string& sourceRoot, const std::string& targetRoot,
                                               ReadOnlyTargets readOnly);
    std::unique_ptr<RunScope> BeginRun(const std::string& sourceRoot, const std::string& targetRoot)
    {
        return BeginRun(sourceRoot, targetRoot, ReadOnlyTargets::Keep);
    }
    // The kind of whatever stands at the path, without following a final symbolic link; Missing when
    // nothing can be looked at there. By default from LookAt. Concurrent.
    virtual EntryKind KindOf(const std::string& path);
    // The last-write time of a file (of a link itself, not of what it points to). By default from
    // LookAt. Concurrent.
    virtual FsResult<FileStamp> ReadFileStamp(const std::string& path);
    // Lists a folder as ListFolder does and hands out a reader for its entries' stamps (left empty when
    // the listing fails). By default the reader asks ReadFileStamp by whole path. Concurrent.
    virtual FsStatus ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                         std::unique_ptr<FolderStampReader>& stamps);
    // Copies everything inside sourceFolder into targetFolder, creating it first when needed. Entries
    // are handled in listing order; a copy's own leftover temporary file is never copied; links are
    // copied as links and never walked through. An entry that cannot be copied (a file or a whole
    // sub-folder: a name or kind the target's disk cannot hold, a second spelling of a name on a disk
    // that does not tell case apart, a special file, a source that cannot be read) is told to the
    // progress and left out, and the copy goes on with the next; the copy then answers the first such
    // failure. A failure of the folder itself (it cannot be made or listed), or one that means the
    // connection to a disk is gone, ends the copy. A stop request ends it after the current entry,
    // with success. Progress, when given, hears of every file copied.
    // By default the walk of engine/fs/path_tree_walk.h over MakeFolder, ListFolder and CopyFile.
    // Concurrent.
    virtual FsStatus CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                                    const StopFlag& stop, CopyProgress* progress);
    FsStatus CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                            const StopFlag& stop)
    {
        return CopyFolderTree(sourceFolder, targetFolder, stop, nullptr);
    }
    // Deletes everything inside the folder and then the folder. A link where the folder was, and a
    // folder on another mount than the one that holds it, is never entered (a file system mounted
    // inside the tree is left whole). The first failure or a stop request ends it, and the folder is
    // then left in place. By default the walk of engine/fs/path_tree_walk.h over ListFolder, LookAt,
    // DeleteFile and RemoveFolder. Concurrent.
    virtual FsStatus DeleteFolderTree(const std::string& folder, const StopFlag& stop);
    // Whether a file (or link's own text aside, a regular file) can be opened for reading now: it is
    // opened, without following a final symbolic link and without waiting on a FIFO, and closed again.
    // By default by reading none of it through ReadFile. Concurrent.
    virtual FsStatus OpenForReading(const std::string& path);
    // The room on the disk that holds the folder. By default the layer cannot tell: EOPNOTSUPP. One at
    // a time.
    virtual FsResult<SpaceFigures> ReadSpace(const std::string& folder);
    // Gives the target folder the source folder's last-write time, as a copy gives a file its source's:
    // a run calls it once it has changed what the folder holds. Neither final component is followed
    // when it is a symbolic link. By default the layer cannot: EOPNOTSUPP, and nothing changes (a
    // layer that forwards to another must choose to pass it on). One at a time.
    virtual FsStatus MatchFolderTime(const std::string& sourceFolder, const std::string& targetFolder);
    // The kind of disk that holds the folder (or, while it is missing, the nearest folder above it):
    // the names it can hold and whether its calls wait on a network or a FUSE server. By default a
    // plain local disk. One at a time.
    virtual DiskKind DiskKindOf(const std::string& folder);
    // A hint before a few copies on this thread: the layer may fill them ahead, unnamed, and put their
    // data on the disk together, so that the CopyFile calls for the same paths that follow on this
    // thread, while the answer is held, only give each its name. A copy not prepared, or whose
    // preparation failed, is made as usual; the outcome of every CopyFile is the same either way. By
    // default nothing is prepared (nullptr), and a layer that forwards to another does not pass it on.
    // Concurrent.
    virtual std::unique_ptr<PreparedCopies> PrepareCopies(const std::vector<CopyPair>& copies);
    // Creates the folder and every missing folder above it with the mode (less the umask); folders
    // already there, or links to folders, are left as they are. Succeeds when the whole path is a
    // folder afterwards. By default from MakeFolder, with ResolvePath and LookAt where a link stands.
    // One at a time.
    virtual FsStatus MakeFolders(const std::string& folder, mode_t mode);
};

} // namespace twinfol
