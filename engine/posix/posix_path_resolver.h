// Turns the paths the POSIX layer is given into what the *at system calls take: a folder descriptor
// and a name relative to it. Every path of the layer is resolved here and nowhere else. While a run's
// scope is open, a path below one of its roots is resolved beneath the root's open descriptor with no
// symbolic link followed on the way; other paths (profiles, settings, the folder browser) are taken
// as given.
#pragma once

#include <fcntl.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/path.h"
#include "base/unique_fd.h"
#include "engine/fs/file_system.h"

namespace twinfol {

// A descriptor that several holders may keep open: a run's root, or the folder it last worked in.
using SharedFd = std::shared_ptr<const UniqueFd>;

// Where an entry is: the folder descriptor its name is relative to, and the name.
struct PosixLocation {
    int dirFd = AT_FDCWD;
    std::string name;
    // Keeps dirFd open while the location is used, when resolving had to open a folder.
    SharedFd holder;
    // Why the entry cannot be reached (a link where a folder was, say); dirFd is then -1.
    FsStatus status;

    // The folder that holds the entry, relative to the same descriptor and ending with the separator;
    // "" for the descriptor's own folder.
    std::string Folder() const { return FolderOf(name); }
};

// An open folder, or why it could not be opened.
struct OpenedFolder {
    SharedFd fd;
    FsStatus status;

    int Get() const { return fd ? fd->Get() : -1; }
};

struct PosixRunState;

// Whether opening a folder outside a run's roots follows a symbolic link that the path ends in.
// Below a run's roots no link is ever followed.
enum class FinalLink { Follow, NoFollow };

class PosixPathResolver {
public:
    PosixPathResolver() = default;
    PosixPathResolver(const PosixPathResolver&) = delete;
    PosixPathResolver& operator=(const PosixPathResolver&) = delete;

    // Opens both roots (following links in their own paths) and resolves beneath them until the scope
    // is destroyed; the resolver must outlive it. A root that cannot be opened makes every path below
    // it fail with the reason. The run's state is kept with the roots and dropped with them.
    std::unique_ptr<RunScope> BeginRun(const std::string& sourceRoot, const std::string& targetRoot,
                                       std::shared_ptr<PosixRunState> state);
    // Resolves every path below the folder (ending with the separator) beneath its open descriptor, with
    // no symbolic link followed, until the returned scope is destroyed: how a checked trash folder is
    // used. Where the folder lies inside a run's root, its own descriptor is the one paths below it take.
    std::unique_ptr<RunScope> HoldFolder(const std::string& folder, SharedFd fd);
    // The state of the run whose roots hold the path; nothing outside a run.
    std::shared_ptr<PosixRunState> RunStateOf(const std::string& path) const;
    // The rule for read-only files of the run whose roots hold the path; outside a run they are kept.
    ReadOnlyTargets ReadOnlyRuleOf(const std::string& path) const;

    // The entry the path names; one trailing separator is dropped, so that a final symbolic link is
    // the entry itself and not what it points to.
    PosixLocation Locate(const std::string& path) const;
    // The same, but always relative to an open folder that holds the entry (opened here when the path
    // is not below a run's root), for operations that must look at the holding folder itself.
    PosixLocation LocateInOpenFolder(const std::string& path) const;
    // Opens a folder for reading its entries or as the base of a walk. Below a run's root the folder
    // becomes the one the run works in, so that the entries' operations reuse its descriptor.
    OpenedFolder OpenFolder(const std::string& folder, FinalLink finalLink) const;

private:
    class Scope;
    // One root of an open run, and the descriptor of the folder below it last resolved.
    struct RunRoot {
        std::uint64_t scopeId;
        std::string path; // ends with the separator
        SharedFd fd;
        FsStatus openStatus;
        std::string lastFolder; // relative to the root, ending with the separator
        SharedFd lastFolderFd;
        std::shared_ptr<PosixRunState> state;
    };
    // A path below a root, taken apart under the lock: the root's descriptor, the path relative to it
    // and the folder last resolved there.
    struct BelowRoot {
        std::uint64_t scopeId = 0;
        std::string rootPath;
        SharedFd rootFd;
        FsStatus rootStatus;
        std::string relative;
        std::string lastFolder;
        SharedFd lastFolderFd;
    };

    bool FindRoot(std::string_view path, BelowRoot& below) const;
    void Remember(const BelowRoot& below, std::string relativeFolder, const SharedFd& fd) const;
    void EndRun(std::uint64_t scopeId);

    mutable std::mutex mutex_;
    mutable std::vector<RunRoot> roots_;
    std::uint64_t nextScopeId_ = 1;
};

} // namespace twinfol
