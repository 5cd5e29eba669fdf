// The fault-injecting file-system layer: bookkeeping under one mutex, work done by the wrapped layer
// outside it so that a held call never blocks the others.
#include "support/fault_injecting_file_system.h"

#include <type_traits>

namespace twinfol::test {

const char* OperationName(FsOperation operation)
{
    switch (operation) {
    case FsOperation::List: return "List";
    case FsOperation::KindOf: return "KindOf";
    case FsOperation::Resolve: return "Resolve";
    case FsOperation::ReadStamp: return "ReadStamp";
    case FsOperation::CopyFile: return "CopyFile";
    case FsOperation::DeleteFile: return "DeleteFile";
    case FsOperation::MakeFolder: return "MakeFolder";
    case FsOperation::RemoveFolder: return "RemoveFolder";
    case FsOperation::CopyTree: return "CopyTree";
    case FsOperation::DeleteTree: return "DeleteTree";
    case FsOperation::ReadFile: return "ReadFile";
    case FsOperation::ReplaceFile: return "ReplaceFile";
    case FsOperation::MakeFolders: return "MakeFolders";
    case FsOperation::LockFile: return "LockFile";
    case FsOperation::Identify: return "Identify";
    case FsOperation::SourceRead: return "SourceRead";
    case FsOperation::SetMode: return "SetMode";
    case FsOperation::CreateNewFile: return "CreateNewFile";
    case FsOperation::AppendFile: return "AppendFile";
    case FsOperation::MoveToTrash: return "MoveToTrash";
    case FsOperation::LinkToTrash: return "LinkToTrash";
    case FsOperation::MoveFromTrash: return "MoveFromTrash";
    case FsOperation::Respell: return "Respell";
    }
    return "?";
}

namespace {

FsOperation OperationOf(WalkStep step)
{
    switch (step) {
    case WalkStep::CopyTree: return FsOperation::CopyTree;
    case WalkStep::DeleteTree: return FsOperation::DeleteTree;
    case WalkStep::List: return FsOperation::List;
    case WalkStep::MakeFolder: return FsOperation::MakeFolder;
    case WalkStep::CopyFile: return FsOperation::CopyFile;
    case WalkStep::DeleteFile: return FsOperation::DeleteFile;
    case WalkStep::RemoveFolder: return FsOperation::RemoveFolder;
    case WalkStep::SourceRead: return FsOperation::SourceRead;
    case WalkStep::SetMode: return FsOperation::SetMode;
    }
    return FsOperation::List;
}

} // namespace

FaultInjectingFileSystem::FaultInjectingFileSystem(PosixFileSystem& inner)
    : ForwardingFileSystem(inner), posix_(inner)
{
}

void FaultInjectingFileSystem::FailNthCall(FsOperation operation, int n, int error)
{
    std::lock_guard lock(mutex_);
    nthCallFaults_.push_back({operation, counts_[operation] + n, error});
}

void FaultInjectingFileSystem::FailPath(const std::string& path, int error, std::optional<FsOperation> only)
{
    std::lock_guard lock(mutex_);
    pathFaults_.push_back({path, error, only});
}

void FaultInjectingFileSystem::Hold(FsOperation operation, std::optional<std::string> path)
{
    std::lock_guard lock(mutex_);
    hold_ = std::make_shared<HoldRule>(HoldRule{operation, std::move(path)});
}

void FaultInjectingFileSystem::OnCall(FsOperation operation, std::function<void(const FsCall&)> action)
{
    std::lock_guard lock(mutex_);
    actions_[operation] = std::move(action);
}

bool FaultInjectingFileSystem::WaitUntilHeld(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return heldNow_ > 0; });
}

void FaultInjectingFileSystem::Release()
{
    {
        std::lock_guard lock(mutex_);
        if (hold_)
            hold_->released = true;
        hold_.reset();
    }
    changed_.notify_all();
}

void FaultInjectingFileSystem::ClearFaults()
{
    std::lock_guard lock(mutex_);
    nthCallFaults_.clear();
    pathFaults_.clear();
}

int FaultInjectingFileSystem::CallCount(FsOperation operation) const
{
    std::lock_guard lock(mutex_);
    const auto found = counts_.find(operation);
    return found == counts_.end() ? 0 : found->second;
}

std::vector<FsCall> FaultInjectingFileSystem::Calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

