// Choosing, preparing and filling trash folders. Which folder serves an item depends only on the mount
// that holds the item's folder, so the choice is made once per mount and a run's items in one folder
// cost one look at that folder.
#include "engine/changes/trash_can.h"

#include <cerrno>

#include "base/path.h"
#include "engine/changes/trash_info.h"

namespace twinfol {
namespace {

constexpr std::uint32_t stickyBit = 01000;
constexpr mode_t privateFolder = 0700;
constexpr mode_t privateFile = 0600;
// Errors of a file system that has no hard links (FAT, some network and FUSE file systems).
bool MeansNoHardLinks(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK;
}

std::uint64_t MountKey(const EntryFacts& facts)
{
    return facts.mountId != 0 ? facts.mountId : facts.device;
}

// "name.2.ext" for "name.ext": the info file's Path tells the original name, but a file manager still
// shows what a name in the Trash is by its ending.
std::string NumberedName(const std::string& base, int number)
{
    const std::size_t dot = base.rfind('.');
    std::string suffix(1, '.');
    suffix += std::to_string(number);
    if (dot == std::string::npos || dot == 0)
        return base + suffix;
    return base.substr(0, dot) + suffix + base.substr(dot);
}

constexpr const char* notTheItem = "what stands in the Trash under its name is not the item that went there";
constexpr const char* unknownShape = "the journal names a folder that is no trash folder of this user";

} // namespace

std::optional<TrashFolderKind> KindOfTrashFolder(const TrashFolder& folder, const std::string& homeTrash,
                                                 std::uint32_t uid)
{
    if (folder.topFolder.empty())
        return folder.path == homeTrash && !homeTrash.empty() ? std::optional(TrashFolderKind::Home)
                                                              : std::nullopt;
    const std::string id = std::to_string(uid);
    if (folder.path == folder.topFolder + ".Trash/" + id + "/")
        return TrashFolderKind::SharedTop;
    if (folder.path == folder.topFolder + ".Trash-" + id + "/")
        return TrashFolderKind::UserTop;
    return std::nullopt;
}

TrashedIdentity TrashedIdentity::Of(const EntryFacts& facts)
{
    return {true,
            facts.device,
            facts.inode,
            facts.owner,
            facts.kind == EntryKind::Folder ? 0 : facts.size,
            facts.modifiedSeconds,
            facts.modifiedNanoseconds};
}

bool TrashedIdentity::Matches(const EntryFacts& facts) const
{
    return known && facts.kind != EntryKind::Missing && facts.device == device && facts.inode == inode &&
           facts.owner == owner && facts.modifiedSeconds == modifiedSeconds &&
           facts.modifiedNanoseconds == modifiedNanoseconds &&
           (facts.kind == EntryKind::Folder || facts.size == size);
}

std::string TrashedItem::InfoText() const
{
    return TrashInfoText(TrashInfoPathValue(realPath, folder.topFolder), deletionDate);
}

TrashCan::TrashCan(FileSystem& fileSystem, const UserPlaces& places, std::string rootAsGiven,
                   std::string rootResolved, WallClock clock)
    : fileSystem_(fileSystem), places_(places), rootAsGiven_(std::move(rootAsGiven)),
      rootResolved_(std::move(rootResolved)), clock_(clock)
{
}

std::string TrashCan::RealPathOf(const std::string& path) const
{
    if (path.starts_with(rootAsGiven_))
        return rootResolved_ + path.substr(rootAsGiven_.size());
    if (path + pathSeparator == rootAsGiven_)
        return WithoutTrailingSeparator(rootResolved_);
    return path;
}

const std::string& TrashCan::NowAsDate()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(clock_());
    if (now != dateSecond_) {
        dateSecond_ = now;
        date_ = TrashDeletionDate(now);
    }
    return date_;
}

