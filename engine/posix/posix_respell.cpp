// A rename in two steps through a temporary name: a folder that folds case takes a direct rename
// between two spellings of one name as a rename onto itself and may keep the old spelling.
#include "engine/posix/posix_respell.h"

#include <cerrno>

#include "base/temporary_name.h"
#include "engine/posix/posix_placement.h"

namespace twinfol {
namespace {

// Renames without replacing anything. Where the file system has no no-replace rename (FUSE file
// systems such as exFAT's), the name is looked at just before a plain rename: only another writer in
// the same folder, in that moment, could still be overwritten. Answers 0 or an errno value.
int MoveToFreeName(int dirFd, const std::string& from, const std::string& to)
{
    return RenameWithoutReplacing(dirFd, from.c_str(), dirFd, to.c_str());
}

} // namespace

FsStatus RespellEntry(const PosixPathResolver& resolver, const std::string& path, const std::string& newName)
{
    if (newName.empty() || newName.find(pathSeparator) != std::string::npos)
        return FsStatus::Failure(EINVAL);
    const PosixLocation place = resolver.Locate(path);
    if (!place.status)
        return place.status;
    const std::string folder = place.Folder();
    const std::string newPath = folder + newName;
    std::string temporaryPath;
    const FsStatus parked = CreateUnderTemporaryName(
        folder,
        [&](const std::string& candidate) { return MoveToFreeName(place.dirFd, place.name, candidate); },
        temporaryPath);
    if (!parked)
        return parked;
    if (const int error = MoveToFreeName(place.dirFd, temporaryPath, newPath); error != 0) {
        // The entry goes back to its old name; nothing is ever replaced on the way back either.
        MoveToFreeName(place.dirFd, temporaryPath, place.name);
        return FsStatus::Failure(error);
    }
    return {};
}

} // namespace twinfol
