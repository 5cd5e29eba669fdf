// One statx per look; the mount id is asked for but not required.
#include "engine/posix_entry_facts.h"

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
    if (statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
              STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MNT_ID, &info) != 0)
        return FsStatus::Failure(errno);
    facts.kind = KindFromStatxMode(info.stx_mode);
    if (facts.kind == EntryKind::File) {
        facts.size = info.stx_size;
        // The same rule as IsReadOnlyFile: root ignores permission bits, so the program checks them.
        facts.readOnly = (info.stx_mode & 0222) == 0;
    }
    if ((info.stx_mask & STATX_MNT_ID) != 0)
        facts.mountId = info.stx_mnt_id;
    return {};
}

} // namespace twinfol
