// The Trash of one run: finds the trash folder of each item's volume (the home trash for the home's
// mount, a trash folder at the top of any other volume), reserves a name there and moves or links the
// item in. Plain code over the file-system layer; the layer does each single rename.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "engine/fs/file_system.h"
#include "engine/records/user_places.h"

namespace twinfol {

// One trash folder: its path and the top of the volume it serves (empty for the home trash, whose info
// files hold absolute paths). Both end with the separator.
struct TrashFolder {
    std::string path;
    std::string topFolder;

    friend bool operator==(const TrashFolder&, const TrashFolder&) = default;
};

// The rules a trash folder is held to, from where it lies: the home trash, ".Trash/$uid" or
// ".Trash-$uid" at the top of a volume. Nothing when the path has none of these shapes.
std::optional<TrashFolderKind> KindOfTrashFolder(const TrashFolder& folder, const std::string& homeTrash,
                                                 std::uint32_t uid);

// What an item was when it went to the Trash: an undo takes back, and an expiry removes, only that very
// item (the same device and inode, owner, modification time and, for a file, size).
struct TrashedIdentity {
    bool known = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint32_t owner = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::uint32_t modifiedNanoseconds = 0;

    static TrashedIdentity Of(const EntryFacts& facts);
    // Whether the facts are of the same item, as it was; never when the identity is not known.
    bool Matches(const EntryFacts& facts) const;
};

// An item this program put in a trash folder: enough to find it, to take it back out, and to tell
// later whether its info file still says what was written.
struct TrashedItem {
    TrashFolder folder;
    std::string name;
    std::string deletionDate;
    // The item's absolute path when it went, the one its info file names.
    std::string realPath;
    TrashedIdentity identity;

    std::string FilesPath() const { return folder.path + "files/" + name; }
    std::string InfoPath() const { return folder.path + "info/" + name + ".trashinfo"; }
    // The info file as this program wrote it.
    std::string InfoText() const;
};

// The outcome of putting an item in the Trash.
struct TrashResult {
    FsStatus status;
    // A failure that came from the rules of the item itself (a read-only file, a file system mounted
    // inside a folder): the item's usual problem, not a Trash that could not be had.
    bool refusedByRules = false;

    explicit operator bool() const { return status.IsOk(); }
};

// How the old content of a file about to be replaced was kept.
enum class OldContent { Linked, Moved };

using WallClock = std::chrono::system_clock::time_point (*)();

// Hears of each move into the Trash before it is made, and of each that then failed or was taken
// back: how the run journal records a move before the rename that makes it.
class TrashWitness {
public:
    virtual ~TrashWitness() = default;
    virtual void BeforeMove(const TrashedItem& item) = 0;
    // The item, once moved, shows another identity than before (a file system that numbers its files
    // by where they lie, such as FAT): the one it has in the Trash.
    virtual void MovedAs(const TrashedItem& item) = 0;
    virtual void MoveUndone(const TrashedItem& item) = 0;
};

class TrashCan {
public:
    // Items are named by paths below rootAsGiven, a spelling of the folder whose absolute path, with
    // links resolved, is rootResolved (both ending with the separator).
    TrashCan(FileSystem& fileSystem, const UserPlaces& places, std::string rootAsGiven,
             std::string rootResolved, WallClock clock);

    // Moves a file, link or whole folder tree (path without a trailing separator) to the Trash. The
    // trash folder is used only while it is the one opened and checked for this run.
    TrashResult Trash(const std::string& path, TrashedItem& item, TrashWitness* witness = nullptr);
    // Keeps the old content of a file that the source file is about to replace: a second name in the
    // Trash where the file system has hard links (the file stays in place), else the file itself moved
    // there (its name is then free until the replacement takes it).
    TrashResult KeepOldContent(const std::string& path, const std::string& source, TrashedItem& item,
                               OldContent& how, TrashWitness* witness = nullptr);
    // Undoes KeepOldContent after the replacement failed: a second name is removed (once it is seen
    // to be the file still in place), a moved file goes back to its name.
    void GiveBack(const TrashedItem& item, const std::string& path, OldContent how,
                  TrashWitness* witness = nullptr);
    // Takes an item out of the Trash to the path (ExistingEntry as MoveFromTrash has it), and removes
    // its info file; only the very item that went (its identity), from a trash folder that passes its
    // checks.
    FsStatus Restore(const TrashedItem& item, const std::string& path, ExistingEntry existing);
    // Opens and checks a trash folder a journal names (made when create is set and it is missing), and
    // holds it for as long as this object lives; a folder whose shape or checks fail is refused.
    FsStatus Hold(const TrashFolder& folder, bool create);
    // Whether the item is still in the Trash as this program left it: its trash folder held, its info
    // file as written (the person may have restored it and reused the name), and the very item there.
    FsStatus StillAsLeft(const TrashedItem& item);
    // The trash folder that items of the folder (a path below the root) go to, without creating
    // anything; nothing when the folder's volume has none that could be used.
    std::optional<TrashFolder> TrashFolderFor(const std::string& folder);

private:
    struct Choice {
        FsStatus status;
        TrashFolder folder;
        TrashFolderKind kind = TrashFolderKind::Home;
    };

    std::string RealPathOf(const std::string& path) const;
    // The trash folder for items of the folder, made ready and checked still in place.
    Choice ReadyFor(const std::string& folder);
    // Hold, then the folder checked still in place.
    FsStatus HeldInPlace(const TrashFolder& folder, bool create);
    // Hold, with the lock already taken by the caller.
    FsStatus HoldLocked(const TrashFolder& folder, bool create);
    const Choice& ChooseFor(const std::string& folder, bool prepare);
    Choice Locate(const EntryFacts& facts, const std::string& folder);
    FsStatus Prepare(const Choice& choice);
    FsStatus InPlace(const TrashFolder& folder);
    void Reidentify(TrashedItem& item, TrashWitness* witness);
    std::optional<EntryFacts> HomeFacts();
    std::string TopOfVolume(const std::string& realFolder, const EntryFacts& facts);
    FsStatus Reserve(const TrashFolder& folder, const std::string& path, TrashedItem& item);
    const std::string& NowAsDate();

    FileSystem& fileSystem_;
    const UserPlaces& places_;
    std::string rootAsGiven_;
    std::string rootResolved_;
    WallClock clock_;
    // The workers of a run trash items at the same time: the choices, the held folders, the numbers
    // and the date below are kept under this lock, and each file-system call is made outside it where
    // it touches the item.
    std::mutex mutex_;
    std::optional<std::optional<EntryFacts>> homeFacts_;
    // Per mount: the trash folder chosen, and whether it has been made ready.
    std::map<std::uint64_t, Choice> located_;
    std::map<std::uint64_t, Choice> prepared_;
    std::string lastFolder_;
    std::uint64_t lastKey_ = 0;
    // The trash folders opened and checked, by path, with the outcome of the check.
    std::map<std::string, std::pair<FsStatus, std::unique_ptr<TrashHold>>> held_;
    // Per trash folder and name, the next number to try, so that many items of one name do not try
    // every taken one.
    std::map<std::string, int> nextNumber_;
    std::time_t dateSecond_ = -1;
    std::string date_;
};

} // namespace twinfol
