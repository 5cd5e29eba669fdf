// The one table of errors that mean "this file system cannot hold that": a mode, an owner or an
// attribute that the target refuses this way is left out of a copy, not taken for a failed copy. Every
// metadata step of the file-system layer asks here.
#pragma once

#include <cerrno>

namespace twinfol {

// ENOSYS and EOPNOTSUPP (ENOTSUP is the same value on Linux) come from file systems that know no
// such thing, FAT through FUSE among them; EPERM from those that refuse it for every file alike.
constexpr bool IsUnsupportedMetadataError(int error)
{
    return error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
}

} // namespace twinfol
