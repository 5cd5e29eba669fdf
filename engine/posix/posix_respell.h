// Giving an entry another spelling of its name where the folder may not tell spellings apart.
#pragma once

#include <string>

#include "engine/fs/fs_status.h"
#include "engine/posix/posix_path_resolver.h"

namespace twinfol {

// What FileSystem::Respell does, for the POSIX layer.
FsStatus RespellEntry(const PosixPathResolver& resolver, const std::string& path, const std::string& newName);

} // namespace twinfol
