// Tree copies and deletes through whole paths, built on a layer's single-entry operations: the tree
// walks every layer gets by default. A layer that walks trees through open folders goes on with this
// below the depth where it stops holding folders open, so that a very deep tree cannot use up the
// process's descriptors, and the trial-run layer walks with it over its own pretended changes.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>

#include "engine/fs/file_system.h"
#include "engine/fs/walk_hook.h"

namespace twinfol {

class PathTreeWalk {
public:
    // Asked before a delete enters a sub-folder (its path ends with the separator); a failure ends
    // the walk as a failure of the folder's own would.
    using EnterCheck = std::function<FsStatus(const std::string& folder)>;
    // Told about each folder a copy makes (not one it finds there): with made true once it is made,
    // with made false once its content is in place or its copy ended early. A failure ends the walk
    // as a failure of the folder's own would.
    using MadeFolderStep =
        std::function<FsStatus(const std::string& sourceFolder, const std::string& targetFolder, bool made)>;

    // Every step is reported to the hook first, when there is one; progress, when given, hears of every
    // file a copy copies.
    PathTreeWalk(FileSystem& fileSystem, WalkHook* hook, const StopFlag& stop, EnterCheck mayEnter = {},
                 MadeFolderStep onMadeFolder = {}, CopyProgress* progress = nullptr);

    // What FileSystem::CopyFolderTree does, entry for entry and in the same order.
    FsStatus Copy(const std::string& sourceFolder, const std::string& targetFolder);
    // What FileSystem::DeleteFolderTree does, entry for entry and in the same order. The folder itself
    // is not checked here: a caller that has not opened it yet checks it as it checks the sub-folders.
    FsStatus Delete(const std::string& folder);

private:
    FsStatus CopyEntries(const std::string& sourceFolder, const std::string& targetFolder);
    FsStatus Step(WalkStep step, const std::string& path, const std::string& secondPath = {});

    FileSystem& fileSystem_;
    WalkHook* hook_;
    const StopFlag& stop_;
    EnterCheck mayEnter_;
    MadeFolderStep onMadeFolder_;
    CopyProgress* progress_;
};

// The check a tree delete makes before it enters a folder, decided by the refusal rules from what the
// layer's LookAt tells of the folder (it must still be one, not a link in its place) and of the folder
// that holds it (the same mount): the check of a layer that cannot open folders itself. One check
// serves one tree delete, and remembers the facts of the folders it let the walk enter, so that each
// folder is looked at once.
class FolderEntryCheck {
public:
    explicit FolderEntryCheck(FileSystem& fileSystem) : fileSystem_(fileSystem) {}

    FsStatus operator()(const std::string& folder);

private:
    FileSystem& fileSystem_;
    // By path without the trailing separator.
    std::unordered_map<std::string, EntryFacts> entered_;
};

} // namespace twinfol
