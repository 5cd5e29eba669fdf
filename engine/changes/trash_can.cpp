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

} // namespace

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
        return {{}, {places_.homeTrash, {}}};
    const std::string top = TopOfVolume(RealPathOf(folder), facts);
    const std::string uid = std::to_string(places_.uid);
    // A .Trash an administrator made for everyone counts only with its sticky bit and as no link;
    // the user's own folder in it only when it is a real folder of the user.
    const FsResult<EntryFacts> shared = fileSystem_.LookAt(top + ".Trash");
    if (shared && shared->kind == EntryKind::Folder && (shared->mode & stickyBit) != 0) {
        const FsResult<EntryFacts> own = fileSystem_.LookAt(top + ".Trash/" + uid);
        if (!own || (own->kind == EntryKind::Folder && own->owner == places_.uid))
            return {{}, {top + ".Trash/" + uid + "/", top}};
    }
    return {{}, {top + ".Trash-" + uid + "/", top}};
}

FsStatus TrashCan::PrepareVolumeFolder(const std::string& trashPath)
{
    if (FsStatus made = fileSystem_.MakeFolders(trashPath, privateFolder); !made)
        return made;
    // Nothing there after a successful make happens only in a trial run, where nothing is made.
    const FsResult<EntryFacts> facts = fileSystem_.LookAt(WithoutTrailingSeparator(trashPath));
    if (facts && (facts->kind != EntryKind::Folder || facts->owner != places_.uid))
        return FsStatus::Refusal(EACCES, "the volume's trash folder is not a folder of this user");
    return {};
}

FsStatus TrashCan::Prepare(const TrashFolder& folder)
{
    if (!folder.topFolder.empty())
        if (FsStatus own = PrepareVolumeFolder(folder.path); !own)
            return own;
    for (const char* part : {"files", "info"}) {
        const std::string path = folder.path + part;
        if (FsStatus made = fileSystem_.MakeFolders(path + pathSeparator, privateFolder); !made)
            return made;
        const FsResult<EntryFacts> facts = fileSystem_.LookAt(path);
        if (!folder.topFolder.empty() && facts && facts->kind != EntryKind::Folder)
            return FsStatus::Refusal(EACCES, "a part of the volume's trash folder is not a folder");
    }
    return {};
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
        prepared_.emplace(lastKey_, Choice{Prepare(choice.folder), choice.folder});
    }
    return prepare && choice.status ? prepared_.at(lastKey_) : choice;
}

std::optional<TrashFolder> TrashCan::TrashFolderFor(const std::string& folder)
{
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
    item.deletionDate = NowAsDate();
    const std::string text = item.InfoText();
    int& next = nextNumber_[folder.path + base];
    for (int attempt = 0; attempt < 1000; ++attempt, ++next) {
        item.name = next == 0 ? base : NumberedName(base, next + 1);
        const FsStatus created = fileSystem_.CreateNewFile(item.InfoPath(), text, privateFile);
        if (created) {
            ++next;
            return created;
        }
        if (created.Error() != EEXIST)
            return created;
    }
    return FsStatus::Refusal(EEXIST, "no free name in the trash folder");
}

TrashResult TrashCan::Trash(const std::string& path, TrashedItem& item)
{
    const std::string itemPath = WithoutTrailingSeparator(path);
    const Choice& choice = ChooseFor(twinfol::FolderOf(itemPath), true);
    if (!choice.status)
        return {choice.status};
    // A name in files/ without its info file (left by another program, say) makes the rename fail; the
    // next free name is tried then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (FsStatus reserved = Reserve(choice.folder, itemPath, item); !reserved)
            return {reserved};
        const FsStatus moved = fileSystem_.MoveToTrash(itemPath, item.FilesPath());
        if (moved)
            return {moved};
        (void)fileSystem_.DeleteFile(item.InfoPath());
        if (moved.Error() != EEXIST)
            return {moved, moved.IsRefusal()};
    }
    return {FsStatus::Refusal(EEXIST, "no free name in the trash folder")};
}

TrashResult TrashCan::KeepOldContent(const std::string& path, TrashedItem& item, OldContent& how)
{
    const Choice& choice = ChooseFor(twinfol::FolderOf(path), true);
    if (!choice.status)
        return {choice.status};
    if (FsStatus reserved = Reserve(choice.folder, path, item); !reserved)
        return {reserved};
    FsStatus kept = fileSystem_.LinkToTrash(path, item.FilesPath());
    how = OldContent::Linked;
    if (!kept && !kept.IsRefusal() && MeansNoHardLinks(kept.Error())) {
        kept = fileSystem_.MoveToTrash(path, item.FilesPath());
        how = OldContent::Moved;
    }
    if (kept)
        return {kept};
    (void)fileSystem_.DeleteFile(item.InfoPath());
    return {kept, kept.IsRefusal()};
}

void TrashCan::GiveBack(const TrashedItem& item, const std::string& path, OldContent how)
{
    if (how == OldContent::Moved) {
        (void)Restore(item, path, ExistingEntry::Keep);
        return;
    }
    // The second name goes only while the file at the path is still the one it names: should anything
    // else stand there now, the Trash keeps the old content.
    const FsResult<EntryFacts> inPlace = fileSystem_.LookAt(path);
    const FsResult<EntryFacts> kept = fileSystem_.LookAt(item.FilesPath());
    if (!inPlace || !kept || inPlace->inode != kept->inode || inPlace->device != kept->device)
        return;
    if (fileSystem_.DeleteFile(item.FilesPath()))
        (void)fileSystem_.DeleteFile(item.InfoPath());
}

FsStatus TrashCan::Restore(const TrashedItem& item, const std::string& path, ExistingEntry existing)
{
    if (FsStatus moved =
            fileSystem_.MoveFromTrash(item.FilesPath(), WithoutTrailingSeparator(path), existing);
        !moved)
        return moved;
    (void)fileSystem_.DeleteFile(item.InfoPath());
    return {};
}

bool TrashCan::StillAsLeft(FileSystem& fileSystem, const TrashedItem& item)
{
    std::string text;
    const std::string expected = item.InfoText();
    if (!fileSystem.ReadFile(item.InfoPath(), expected.size() + 1, text) || text != expected)
        return false;
    return fileSystem.LookAt(item.FilesPath()).IsOk();
}

} // namespace twinfol
