// The roots' disks, watched through the failures of a run.
#include "engine/walk/disk_watch.h"

#include <cerrno>

#include "base/path.h"

namespace twinfol {
namespace {

// What the system answers for an item on a disk or connection that is gone: a FUSE mount whose
// daemon died, a device that was removed, a network file system whose server went away, and the
// plain input/output error a pulled stick gives.
bool MayBeLostDisk(int error)
{
    switch (error) {
    case ENOTCONN:
    case ENODEV:
    case ENXIO:
    case EIO:
    case ESTALE:
    case ECONNABORTED:
    case ECONNRESET:
    case ETIMEDOUT:
    case EHOSTDOWN:
    case EHOSTUNREACH: return true;
    default: return false;
    }
}

} // namespace

DiskWatch::Root DiskWatch::Note(const std::string& root)
{
    Root noted;
    noted.path = WithoutTrailingSeparator(root);
    EntryFacts facts;
    if (fileSystem_.LookAt(root, facts) && facts.kind == EntryKind::Folder) {
        noted.device = facts.device;
        noted.inode = facts.inode;
        noted.known = true;
    }
    return noted;
}

void DiskWatch::BeginRun(const std::string& sourceRoot, const std::string& targetRoot)
{
    source_ = Note(sourceRoot);
    target_ = Note(targetRoot);
}

bool DiskWatch::IsLost(const Root& root)
{
    if (!root.known)
        return false;
    EntryFacts facts;
    const FsStatus looked = fileSystem_.LookAt(root.path + pathSeparator, facts);
    if (!looked)
        return MayBeLostDisk(looked.Error()) || looked.Error() == ENOENT;
    return facts.kind != EntryKind::Folder || facts.device != root.device || facts.inode != root.inode;
}

std::optional<std::string> DiskWatch::LostRoot(const FsStatus& failure)
{
    if (failure || !MayBeLostDisk(failure.Error()))
        return std::nullopt;
    for (const Root* root : {&source_, &target_})
        if (IsLost(*root))
            return root->path;
    return std::nullopt;
}

} // namespace twinfol
