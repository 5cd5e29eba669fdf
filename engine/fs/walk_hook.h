// A hook into the tree walks a layer does itself. Tests install one to fail or hold single steps deep
// inside the real layer's walks; without a hook a walk pays one pointer test per step.
#pragma once

#include <string>

#include "engine/fs/fs_status.h"

namespace twinfol {

// The steps of a tree walk, named after the operations of the file-system layer they stand for.
// CopyTree and DeleteTree mark the start of each sub-folder's level. Two steps lie inside one file's
// copy (of a walk, or a single one): SourceRead once its data has been read, before the source is
// looked at again, and SetMode before the copy is given its mode.
enum class WalkStep {
    CopyTree,
    DeleteTree,
    List,
    MakeFolder,
    CopyFile,
    DeleteFile,
    RemoveFolder,
    SourceRead,
    SetMode
};

class WalkHook {
public:
    virtual ~WalkHook() = default;
    // Called before the step with its whole paths (for a copy the source, then the target; a folder
    // with its trailing separator). A failure answered here is the step's outcome, and the step is
    // not done. A hook may also wait before it answers.
    virtual FsStatus BeforeStep(WalkStep step, const std::string& path, const std::string& secondPath) = 0;
};

} // namespace twinfol