std::optional<EntryFacts> TrashCan::HomeFacts()
{
    if (!homeFacts_) {
        // The trash may not exist yet: the mount that holds its nearest existing folder is the one it
        // will be made on.
        std::string probe = places_.homeTrash + "files";
        FsResult<EntryFacts> facts = fileSystem_.LookAt(probe);
        while (!facts && probe.size() > 1) {
            probe = WithoutTrailingSeparator(twinfol::FolderOf(probe));
            facts = fileSystem_.LookAt(probe);
        }
        homeFacts_ = places_.homeTrash.empty() ? std::nullopt : facts.ToOptional();
    }
    return *homeFacts_;
}

std::string TrashCan::TopOfVolume(const std::string& realFolder, const EntryFacts& facts)
{
    std::string top = WithTrailingSeparator(realFolder);
    while (top.size() > 1) {
        const std::string parent = twinfol::FolderOf(WithoutTrailingSeparator(top));
        const FsResult<EntryFacts> above = fileSystem_.LookAt(parent);
        if (!above || !above->SameMountAs(facts))
            break;
        top = parent;
    }
    return top;
}

TrashCan::Choice TrashCan::Locate(const EntryFacts& facts, const std::string& folder)
{
    if (const std::optional<EntryFacts> home = HomeFacts(); home && home->SameMountAs(facts))
        return {{}, {places_.homeTrash, {}}, TrashFolderKind::Home};
    const std::string top = TopOfVolume(RealPathOf(folder), facts);
    const std::string uid = std::to_string(places_.uid);
    // A .Trash an administrator made for everyone counts only with its sticky bit and as no link;
    // the user's own folder in it only when it is a real folder of the user.
    const FsResult<EntryFacts> shared = fileSystem_.LookAt(top + ".Trash");
    if (shared && shared->kind == EntryKind::Folder && (shared->mode & stickyBit) != 0) {
        const FsResult<EntryFacts> own = fileSystem_.LookAt(top + ".Trash/" + uid);
        if (!own || (own->kind == EntryKind::Folder && own->owner == places_.uid))
            return {{}, {top + ".Trash/" + uid + "/", top}, TrashFolderKind::SharedTop};
    }
    return {{}, {top + ".Trash-" + uid + "/", top}, TrashFolderKind::UserTop};
}

FsStatus TrashCan::Hold(const TrashFolder& folder, bool create)
{
    const std::lock_guard lock(mutex_);
    return HoldLocked(folder, create);
}

FsStatus TrashCan::HeldInPlace(const TrashFolder& folder, bool create)
{
    const std::lock_guard lock(mutex_);
    if (FsStatus held = HoldLocked(folder, create); !held)
        return held;
    return InPlace(folder);
}

TrashCan::Choice TrashCan::ReadyFor(const std::string& folder)
{
    const std::lock_guard lock(mutex_);
    Choice choice = ChooseFor(folder, true);
    if (choice.status)
        choice.status = InPlace(choice.folder);
    return choice;
}

FsStatus TrashCan::HoldLocked(const TrashFolder& folder, bool create)
{
    if (const auto found = held_.find(folder.path); found != held_.end())
        return found->second.first;
    const std::optional<TrashFolderKind> kind = KindOfTrashFolder(folder, places_.homeTrash, places_.uid);
    if (!kind)
        return held_.emplace(folder.path, std::pair{FsStatus::Refusal(EACCES, unknownShape), nullptr})
            .first->second.first;
    FsStatus status;
    // The home trash's parents are the user's own folders, made as any of them would be.
    if (create && *kind == TrashFolderKind::Home)
        status = fileSystem_.MakeFolders(FolderOf(WithoutTrailingSeparator(folder.path)), privateFolder);
    std::unique_ptr<TrashHold> hold;
    if (status)
        status =
            fileSystem_.OpenTrashFolder({folder.path, folder.topFolder, *kind, places_.uid, create}, hold);
    // A folder only looked for may be made by a later step of the run: its absence is not kept.
    if (!status && !create)
        return status;
    return held_.emplace(folder.path, std::pair{status, std::move(hold)}).first->second.first;
}

