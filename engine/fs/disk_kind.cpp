// Telling a file system's kind from its type name.
#include "engine/fs/disk_kind.h"

#include <algorithm>
#include <iterator>

namespace twinfol {
namespace {

struct NamedRules {
    std::string_view type;
    NameRules rules;
};

// The kernel's drivers, the FUSE drivers by their subtype, and what a superblock probe answers.
constexpr NamedRules windowsNameTypes[] = {
    {"vfat", NameRules::Fat},
    {"msdos", NameRules::Fat},
    {"fat", NameRules::Fat},
    {"umsdos", NameRules::Fat},
    {"fuse.fusefat", NameRules::Fat},
    {"fuse.vfat", NameRules::Fat},
    {"exfat", NameRules::Exfat},
    {"fuse.exfat", NameRules::Exfat},
    {"fuse.exfat-fuse", NameRules::Exfat},
    {"ntfs", NameRules::Ntfs},
    {"ntfs3", NameRules::Ntfs},
    {"fuse.ntfs-3g", NameRules::Ntfs},
    {"fuse.ntfs", NameRules::Ntfs},
    {"fuse.lowntfs-3g", NameRules::Ntfs},
};

// File systems whose calls travel over a network. FUSE file systems are all waited on through a
// server in user space and need no list; a FUSE block mount is a local disk's driver and counts as
// one.
constexpr std::string_view networkTypes[] = {
    "nfs",  "nfs4", "cifs",  "smb3",  "smbfs",  "9p",        "afs",
    "ceph", "coda", "davfs", "ncpfs", "lustre", "glusterfs",
};

} // namespace

DiskKind DiskKindOfType(std::string_view type)
{
    DiskKind kind;
    const auto named = std::find_if(std::begin(windowsNameTypes), std::end(windowsNameTypes),
                                    [&](const NamedRules& entry) { return entry.type == type; });
    if (named != std::end(windowsNameTypes))
        kind.names = named->rules;
    const bool fuse = type == "fuse" || type.starts_with("fuse.");
    kind.latencyBound =
        fuse || std::find(std::begin(networkTypes), std::end(networkTypes), type) != std::end(networkTypes);
    return kind;
}

std::string_view NameRulesLabel(NameRules rules)
{
    switch (rules) {
    case NameRules::Fat: return "FAT";
    case NameRules::Exfat: return "exFAT";
    case NameRules::Ntfs: return "NTFS";
    case NameRules::Posix: break;
    }
    return {};
}

} // namespace twinfol
