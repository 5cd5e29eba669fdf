// Which folders the walk treats as trash folders: never listed, counted, copied or deleted, like the
// copy's own temporary files. The rule is narrow, so that a person's own folder of such a name deep in
// a tree stays theirs: a folder named ".Trash" or ".Trash-" followed by digits only counts when the
// folder that holds it is the top of a mounted volume, where every desktop puts them; and the home
// trash counts wherever a tree holds it.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "engine/fs/file_system.h"

namespace twinfol {

class TrashFolderFilter {
public:
    // Until a home trash is set, only the volumes' trash folders are recognised.
    explicit TrashFolderFilter(FileSystem& fileSystem) : fileSystem_(fileSystem) {}

    void SetHomeTrash(std::string homeTrash)
    {
        homeTrash_ = std::move(homeTrash);
        homeTrashResolved_.reset();
    }

    // Whether the sub-folder of that name in the folder (ending with the separator) is a trash folder.
    // Costs nothing for any other name. May be asked from several threads at once.
    bool IsTrashFolder(const std::string& folder, std::string_view name);

private:
    bool IsVolumeTop(const std::string& folder);
    bool IsHomeTrash(const std::string& path);

    FileSystem& fileSystem_;
    std::string homeTrash_;
    std::optional<std::string> homeTrashResolved_;
    // The last folder asked about, with its answer: both trash names often stand in one folder.
    std::string lastFolder_;
    bool lastWasTop_ = false;
    std::mutex mutex_;
};

// Whether the name has the shape of a volume's trash folder: ".Trash" or ".Trash-" and digits.
bool IsTrashFolderName(std::string_view name);

} // namespace twinfol