FsStatus TrashCan::InPlace(const TrashFolder& folder)
{
    const auto found = held_.find(folder.path);
    if (found == held_.end() || !found->second.first)
        return found == held_.end() ? FsStatus::Refusal(EACCES, unknownShape) : found->second.first;
    if (FsStatus still = found->second.second->StillInPlace(); !still) {
        // Never used again in this run, whatever stands there later.
        found->second.first = still;
        return still;
    }
    return {};
}

void TrashCan::Reidentify(TrashedItem& item, TrashWitness* witness)
{
    const FsResult<EntryFacts> now = fileSystem_.LookAt(item.FilesPath());
    if (!now || item.identity.Matches(*now))
        return;
    item.identity = TrashedIdentity::Of(*now);
    if (witness != nullptr)
        witness->MovedAs(item);
}

FsStatus TrashCan::Prepare(const Choice& choice)
{
    return HoldLocked(choice.folder, true);
}

const TrashCan::Choice& TrashCan::ChooseFor(const std::string& folder, bool prepare)
{
    static const Choice unreadable{FsStatus::Refusal(ENOENT, "the folder that holds it cannot be looked at"),
                                   {}};
    if (folder != lastFolder_ || lastKey_ == 0) {
        const FsResult<EntryFacts> facts = fileSystem_.LookAt(WithoutTrailingSeparator(folder));
        if (!facts)
            return unreadable;
        lastFolder_ = folder;
        lastKey_ = MountKey(*facts);
        if (!located_.contains(lastKey_))
            located_.emplace(lastKey_, Locate(*facts, folder));
    }
    Choice& choice = located_.at(lastKey_);
    if (prepare && choice.status && !prepared_.contains(lastKey_)) {
        prepared_.emplace(lastKey_, Choice{Prepare(choice), choice.folder, choice.kind});
    }
    return prepare && choice.status ? prepared_.at(lastKey_) : choice;
}

std::optional<TrashFolder> TrashCan::TrashFolderFor(const std::string& folder)
{
    const std::lock_guard lock(mutex_);
    const Choice& choice = ChooseFor(WithTrailingSeparator(folder), false);
    if (!choice.status)
        return std::nullopt;
    return choice.folder;
}

FsStatus TrashCan::Reserve(const TrashFolder& folder, const std::string& path, TrashedItem& item)
{
    const std::string base(BaseNameOf(path));
    item.folder = folder;
    item.realPath = RealPathOf(path);
    const std::string key = folder.path + base;
    {
        const std::lock_guard lock(mutex_);
        item.deletionDate = NowAsDate();
    }
    const std::string text = item.InfoText();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        // Each try takes a number no other try of this run takes; the info file's exclusive creation
        // settles the race with other programs.
        int number = 0;
        {
            const std::lock_guard lock(mutex_);
            number = nextNumber_[key]++;
        }
        item.name = number == 0 ? base : NumberedName(base, number + 1);
        const FsStatus created = fileSystem_.CreateNewFile(item.InfoPath(), text, privateFile);
        if (created || created.Error() != EEXIST)
            return created;
    }
    return FsStatus::Refusal(EEXIST, "no free name in the trash folder");
}

TrashResult TrashCan::Trash(const std::string& path, TrashedItem& item, TrashWitness* witness)
{
    const std::string itemPath = WithoutTrailingSeparator(path);
    const Choice choice = ReadyFor(twinfol::FolderOf(itemPath));
    if (!choice.status)
        return {choice.status};
    const FsResult<EntryFacts> facts = fileSystem_.LookAt(itemPath);
    if (!facts)
        return {facts.Status()};
    // A name in files/ without its info file (left by another program, say) makes the rename fail; the
    // next free name is tried then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (FsStatus reserved = Reserve(choice.folder, itemPath, item); !reserved)
            return {reserved};
        item.identity = TrashedIdentity::Of(*facts);
        if (witness != nullptr)
            witness->BeforeMove(item);
        const FsStatus moved = fileSystem_.MoveToTrash(itemPath, item.FilesPath());
        if (moved) {
            Reidentify(item, witness);
            return {moved};
        }
        if (witness != nullptr)
            witness->MoveUndone(item);
        (void)fileSystem_.DeleteFile(item.InfoPath());
        if (moved.Error() != EEXIST)
            return {moved, moved.IsRefusal()};
    }
    return {FsStatus::Refusal(EEXIST, "no free name in the trash folder")};
}

