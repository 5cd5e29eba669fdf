// Tree copies and deletes through whole paths, built on a layer's single-entry operations: the tree
// walks every layer gets by default. A layer that walks trees through open folders goes on with this
// below the depth where it stops holding folders open, so that a very deep tree cannot use up the
// process's descriptors, and the trial-run layer walks with it over its own pretended changes.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

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

    // The naming rules of the target's disk, which the copy's refusals follow; Posix unless set.
    void KeepNamesOf(NameRules rules) { names_ = rules; }

    // What FileSystem::CopyFolderTree does, entry for entry and in the same order.
    FsStatus Copy(const std::string& sourceFolder, const std::string& targetFolder);
    // The same for a sub-folder of a tree copy that walks on here: answers only the failure of the
    // folder itself; the entries left out are told to the progress and answered by FirstNotCopied.
    // intoNew tells whether the folder that holds it was made by the copy.
    FsStatus CopyFolder(const std::string& sourceFolder, const std::string& targetFolder, bool intoNew);
    // The first entry a copy left out, or success.
    const FsStatus& FirstNotCopied() const { return firstNotCopied_; }
    // Whether a failure ended the copy because the connection to a disk is gone.
    bool ConnectionLost() const { return connectionLost_; }
    // What FileSystem::DeleteFolderTree does, entry for entry and in the same order. The folder itself
    // is not checked here: a caller that has not opened it yet checks it as it checks the sub-folders.
    FsStatus Delete(const std::string& folder);

private:
    FsStatus CopyEntries(const std::string& sourceFolder, const std::string& targetFolder, bool intoNew);
    FsStatus CopyEntry(std::string from, std::string to, EntryKind kind, bool intoNew);
    void NotCopied(const std::string& from, const std::string& to, const FsStatus& why);
    FsStatus Step(WalkStep step, const std::string& path, const std::string& secondPath = {});

    FileSystem& fileSystem_;
    WalkHook* hook_;
    const StopFlag& stop_;
    EnterCheck mayEnter_;
    MadeFolderStep onMadeFolder_;
    CopyProgress* progress_;
    NameRules names_ = NameRules::Posix;
    FsStatus firstNotCopied_;
    bool connectionLost_ = false;
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
