// The POSIX layer's moves into and out of a trash folder and its small writes for the Trash and the
// run journals: every one a single rename, link or exclusive create relative to open folders.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/fs/file_system.h"
#include "engine/posix/posix_path_resolver.h"

namespace twinfol {

// What FileSystem::CreateNewFile, AppendFile, CreateAppendOnlyFile, MoveToTrash, LinkToTrash and
// MoveFromTrash promise.
FsStatus CreateNewFileAt(const PosixPathResolver& resolver, const std::string& path, std::string_view content,
                         mode_t mode);
FsStatus AppendFileAt(const PosixPathResolver& resolver, const std::string& path, std::string_view content,
                      mode_t newFileMode);
FsStatus CreateAppendOnlyFileAt(const PosixPathResolver& resolver, const std::string& path,
                                std::string_view content, mode_t mode, std::unique_ptr<AppendOnlyFile>& file);
FsStatus MoveIntoTrash(const PosixPathResolver& resolver, const std::string& path,
                       const std::string& trashPath);
FsStatus LinkIntoTrash(const PosixPathResolver& resolver, const std::string& path,
                       const std::string& trashPath, const std::string& source);
FsStatus MoveOutOfTrash(const PosixPathResolver& resolver, const std::string& trashPath,
                        const std::string& path, ExistingEntry existing);

} // namespace twinfol
