// What kind of disk a folder lies on, as far as a run's choices go: which names it can hold, and
// whether each of its calls waits on a network or a server of its own, so that more workers help.
#pragma once

#include <string_view>

namespace twinfol {

// Whose naming rules a file system keeps. FAT, exFAT and NTFS keep Windows' rules, also when Linux
// reaches them through FUSE.
enum class NameRules { Posix, Fat, Exfat, Ntfs };

struct DiskKind {
    NameRules names = NameRules::Posix;
    // A file system reached over a network, or through a server in user space (FUSE), where each call
    // waits on a round trip rather than on the processor.
    bool latencyBound = false;

    friend bool operator==(const DiskKind&, const DiskKind&) = default;
};

// The kind of a file system by the type the mount table gives ("vfat", "fuse.sshfs", "nfs4") or, for
// a FUSE block mount ("fuseblk"), the type its superblock shows ("exfat", "ntfs"). An unknown type is
// a plain local disk.
DiskKind DiskKindOfType(std::string_view type);

// The name of the file system a person knows from the disk's label: "FAT", "exFAT" or "NTFS"; empty
// for Posix.
std::string_view NameRulesLabel(NameRules rules);

} // namespace twinfol
