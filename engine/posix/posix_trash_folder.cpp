// The trash folder's checks and its hold. Every step goes from an open folder to a name in it with
// O_NOFOLLOW, and every check is made on the opened folder itself (fstat), never again by path.
#include "engine/posix/posix_trash_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "base/path.h"

namespace twinfol {
namespace {

constexpr mode_t privateFolder = 0700;

constexpr const char* notRealFolder = "a part of the trash folder is a symbolic link or not a folder";
constexpr const char* notUsersOwn = "the trash folder belongs to another user";
constexpr const char* othersMayEnter = "other users may enter the trash folder (its mode is not 700)";
constexpr const char* noStickyBit = "the volume's .Trash folder has no sticky bit";
constexpr const char* otherVolume =
    "the trash folder lies on another volume than the top it was looked for at";
constexpr const char* replaced = "the trash folder was replaced while the run used it";

// File systems that keep no owners or modes of their own: every folder shows the mount's.
bool KeepsNoOwners(int fd)
{
    struct statfs info {};
    if (fstatfs(fd, &info) != 0)
        return false;
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0x4d44UL:     // FAT
    case 0x2011bab0UL: // exFAT
    case 0x5346544eUL: // NTFS
    case 0x7366746eUL: // NTFS (ntfs3)
    case 0x65735546UL: // FUSE: exfat-fuse, ntfs-3g, fusefat
        return true;
    default: return false;
    }
}

// Opens the folder of that name beneath the parent (made first, mode 700, when asked and missing),
// refusing a symbolic link and anything that is not a folder.
FsStatus OpenPart(int parent, const char* name, bool create, UniqueFd& opened)
{
    if (create && mkdirat(parent, name, privateFolder) != 0 && errno != EEXIST)
        return FsStatus::Failure(errno);
    opened.Reset(openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (opened)
        return {};
    if (errno == ELOOP || errno == ENOTDIR)
        return FsStatus::Refusal(errno, notRealFolder);
    return FsStatus::Failure(errno);
}

// The rules of the user's own trash folder, read from the opened folder.
FsStatus CheckOwnFolder(int fd, const TrashFolderRequest& request, bool privateMode)
{
    struct stat info {};
    if (fstat(fd, &info) != 0)
        return FsStatus::Failure(errno);
    if (info.st_uid != request.uid)
        return FsStatus::Refusal(EACCES, notUsersOwn);
    if (privateMode && (info.st_mode & 077) != 0 && !KeepsNoOwners(fd))
        return FsStatus::Refusal(EACCES, othersMayEnter);
    return {};
}

bool SameEntry(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

class PosixTrashHold : public TrashHold {
public:
    PosixTrashHold(UniqueFd parent, std::string name, struct stat identity,
                   std::vector<std::unique_ptr<RunScope>> held)
        : parent_(std::move(parent)), name_(std::move(name)), identity_(identity), held_(std::move(held))
    {
    }

    FsStatus StillInPlace() const override
    {
        struct stat now {};
        if (fstatat(parent_.Get(), name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
            !SameEntry(now, identity_))
            return FsStatus::Refusal(ESTALE, replaced);
        return {};
    }

private:
    UniqueFd parent_;
    std::string name_;
    struct stat identity_;
    std::vector<std::unique_ptr<RunScope>> held_;
};

// The folder that holds the trash folder (the volume's top, or ".Trash" there, or the home trash's
// parent), and the trash folder's name in it.
FsStatus OpenHolder(const TrashFolderRequest& request, UniqueFd& holder, std::string& name)
{
    const std::string path = WithoutTrailingSeparator(request.path);
    name = std::string(BaseNameOf(path));
    // The top of a volume, and the home trash's parent, are the user's own choice of places: their
    // paths are followed as given, like a run's roots.
    const std::string parent = request.kind == TrashFolderKind::Home ? FolderOf(path) : request.top;
    holder.Reset(open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!holder)
        return FsStatus::Failure(errno);
    if (request.kind != TrashFolderKind::SharedTop)
        return {};
    UniqueFd shared;
    if (FsStatus opened = OpenPart(holder.Get(), ".Trash", false, shared); !opened)
        return opened;
    struct stat info {};
    if (fstat(shared.Get(), &info) != 0)
        return FsStatus::Failure(errno);
    if ((info.st_mode & S_ISVTX) == 0)
        return FsStatus::Refusal(EACCES, noStickyBit);
    holder = std::move(shared);
    return {};
}

} // namespace

FsStatus OpenCheckedTrashFolder(PosixPathResolver& resolver, const TrashFolderRequest& request,
                                std::unique_ptr<TrashHold>& hold)
{
    hold.reset();
    UniqueFd holder;
    std::string name;
    if (FsStatus found = OpenHolder(request, holder, name); !found)
        return found;
    UniqueFd trash;
    if (FsStatus opened = OpenPart(holder.Get(), name.c_str(), request.create, trash); !opened)
        return opened;
    if (FsStatus own = CheckOwnFolder(trash.Get(), request, request.kind != TrashFolderKind::Home); !own)
        return own;
    struct stat identity {};
    struct stat top {};
    if (fstat(trash.Get(), &identity) != 0 || fstat(holder.Get(), &top) != 0)
        return FsStatus::Failure(errno);
    if (request.kind != TrashFolderKind::Home && identity.st_dev != top.st_dev)
        return FsStatus::Refusal(EXDEV, otherVolume);
    std::vector<std::unique_ptr<RunScope>> held;
    for (const char* part : {"files", "info"}) {
        UniqueFd opened;
        if (FsStatus made = OpenPart(trash.Get(), part, request.create, opened); !made)
            return made;
        if (FsStatus own = CheckOwnFolder(opened.Get(), request, false); !own)
            return own;
        held.push_back(resolver.HoldFolder(request.path + part + pathSeparator,
                                           std::make_shared<const UniqueFd>(std::move(opened))));
    }
    held.push_back(resolver.HoldFolder(request.path, std::make_shared<const UniqueFd>(std::move(trash))));
    hold = std::make_unique<PosixTrashHold>(std::move(holder), std::move(name), identity, std::move(held));
    return {};
}

} // namespace twinfol
