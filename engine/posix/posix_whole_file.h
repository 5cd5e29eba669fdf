// Whole-file work of the POSIX layer for profiles and settings: reading a file, replacing it
// atomically, making the folders above it, and locking it against other processes.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "engine/fs/file_system.h"
#include "engine/posix/posix_path_resolver.h"

namespace twinfol {

// What FileSystem::ReadFile, ReplaceFile, MakeFolders and LockFile promise.
FsStatus ReadWholeFile(const PosixPathResolver& resolver, const std::string& path, std::size_t maxBytes,
                       std::string& bytes);
FsStatus ReplaceWholeFile(const PosixPathResolver& resolver, const std::string& path,
                          std::string_view content, mode_t newFileMode);
FsStatus MakeFolderPath(const PosixPathResolver& resolver, const std::string& folder, mode_t mode);
FsStatus LockWholeFile(const PosixPathResolver& resolver, const std::string& path,
                       std::unique_ptr<FileLock>& lock);

} // namespace twinfol
