// The rules by which a copy, a delete or a tree walk refuses what it finds in its way, decided from an
// entry's facts. The real layer applies them to the facts it reads through its open folders, the
// trial-run layer to the facts it looks up, so that both refuse the same things for the same reasons.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/fs/disk_kind.h"
#include "engine/fs/file_system.h"

namespace twinfol {

// A copy's source: a folder, or a special file (FIFO, socket, device), is never copied as a file.
FsStatus CheckCopySource(const EntryFacts& source);
// What stands at a copy's target: nothing, or a file or link to replace. A folder is never replaced,
// nor a read-only file under ReadOnlyTargets::Keep unless the source is a read-only file too: then the
// target's mode is the one an earlier copy carried over, not a person's protection.
FsStatus CheckCopyTarget(const EntryFacts& target, const EntryFacts& source, ReadOnlyTargets readOnly);
// A file or link to delete, or to move to the Trash: a folder is refused, and so is a read-only file
// under ReadOnlyTargets::Keep.
FsStatus CheckFileDelete(const EntryFacts& entry, ReadOnlyTargets readOnly);
// A file inside a folder that is to go to the Trash whole: the folder stays when a delete of the file
// would be refused for being read-only.
FsStatus CheckFileInTrashedFolder(const EntryFacts& file, ReadOnlyTargets readOnly);
// What stands where a folder is made: nothing, or a real folder to reuse. A file, or a link (even to
// a folder, which a tree copy would otherwise write through), is refused.
FsStatus CheckFolderPlace(const EntryFacts& existing);
// A folder about to be entered beneath a run's roots: a symbolic link that stands where the folder
// was is refused, never followed; anything else that is no folder fails as opening it as one would.
FsStatus CheckStillFolder(const EntryFacts& folder);
// A folder a tree delete is about to enter, with the facts of the folder that holds it: one on
// another mount (a file system mounted inside the tree, a bind mount included) is never entered.
// Mounts count only where both ids are known.
FsStatus CheckSameMount(const EntryFacts& folder, const EntryFacts& parent);

// The name of a new entry (a copy that adds, a folder made) on the target's disk: one the disk's
// rules forbid (engine/fs/windows_names.h) is refused with the reason, before anything is written.
// An entry already there under the name is no new entry and is never asked about.
FsStatus CheckNewName(std::string_view name, NameRules rules);

// The entries of one source folder that a copy onto a disk that does not tell upper and lower case
// apart (FAT, exFAT) cannot place beside another of them: every spelling after the first, in name
// order, of one name folded to one case. Each is refused with CaseTwinRefusal, so that the first
// spelling keeps its own content and nothing of a twin lands under its name. None on other disks.
std::set<std::string> LaterCaseTwins(const std::vector<std::string_view>& names, NameRules rules);
// A second spelling of a name already there, where the target folder does not tell case apart.
FsStatus CaseTwinRefusal();
// A copy of an entry of this kind onto the target's disk: a symbolic link on a disk that cannot hold
// one (FAT, exFAT) is refused with the reason, before anything is written.
FsStatus CheckNewKind(EntryKind kind, NameRules rules);
// Whether a failure means the connection to the disk is gone, so that a tree walk going on past
// failed entries stops instead of failing every entry left.
bool IsConnectionLoss(const FsStatus& failure);

// The refusals a layer also meets where the kernel decided, with no facts at hand (an open beneath a
// folder that refused a link or another mount): the same errno values and reasons as the rules'.
FsStatus LinkWhereFolderWasRefusal();
FsStatus MountedInsideRefusal();

} // namespace twinfol
