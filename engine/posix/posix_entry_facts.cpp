// One statx per look; the mount id is asked for but not required.
#include "engine/posix/posix_entry_facts.h"

#include <sys/sysmacros.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace twinfol {
namespace {

EntryKind KindFromStatxMode(unsigned mode)
{
    switch (mode & S_IFMT) {
    case S_IFREG: return EntryKind::File;
    case S_IFDIR: return EntryKind::Folder;
    case S_IFLNK: return EntryKind::Link;
    default: return EntryKind::Other;
    }
}

} // namespace

FsStatus LookAtEntry(int dirFd, const char* name, EntryFacts& facts)
{
    facts = {};
    struct statx info {};
    if (statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS | STATX_MNT_ID, &info) !=
        0)
        return FsStatus::Failure(errno);
    facts.kind = KindFromStatxMode(info.stx_mode);
    facts.mode = info.stx_mode & 07777u;
    facts.owner = info.stx_uid;
    facts.size = static_cast<std::int64_t>(info.stx_size);
    if (facts.kind == EntryKind::File) {
        // The same rule as IsReadOnlyFile: root ignores permission bits, so the program checks them.
        facts.readOnly = (info.stx_mode & 0222) == 0;
    }
    facts.modifiedSeconds = info.stx_mtime.tv_sec;
    facts.modifiedNanoseconds = info.stx_mtime.tv_nsec;
    facts.changedSeconds = info.stx_ctime.tv_sec;
    facts.changedNanoseconds = info.stx_ctime.tv_nsec;
    if ((info.stx_mask & STATX_MNT_ID) != 0)
        facts.mountId = info.stx_mnt_id;
    facts.device = makedev(info.stx_dev_major, info.stx_dev_minor);
    facts.inode = info.stx_ino;
    return {};
}

} // namespace twinfol
