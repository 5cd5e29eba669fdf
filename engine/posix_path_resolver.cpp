// Path resolution of the POSIX layer: today relative to the working folder, paths as given.
#include "engine/posix_path_resolver.h"

namespace twinfol {

PosixLocation PosixPathResolver::Locate(const std::string& path) const
{
    PosixLocation location;
    location.name = WithoutTrailingSeparator(path);
    return location;
}

UniqueFd PosixPathResolver::OpenFolder(const std::string& folder, FinalLink finalLink) const
{
    if (finalLink == FinalLink::Follow)
        return UniqueFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // A trailing separator would make the kernel follow the link after all.
    return UniqueFd(
        open(WithoutTrailingSeparator(folder).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

} // namespace twinfol
