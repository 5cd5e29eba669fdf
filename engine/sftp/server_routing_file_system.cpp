// Routing each call by where its paths lie. A call whose paths lie on both sides is either a copy
// from this machine onto the server (an upload) or refused: a run copies one way, onto its target.
#include "engine/sftp/server_routing_file_system.h"

#include <cerrno>
#include <utility>

#include "base/path.h"

namespace twinfol {
namespace {

constexpr std::uint32_t serverDevice = 0xffffffff;

FsStatus BothSidesRefusal()
{
    return FsStatus::Refusal(EXDEV, "the paths lie on this machine and on a server");
}

// A run scope that holds the scopes of both layers.
class BothScopes : public RunScope {
public:
    BothScopes(std::unique_ptr<RunScope> local, std::unique_ptr<RunScope> server)
        : local_(std::move(local)), server_(std::move(server))
    {
    }
    FsStatus Status() const override
    {
        if (FsStatus local = local_ ? local_->Status() : FsStatus(); !local)
            return local;
        return server_ ? server_->Status() : FsStatus();
    }

private:
    std::unique_ptr<RunScope> local_;
    std::unique_ptr<RunScope> server_;
};

} // namespace

ServerRoutingFileSystem::ServerRoutingFileSystem(FileSystem& local, SftpFileSystem& server,
                                                 std::string locationText, std::string serverFolder)
    : local_(local), server_(server), locationText_(WithTrailingSeparator(std::move(locationText))),
      serverFolder_(WithTrailingSeparator(std::move(serverFolder)))
{
}

bool ServerRoutingFileSystem::OnServer(const std::string& path) const
{
    return path.starts_with(locationText_) || path == WithoutTrailingSeparator(locationText_);
}

std::string ServerRoutingFileSystem::ServerPath(const std::string& path) const
{
    if (path.size() < locationText_.size())
        return WithoutTrailingSeparator(serverFolder_);
    return serverFolder_ + path.substr(locationText_.size());
}

FsStatus ServerRoutingFileSystem::ListFolder(const std::string& folder, const EntryVisitor& onEntry)
{
    return OnServer(folder) ? server_.ListFolder(ServerPath(folder), onEntry)
                            : local_.ListFolder(folder, onEntry);
}

FsStatus ServerRoutingFileSystem::LookAt(const std::string& path, EntryFacts& facts)
{
    return OnServer(path) ? server_.LookAt(ServerPath(path), facts) : local_.LookAt(path, facts);
}

FsResult<std::string> ServerRoutingFileSystem::ResolvePath(const std::string& path)
{
    if (!OnServer(path))
        return local_.ResolvePath(path);
    FsResult<std::string> resolved = server_.ResolvePath(ServerPath(path));
    if (!resolved)
        return resolved;
    // A path that stays below the location is told in the location's words.
    const std::string& onServer = *resolved;
    if (onServer.starts_with(serverFolder_) || onServer == WithoutTrailingSeparator(serverFolder_))
        return onServer.size() < serverFolder_.size() ? WithoutTrailingSeparator(locationText_)
                                                      : locationText_ + onServer.substr(serverFolder_.size());
    return FsStatus::Refusal(EXDEV, "the path leads out of the folder on the server");
}

FsResult<FolderIdentity> ServerRoutingFileSystem::IdentifyFolder(const std::string& folder)
{
    if (!OnServer(folder))
        return local_.IdentifyFolder(folder);
    // The server's folders lie on another machine: they get a device no local file system has, so
    // that they are never inside a local folder, and their resolved path on the server, so that two
    // folders on the server are told apart as two local ones are.
    const FsResult<std::string> resolved = server_.ResolvePath(ServerPath(folder));
    if (!resolved)
        return resolved.Status();
    FolderIdentity identity;
    identity.place = {serverDevice, serverDevice, WithTrailingSeparator(*resolved)};
    return identity;
}

FsStatus ServerRoutingFileSystem::CopyFile(const std::string& from, const std::string& to,
                                           CopyProgress* progress)
{
    const bool fromServer = OnServer(from);
    const bool toServer = OnServer(to);
    if (fromServer && toServer)
        return server_.CopyFile(ServerPath(from), ServerPath(to), progress);
    if (!fromServer && !toServer)
        return local_.CopyFile(from, to, progress);
    if (toServer)
        return server_.UploadFile(from, ServerPath(to), progress);
    return BothSidesRefusal();
}

FsStatus ServerRoutingFileSystem::DeleteFile(const std::string& path)
{
    return OnServer(path) ? server_.DeleteFile(ServerPath(path)) : local_.DeleteFile(path);
}

FsStatus ServerRoutingFileSystem::MakeFolder(const std::string& folder, mode_t mode)
{
    return OnServer(folder) ? server_.MakeFolder(ServerPath(folder), mode) : local_.MakeFolder(folder, mode);
}

FsStatus ServerRoutingFileSystem::RemoveFolder(const std::string& folder)
{
    return OnServer(folder) ? server_.RemoveFolder(ServerPath(folder)) : local_.RemoveFolder(folder);
}

FsStatus ServerRoutingFileSystem::Respell(const std::string& path, const std::string& newName)
{
    return OnServer(path) ? server_.Respell(ServerPath(path), newName) : local_.Respell(path, newName);
}

FsStatus ServerRoutingFileSystem::ReadFile(const std::string& path, std::size_t maxBytes, std::string& bytes)
{
    return OnServer(path) ? server_.ReadFile(ServerPath(path), maxBytes, bytes)
                          : local_.ReadFile(path, maxBytes, bytes);
}

FsStatus ServerRoutingFileSystem::ReplaceFile(const std::string& path, std::string_view content,
                                              mode_t newFileMode)
{
    return OnServer(path) ? server_.ReplaceFile(ServerPath(path), content, newFileMode)
                          : local_.ReplaceFile(path, content, newFileMode);
}

FsStatus ServerRoutingFileSystem::LockFile(const std::string& path, std::unique_ptr<FileLock>& lock)
{
    return OnServer(path) ? server_.LockFile(ServerPath(path), lock) : local_.LockFile(path, lock);
}

FsStatus ServerRoutingFileSystem::CreateNewFile(const std::string& path, std::string_view content,
                                                mode_t mode)
{
    return OnServer(path) ? server_.CreateNewFile(ServerPath(path), content, mode)
                          : local_.CreateNewFile(path, content, mode);
}

FsStatus ServerRoutingFileSystem::AppendFile(const std::string& path, std::string_view content,
                                             mode_t newFileMode)
{
    return OnServer(path) ? server_.AppendFile(ServerPath(path), content, newFileMode)
                          : local_.AppendFile(path, content, newFileMode);
}

FsStatus ServerRoutingFileSystem::OpenTrashFolder(const TrashFolderRequest& request,
                                                  std::unique_ptr<TrashHold>& hold)
{
    return OnServer(request.path) ? server_.OpenTrashFolder(request, hold)
                                  : local_.OpenTrashFolder(request, hold);
}

FsStatus ServerRoutingFileSystem::CreateAppendOnlyFile(const std::string& path, std::string_view content,
                                                       mode_t mode, std::unique_ptr<AppendOnlyFile>& file)
{
    return OnServer(path) ? server_.CreateAppendOnlyFile(ServerPath(path), content, mode, file)
                          : local_.CreateAppendOnlyFile(path, content, mode, file);
}

FsStatus ServerRoutingFileSystem::MoveToTrash(const std::string& path, const std::string& trashPath)
{
    if (OnServer(path) || OnServer(trashPath))
        return server_.MoveToTrash(ServerPath(path), trashPath);
    return local_.MoveToTrash(path, trashPath);
}

FsStatus ServerRoutingFileSystem::LinkToTrash(const std::string& path, const std::string& trashPath,
                                              const std::string& source)
{
    if (OnServer(path) || OnServer(trashPath))
        return server_.LinkToTrash(ServerPath(path), trashPath, source);
    return local_.LinkToTrash(path, trashPath, source);
}

FsStatus ServerRoutingFileSystem::MoveFromTrash(const std::string& trashPath, const std::string& path,
                                                ExistingEntry existing)
{
    if (OnServer(path) || OnServer(trashPath))
        return server_.MoveFromTrash(trashPath, ServerPath(path), existing);
    return local_.MoveFromTrash(trashPath, path, existing);
}

std::unique_ptr<RunScope> ServerRoutingFileSystem::BeginRun(const std::string& sourceRoot,
                                                            const std::string& targetRoot,
                                                            ReadOnlyTargets readOnly)
{
    if (!OnServer(sourceRoot) && !OnServer(targetRoot))
        return local_.BeginRun(sourceRoot, targetRoot, readOnly);
    // The local layer's scope locks its target root. With the target on the server the local side is
    // only read, and its source root is not locked: runs from one folder to two servers go on at once.
    std::unique_ptr<RunScope> local =
        OnServer(targetRoot) ? nullptr : local_.BeginRun(targetRoot, targetRoot, readOnly);
    return std::make_unique<BothScopes>(
        std::move(local), server_.BeginRun(ServerPath(sourceRoot), ServerPath(targetRoot), readOnly));
}

FsResult<SpaceFigures> ServerRoutingFileSystem::ReadSpace(const std::string& folder)
{
    return OnServer(folder) ? server_.ReadSpace(ServerPath(folder)) : local_.ReadSpace(folder);
}

FsStatus ServerRoutingFileSystem::MatchFolderTime(const std::string& sourceFolder,
                                                  const std::string& targetFolder)
{
    const bool fromServer = OnServer(sourceFolder);
    const bool toServer = OnServer(targetFolder);
    if (fromServer && toServer)
        return server_.MatchFolderTime(ServerPath(sourceFolder), ServerPath(targetFolder));
    if (!fromServer && !toServer)
        return local_.MatchFolderTime(sourceFolder, targetFolder);
    if (fromServer)
        return BothSidesRefusal();
    const FsResult<EntryFacts> source = local_.LookAt(WithoutTrailingSeparator(sourceFolder));
    if (!source)
        return source.Status();
    return server_.SetFolderTime(ServerPath(targetFolder), source->modifiedSeconds);
}

DiskKind ServerRoutingFileSystem::DiskKindOf(const std::string& folder)
{
    return OnServer(folder) ? server_.DiskKindOf(ServerPath(folder)) : local_.DiskKindOf(folder);
}

} // namespace twinfol
