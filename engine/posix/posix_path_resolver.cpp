// Path resolution of the POSIX layer: beneath a run's open roots while a run is under way, as given
// everywhere else.
#include "engine/posix/posix_path_resolver.h"

#include <algorithm>
#include <cerrno>

#include "engine/posix/posix_beneath.h"
#include "engine/posix/posix_run_state.h"

namespace twinfol {
namespace {

PosixLocation Unreachable(FsStatus status)
{
    PosixLocation location;
    location.dirFd = -1;
    location.status = status;
    return location;
}

// Whether the path is the root (with or without its separator) or lies below it.
bool IsAtOrBelow(std::string_view path, const std::string& root)
{
    return path.starts_with(root) || (path.size() + 1 == root.size() && root.starts_with(path));
}

} // namespace

class PosixPathResolver::Scope : public RunScope {
public:
    Scope(PosixPathResolver& resolver, std::uint64_t id) : resolver_(resolver), id_(id) {}
    ~Scope() override { resolver_.EndRun(id_); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    PosixPathResolver& resolver_;
    std::uint64_t id_;
};

std::unique_ptr<RunScope> PosixPathResolver::BeginRun(const std::string& sourceRoot,
                                                      const std::string& targetRoot,
                                                      std::shared_ptr<PosixRunState> state)
{
    // A root's own path is followed wherever its links lead: the person chose it, and the roots
    // check has looked at where it leads.
    const auto open = [](const std::string& root, SharedFd& fd, FsStatus& status) {
        UniqueFd opened(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!opened)
            status = FsStatus::Failure(errno);
        fd = std::make_shared<const UniqueFd>(std::move(opened));
    };
    RunRoot source{0, WithTrailingSeparator(sourceRoot), {}, {}, {}, {}, state};
    RunRoot target{0, WithTrailingSeparator(targetRoot), {}, {}, {}, {}, std::move(state)};
    open(source.path, source.fd, source.openStatus);
    open(target.path, target.fd, target.openStatus);
    const std::lock_guard lock(mutex_);
    source.scopeId = target.scopeId = nextScopeId_++;
    roots_.push_back(std::move(source));
    roots_.push_back(std::move(target));
    return std::make_unique<Scope>(*this, roots_.back().scopeId);
}

std::unique_ptr<RunScope> PosixPathResolver::HoldFolder(const std::string& folder, SharedFd fd)
{
    RunRoot held{0, WithTrailingSeparator(folder), std::move(fd), {}, {}, {}, nullptr};
    const std::lock_guard lock(mutex_);
    held.scopeId = nextScopeId_++;
    roots_.push_back(std::move(held));
    return std::make_unique<Scope>(*this, roots_.back().scopeId);
}

void PosixPathResolver::EndRun(std::uint64_t scopeId)
{
    const std::lock_guard lock(mutex_);
    std::erase_if(roots_, [&](const RunRoot& root) { return root.scopeId == scopeId; });
}

bool PosixPathResolver::FindRoot(std::string_view path, BelowRoot& below) const
{
    const std::lock_guard lock(mutex_);
    const RunRoot* found = nullptr;
    // The longest root that holds the path: roots that pass the roots check never hold each other,
    // but their spellings may still share a beginning.
    for (const RunRoot& root : roots_)
        if (IsAtOrBelow(path, root.path) && (found == nullptr || root.path.size() > found->path.size()))
            found = &root;
    if (found == nullptr)
        return false;
    below.scopeId = found->scopeId;
    below.rootPath = found->path;
    below.rootFd = found->fd;
    below.rootStatus = found->openStatus;
    below.relative = path.size() >= found->path.size() ? path.substr(found->path.size()) : std::string_view();
    below.lastFolder = found->lastFolder;
    below.lastFolderFd = found->lastFolderFd;
    return true;
}

std::shared_ptr<PosixRunState> PosixPathResolver::RunStateOf(const std::string& path) const
{
    const std::string entry = WithoutTrailingSeparator(path);
    const std::lock_guard lock(mutex_);
    for (const RunRoot& root : roots_)
        if (IsAtOrBelow(entry, root.path))
            return root.state;
    return nullptr;
}

ReadOnlyTargets PosixPathResolver::ReadOnlyRuleOf(const std::string& path) const
{
    const std::shared_ptr<PosixRunState> run = RunStateOf(path);
    return run ? run->readOnly : ReadOnlyTargets::Keep;
}

void PosixPathResolver::Remember(const BelowRoot& below, std::string relativeFolder, const SharedFd& fd) const
{
    const std::lock_guard lock(mutex_);
    for (RunRoot& root : roots_) {
        if (root.scopeId == below.scopeId && root.path == below.rootPath) {
            root.lastFolder = std::move(relativeFolder);
            root.lastFolderFd = fd;
            return;
        }
    }
}

PosixLocation PosixPathResolver::Locate(const std::string& path) const
{
    PosixLocation location;
    location.name = WithoutTrailingSeparator(path);
    BelowRoot below;
    if (!FindRoot(location.name, below) || below.relative.empty())
        return location; // Not below a run's root: the path as given.
    if (!below.rootStatus)
        return Unreachable(below.rootStatus);
    std::string folder = FolderOf(below.relative);
    location.name = std::string(BaseNameOf(below.relative));
    if (location.name == "." || location.name == "..")
        return Unreachable(FsStatus::Refusal(EXDEV, pathLeavesRoot));
    if (folder.empty()) {
        location.holder = below.rootFd;
    } else if (folder == below.lastFolder && below.lastFolderFd) {
        location.holder = below.lastFolderFd;
    } else {
        // The one open of a folder the run works in; its later operations find it remembered.
        UniqueFd opened;
        if (FsStatus status = OpenBeneath(below.rootFd->Get(), folder, O_PATH, opened); !status)
            return Unreachable(status);
        location.holder = std::make_shared<const UniqueFd>(std::move(opened));
        Remember(below, std::move(folder), location.holder);
    }
    location.dirFd = location.holder->Get();
    return location;
}

PosixLocation PosixPathResolver::LocateInOpenFolder(const std::string& path) const
{
    PosixLocation location = Locate(path);
    if (location.dirFd != AT_FDCWD)
        return location;
    const std::string folder = location.Folder();
    UniqueFd opened(open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!opened)
        return Unreachable(FsStatus::Failure(errno));
    location.name = std::string(BaseNameOf(location.name));
    location.holder = std::make_shared<const UniqueFd>(std::move(opened));
    location.dirFd = location.holder->Get();
    return location;
}

OpenedFolder PosixPathResolver::OpenFolder(const std::string& folder, FinalLink finalLink) const
{
    UniqueFd opened;
    BelowRoot below;
    if (!FindRoot(WithoutTrailingSeparator(folder), below)) {
        if (finalLink == FinalLink::Follow)
            opened.Reset(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        else // A trailing separator would make the kernel follow the link after all.
            opened.Reset(open(WithoutTrailingSeparator(folder).c_str(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!opened)
            return {{}, FsStatus::Failure(errno)};
        return {std::make_shared<const UniqueFd>(std::move(opened)), {}};
    }
    if (!below.rootStatus)
        return {{}, below.rootStatus};
    if (FsStatus status = OpenBeneath(below.rootFd->Get(), below.relative, O_RDONLY, opened); !status)
        return {{}, status};
    SharedFd shared = std::make_shared<const UniqueFd>(std::move(opened));
    if (!below.relative.empty())
        Remember(below, WithTrailingSeparator(std::string(below.relative)), shared);
    return {std::move(shared), {}};
}

} // namespace twinfol
