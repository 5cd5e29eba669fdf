// What the POSIX layer reads from a stat record: an entry's kind, the read-only rule and whether
// letting go of a file frees data.
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

// Whether letting go of a file's last name would free data on the disk, which is what can be slow.
inline bool HoldsData(const struct stat& info)
{
    return S_ISREG(info.st_mode) && info.st_blocks > 0;
}

} // namespace twinfol