int FaultInjectingFileSystem::Enter(FsOperation operation, const std::string& path,
                                    const std::string& secondPath)
{
    std::unique_lock lock(mutex_);
    if (const auto action = actions_.find(operation); action != actions_.end()) {
        const std::function<void(const FsCall&)> run = action->second;
        lock.unlock();
        run({operation, path, secondPath});
        lock.lock();
    }
    const int callNumber = ++counts_[operation];
    calls_.push_back({operation, path, secondPath});

    const auto namesPath = [&](const std::string& wanted) {
        return path == wanted || (!secondPath.empty() && secondPath == wanted);
    };
    if (hold_ && hold_->operation == operation && (!hold_->path || namesPath(*hold_->path))) {
        // The rule is kept alive by this call, so a later Hold() cannot strand it.
        const std::shared_ptr<HoldRule> rule = hold_;
        ++heldNow_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return rule->released; });
        --heldNow_;
    }

    for (const NthCallFault& fault : nthCallFaults_)
        if (fault.operation == operation && fault.callNumber == callNumber)
            return fault.error;
    for (const PathFault& fault : pathFaults_)
        if ((!fault.only || *fault.only == operation) && namesPath(fault.path))
            return fault.error;
    return 0;
}

template <typename Call>
auto FaultInjectingFileSystem::Guarded(FsOperation operation, const std::string& path,
                                       const std::string& secondPath, Call&& call) -> decltype(call())
{
    using Answer = decltype(call());
    const int error = Enter(operation, path, secondPath);
    if (error == 0)
        return call();
    if constexpr (std::is_same_v<Answer, EntryKind>)
        return EntryKind::Missing;
    else
        return Answer(FsStatus::Failure(error));
}

FsStatus FaultInjectingFileSystem::ListFolder(const std::string& folder, const EntryVisitor& onEntry)
{
    return Guarded(FsOperation::List, folder, {},
                   [&] { return ForwardingFileSystem::ListFolder(folder, onEntry); });
}

class FaultInjectingFileSystem::StampReader : public FolderStampReader {
public:
    StampReader(FaultInjectingFileSystem& layer, std::string folder, std::unique_ptr<FolderStampReader> inner)
        : layer_(layer), folder_(std::move(folder)), inner_(std::move(inner))
    {
    }

    FsResult<FileStamp> ReadFileStamp(const std::string& name) override
    {
        return layer_.Guarded(FsOperation::ReadStamp, folder_ + name, {},
                              [&] { return inner_->ReadFileStamp(name); });
    }

private:
    FaultInjectingFileSystem& layer_;
    std::string folder_;
    std::unique_ptr<FolderStampReader> inner_;
};

FsStatus FaultInjectingFileSystem::ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                                       std::unique_ptr<FolderStampReader>& stamps)
{
    return Guarded(FsOperation::List, folder, {}, [&] {
        std::unique_ptr<FolderStampReader> inner;
        const FsStatus listed = ForwardingFileSystem::ListFolderForStamps(folder, onEntry, inner);
        if (listed)
            stamps = std::make_unique<StampReader>(*this, folder, std::move(inner));
        return listed;
    });
}

EntryKind FaultInjectingFileSystem::KindOf(const std::string& path)
{
    return Guarded(FsOperation::KindOf, path, {}, [&] { return ForwardingFileSystem::KindOf(path); });
}

FsStatus FaultInjectingFileSystem::LookAt(const std::string& path, EntryFacts& facts)
{
    facts = {};
    return Guarded(FsOperation::KindOf, path, {}, [&] { return ForwardingFileSystem::LookAt(path, facts); });
}

FsResult<std::string> FaultInjectingFileSystem::ResolvePath(const std::string& path)
{
    return Guarded(FsOperation::Resolve, path, {}, [&] { return ForwardingFileSystem::ResolvePath(path); });
}

FsResult<FolderIdentity> FaultInjectingFileSystem::IdentifyFolder(const std::string& folder)
{
    return Guarded(FsOperation::Identify, folder, {},
                   [&] { return ForwardingFileSystem::IdentifyFolder(folder); });
}

FsResult<FileStamp> FaultInjectingFileSystem::ReadFileStamp(const std::string& path)
{
    return Guarded(FsOperation::ReadStamp, path, {},
                   [&] { return ForwardingFileSystem::ReadFileStamp(path); });
}

FsStatus FaultInjectingFileSystem::CopyFile(const std::string& from, const std::string& to,
                                            CopyProgress* progress)
{
    return Guarded(FsOperation::CopyFile, from, to,
                   [&] { return posix_.CopyFile(from, to, progress, this); });
}

FsStatus FaultInjectingFileSystem::DeleteFile(const std::string& path)
{
    return Guarded(FsOperation::DeleteFile, path, {}, [&] { return ForwardingFileSystem::DeleteFile(path); });
}

FsStatus FaultInjectingFileSystem::MakeFolder(const std::string& folder, mode_t mode)
{
    return Guarded(FsOperation::MakeFolder, folder, {},
                   [&] { return ForwardingFileSystem::MakeFolder(folder, mode); });
}

