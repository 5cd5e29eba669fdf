// The Trash of one run: finds the trash folder of each item's volume (the home trash for the home's
// mount, a trash folder at the top of any other volume), reserves a name there and moves or links the
// item in. Plain code over the file-system layer; the layer does each single rename.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
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

// An item this program put in a trash folder: enough to find it, to take it back out, and to tell
// later whether its info file still says what was written.
struct TrashedItem {
    TrashFolder folder;
    std::string name;
    std::string deletionDate;
    // The item's absolute path when it went, the one its info file names.
    std::string realPath;

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

class TrashCan {
public:
    // Items are named by paths below rootAsGiven, a spelling of the folder whose absolute path, with
    // links resolved, is rootResolved (both ending with the separator).
    TrashCan(FileSystem& fileSystem, const UserPlaces& places, std::string rootAsGiven,
             std::string rootResolved, WallClock clock);

    // Moves a file, link or whole folder tree (path without a trailing separator) to the Trash.
    TrashResult Trash(const std::string& path, TrashedItem& item);
    // Keeps the old content of a file that is about to be replaced: a second name in the Trash where the
    // file system has hard links (the file stays in place), else the file itself moved there (its name
    // is then free until the replacement takes it).
    TrashResult KeepOldContent(const std::string& path, TrashedItem& item, OldContent& how);
    // Undoes KeepOldContent after the replacement failed: a second name is removed (once it is seen
    // to be the file still in place), a moved file goes back to its name.
    void GiveBack(const TrashedItem& item, const std::string& path, OldContent how);
    // Takes an item out of the Trash to the path (ExistingEntry as MoveFromTrash has it), and removes
    // its info file.
    FsStatus Restore(const TrashedItem& item, const std::string& path, ExistingEntry existing);
    // Whether the item is still in the Trash as this program left it: there, and its info file as
    // written (the person may have restored it and reused the name).
    static bool StillAsLeft(FileSystem& fileSystem, const TrashedItem& item);
    // The trash folder that items of the folder (a path below the root) go to, without creating
    // anything; nothing when the folder's volume has none that could be used.
    std::optional<TrashFolder> TrashFolderFor(const std::string& folder);

private:
    struct Choice {
        FsStatus status;
        TrashFolder folder;
    };

    std::string RealPathOf(const std::string& path) const;
    const Choice& ChooseFor(const std::string& folder, bool prepare);
    Choice Locate(const EntryFacts& facts, const std::string& folder);
    FsStatus Prepare(const TrashFolder& folder);
    FsStatus PrepareVolumeFolder(const std::string& trashPath);
    std::optional<EntryFacts> HomeFacts();
    std::string TopOfVolume(const std::string& realFolder, const EntryFacts& facts);
    FsStatus Reserve(const TrashFolder& folder, const std::string& path, TrashedItem& item);
    const std::string& NowAsDate();

    FileSystem& fileSystem_;
    const UserPlaces& places_;
    std::string rootAsGiven_;
    std::string rootResolved_;
    WallClock clock_;
    std::optional<std::optional<EntryFacts>> homeFacts_;
    // Per mount: the trash folder chosen, and whether it has been made ready.
    std::map<std::uint64_t, Choice> located_;
    std::map<std::uint64_t, Choice> prepared_;
    std::string lastFolder_;
    std::uint64_t lastKey_ = 0;
    bool lastPrepared_ = false;
    // Per trash folder and name, the next number to try, so that many items of one name do not try
    // every taken one.
    std::map<std::string, int> nextNumber_;
    std::time_t dateSecond_ = -1;
    std::string date_;
};

} // namespace twinfol
