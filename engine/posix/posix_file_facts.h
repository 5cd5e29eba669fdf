// What the POSIX layer reads from a stat record: an entry's kind, the read-only rule, the facts the
// refusal rules decide from, and whether letting go of a file frees data.
#pragma once

#include <sys/stat.h>

#include "engine/fs/file_system.h"

namespace twinfol {

inline EntryKind KindFromMode(mode_t mode)
{
    if (S_ISREG(mode))
        return EntryKind::File;
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    if (S_ISLNK(mode))
        return EntryKind::Link;
    return EntryKind::Other;
}

// A file without any write permission bit is read-only. Root ignores permission bits, so the rule is
// checked by the program rather than left to the kernel.
inline bool IsReadOnlyFile(const struct stat& info)
{
    return S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0;
}

// The facts a stat record tells, for the refusal rules: everything but the mount id, which only
// statx gives.
inline EntryFacts FactsFromStat(const struct stat& info)
{
    EntryFacts facts;
    facts.kind = KindFromMode(info.st_mode);
    facts.mode = static_cast<std::uint32_t>(info.st_mode & 07777);
    facts.owner = info.st_uid;
    facts.size = static_cast<std::int64_t>(info.st_size);
    facts.readOnly = IsReadOnlyFile(info);
    facts.modifiedSeconds = info.st_mtim.tv_sec;
    facts.modifiedNanoseconds = static_cast<std::uint32_t>(info.st_mtim.tv_nsec);
    facts.changedSeconds = info.st_ctim.tv_sec;
    facts.changedNanoseconds = static_cast<std::uint32_t>(info.st_ctim.tv_nsec);
    facts.device = info.st_dev;
    facts.inode = info.st_ino;
    return facts;
}

// Whether letting go of a file's last name would free data on the disk, which is what can be slow.
inline bool HoldsData(const struct stat& info)
{
    return S_ISREG(info.st_mode) && info.st_blocks > 0;
}

} // namespace twinfol