FsStatus FaultInjectingFileSystem::Respell(const std::string& path, const std::string& newName)
{
    return Guarded(FsOperation::Respell, path, newName,
                   [&] { return ForwardingFileSystem::Respell(path, newName); });
}

FsStatus FaultInjectingFileSystem::RemoveFolder(const std::string& folder)
{
    return Guarded(FsOperation::RemoveFolder, folder, {},
                   [&] { return ForwardingFileSystem::RemoveFolder(folder); });
}

FsStatus FaultInjectingFileSystem::CopyFolderTree(const std::string& sourceFolder,
                                                  const std::string& targetFolder, const StopFlag& stop,
                                                  CopyProgress* progress)
{
    return Guarded(FsOperation::CopyTree, sourceFolder, targetFolder,
                   [&] { return posix_.CopyFolderTree(sourceFolder, targetFolder, stop, progress, this); });
}

FsStatus FaultInjectingFileSystem::DeleteFolderTree(const std::string& folder, const StopFlag& stop)
{
    return Guarded(FsOperation::DeleteTree, folder, {},
                   [&] { return posix_.DeleteFolderTree(folder, stop, this); });
}

FsStatus FaultInjectingFileSystem::BeforeStep(WalkStep step, const std::string& path,
                                              const std::string& secondPath)
{
    if (const int error = Enter(OperationOf(step), path, secondPath))
        return FsStatus::Failure(error);
    return {};
}

FsStatus FaultInjectingFileSystem::ReadFile(const std::string& path, std::size_t maxBytes, std::string& bytes)
{
    return Guarded(FsOperation::ReadFile, path, {},
                   [&] { return ForwardingFileSystem::ReadFile(path, maxBytes, bytes); });
}

FsStatus FaultInjectingFileSystem::ReplaceFile(const std::string& path, std::string_view content,
                                               mode_t newFileMode)
{
    return Guarded(FsOperation::ReplaceFile, path, {},
                   [&] { return ForwardingFileSystem::ReplaceFile(path, content, newFileMode); });
}

FsStatus FaultInjectingFileSystem::MakeFolders(const std::string& folder, mode_t mode)
{
    return Guarded(FsOperation::MakeFolders, folder, {},
                   [&] { return ForwardingFileSystem::MakeFolders(folder, mode); });
}

FsStatus FaultInjectingFileSystem::LockFile(const std::string& path, std::unique_ptr<FileLock>& lock)
{
    return Guarded(FsOperation::LockFile, path, {},
                   [&] { return ForwardingFileSystem::LockFile(path, lock); });
}

FsStatus FaultInjectingFileSystem::CreateNewFile(const std::string& path, std::string_view content,
                                                 mode_t mode)
{
    return Guarded(FsOperation::CreateNewFile, path, {},
                   [&] { return ForwardingFileSystem::CreateNewFile(path, content, mode); });
}

FsStatus FaultInjectingFileSystem::AppendFile(const std::string& path, std::string_view content,
                                              mode_t newFileMode)
{
    return Guarded(FsOperation::AppendFile, path, {},
                   [&] { return ForwardingFileSystem::AppendFile(path, content, newFileMode); });
}

FsStatus FaultInjectingFileSystem::MoveToTrash(const std::string& path, const std::string& trashPath)
{
    return Guarded(FsOperation::MoveToTrash, path, trashPath,
                   [&] { return ForwardingFileSystem::MoveToTrash(path, trashPath); });
}

FsStatus FaultInjectingFileSystem::LinkToTrash(const std::string& path, const std::string& trashPath,
                                               const std::string& source)
{
    return Guarded(FsOperation::LinkToTrash, path, trashPath,
                   [&] { return ForwardingFileSystem::LinkToTrash(path, trashPath, source); });
}

FsStatus FaultInjectingFileSystem::MoveFromTrash(const std::string& trashPath, const std::string& path,
                                                 ExistingEntry existing)
{
    return Guarded(FsOperation::MoveFromTrash, trashPath, path,
                   [&] { return ForwardingFileSystem::MoveFromTrash(trashPath, path, existing); });
}

void FaultInjectingFileSystem::ReportSpace(std::optional<SpaceFigures> figures)
{
    const std::lock_guard lock(mutex_);
    space_ = figures;
}

FsResult<SpaceFigures> FaultInjectingFileSystem::ReadSpace(const std::string& folder)
{
    {
        const std::lock_guard lock(mutex_);
        if (space_)
            return *space_;
    }
    return ForwardingFileSystem::ReadSpace(folder);
}

} // namespace twinfol::test
