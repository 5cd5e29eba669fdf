// One tree copy of the POSIX layer: every name is opened relative to its open folder instead of
// through its whole path, the files of a folder the copy has made are prepared a few ahead, and each
// folder it made gets its source's metadata once its content is in place.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/posix/posix_listing.h"
#include "engine/posix/posix_run_state.h"
#include "engine/posix/posix_walk_context.h"

namespace twinfol {

class FlushedAhead;

class PosixTreeCopy {
public:
    PosixTreeCopy(const PosixWalkContext& context, const StopFlag& stop);

    // What FileSystem::CopyFolderTree promises.
    FsStatus Run(const std::string& sourceFolder, const std::string& targetFolder);

private:
    // One level: the open folders, whether the target folder was made by this copy, their paths, what
    // a create gives there (see Destination), who owns what is created there, and the depth.
    struct Level {
        int sourceFd;
        int targetFd;
        bool targetIsNew;
        const std::string& sourceFolder;
        const std::string& targetFolder;
        std::optional<mode_t> createMask;
        NewEntryOwner created;
        int depth;
    };
    // A target folder to make (or find) in its open parent, for an open source folder.
    struct FolderPair {
        int sourceFd;
        int targetParentFd;
        const char* targetName;
        const std::string& sourceFolder;
        const std::string& targetFolder;
    };

    // Makes or finds the target folder, copies the source's entries into it, and finishes a folder it
    // made, also when the copy of its content failed or was stopped. Answers the failure of the
    // folder itself; its entries left out are told on their own.
    FsStatus CopyFolder(const FolderPair& pair, const Level* parent);
    // Refuses a folder still to be made under a name the target's disk cannot hold.
    FsStatus CheckFolderName(const FolderPair& pair) const;
    FsStatus CopySubTree(const Level& parent, const std::string& name);
    FsStatus CopyLevel(const Level& level);
    // Copies a run of listed entries (no folder among them) in order, each one it cannot copy told and
    // left out, answering whether the stop request ended it.
    bool CopyFileRun(const Level& level, const std::vector<ListedEntry>& entries);
    // Tells of an entry left out, and notes the first and whether the connection to a disk is gone.
    void NotCopied(const std::string& from, const std::string& to, const FsStatus& why);
    // Copies one entry of a run of files: its step, its prepared file (taken in turn from ahead, when
    // files are prepared ahead) and the copy. The preparation's outcome is read only once taken.
    FsStatus CopyRunEntry(const Level& level, const ListedEntry& entry, FlushedAhead* ahead,
                          std::size_t index, const FsStatus& preparedFailure,
                          const std::uint64_t& preparedSize);
    // Gives a prepared file its name, or copies the entry from the start when it was not prepared.
    // A copy made here tells the progress itself; for a prepared one this tells of its size.
    FsStatus CopyOneFile(const Level& level, const ListedEntry& entry, UniqueFd prepared,
                         std::uint64_t preparedSize);
    // How one entry's copy names its inner steps to the hook; nothing is built without one.
    CopySteps StepsOf(const Level& level, const std::string& name) const;
    bool IsStopped() const { return stop_.load(std::memory_order_relaxed); }
    // Whether the files filled ahead tell the progress of their data as they are filled.
    bool TellsAhead() const;
    // Tells the progress that a stop ended the copy, when it left entries uncopied.
    void TellIfCutShort(bool entriesLeft);

    const PosixWalkContext& context_;
    const StopFlag& stop_;
    // Read once per tree copy: the umask may differ from one copy to the next.
    std::optional<mode_t> umask_;
    // The run's state, or one of the copy's own outside a run.
    std::shared_ptr<PosixRunState> run_;
    // The first entry left out, or success.
    FsStatus firstNotCopied_;
    // Whether a failure meant the connection to a disk is gone: the copy then ends.
    bool connectionLost_ = false;
};

} // namespace twinfol