TrashResult TrashCan::KeepOldContent(const std::string& path, const std::string& source, TrashedItem& item,
                                     OldContent& how, TrashWitness* witness)
{
    const Choice choice = ReadyFor(twinfol::FolderOf(path));
    if (!choice.status)
        return {choice.status};
    const FsResult<EntryFacts> facts = fileSystem_.LookAt(path);
    if (!facts)
        return {facts.Status()};
    if (FsStatus reserved = Reserve(choice.folder, path, item); !reserved)
        return {reserved};
    item.identity = TrashedIdentity::Of(*facts);
    if (witness != nullptr)
        witness->BeforeMove(item);
    FsStatus kept = fileSystem_.LinkToTrash(path, item.FilesPath(), source);
    how = OldContent::Linked;
    if (!kept && !kept.IsRefusal() && MeansNoHardLinks(kept.Error())) {
        kept = fileSystem_.MoveToTrash(path, item.FilesPath());
        how = OldContent::Moved;
        if (kept)
            Reidentify(item, witness);
    }
    if (kept)
        return {kept};
    if (witness != nullptr)
        witness->MoveUndone(item);
    (void)fileSystem_.DeleteFile(item.InfoPath());
    return {kept, kept.IsRefusal()};
}

void TrashCan::GiveBack(const TrashedItem& item, const std::string& path, OldContent how,
                        TrashWitness* witness)
{
    if (how == OldContent::Moved) {
        if (Restore(item, path, ExistingEntry::Keep) && witness != nullptr)
            witness->MoveUndone(item);
        return;
    }
    // The second name goes only while the file at the path is still the one it names: should anything
    // else stand there now, the Trash keeps the old content.
    const FsResult<EntryFacts> inPlace = fileSystem_.LookAt(path);
    const FsResult<EntryFacts> kept = fileSystem_.LookAt(item.FilesPath());
    if (!inPlace || !kept || inPlace->inode != kept->inode || inPlace->device != kept->device)
        return;
    if (fileSystem_.DeleteFile(item.FilesPath())) {
        (void)fileSystem_.DeleteFile(item.InfoPath());
        if (witness != nullptr)
            witness->MoveUndone(item);
    }
}

FsStatus TrashCan::Restore(const TrashedItem& item, const std::string& path, ExistingEntry existing)
{
    if (FsStatus held = HeldInPlace(item.folder, false); !held)
        return held;
    const FsResult<EntryFacts> facts = fileSystem_.LookAt(item.FilesPath());
    if (!facts)
        return facts.Status();
    if (!item.identity.Matches(*facts))
        return FsStatus::Refusal(ESTALE, notTheItem);
    if (FsStatus moved =
            fileSystem_.MoveFromTrash(item.FilesPath(), WithoutTrailingSeparator(path), existing);
        !moved)
        return moved;
    (void)fileSystem_.DeleteFile(item.InfoPath());
    return {};
}

FsStatus TrashCan::StillAsLeft(const TrashedItem& item)
{
    if (FsStatus held = HeldInPlace(item.folder, false); !held)
        return held;
    std::string text;
    const std::string expected = item.InfoText();
    if (FsStatus read = fileSystem_.ReadFile(item.InfoPath(), expected.size() + 1, text); !read)
        return read;
    if (text != expected)
        return FsStatus::Refusal(ESTALE, "its info file in the Trash was changed");
    const FsResult<EntryFacts> facts = fileSystem_.LookAt(item.FilesPath());
    if (!facts)
        return facts.Status();
    if (!item.identity.Matches(*facts))
        return FsStatus::Refusal(ESTALE, notTheItem);
    return {};
}

} // namespace twinfol
