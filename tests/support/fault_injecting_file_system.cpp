// The fault-injecting file-system layer: bookkeeping under one mutex, work done by the wrapped layer
// outside it so that a held call never blocks the others.
#include "support/fault_injecting_file_system.h"

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
    case FsOperation::ReadFacts: return "ReadFacts";
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

FaultInjectingFileSystem::FaultInjectingFileSystem(PosixFileSystem& inner) : inner_(inner) {}

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

std::unique_ptr<RunScope> FaultInjectingFileSystem::BeginRun(const std::string& sourceRoot,
                                                             const std::string& targetRoot)
{
    return inner_.BeginRun(sourceRoot, targetRoot);
}

FsStatus FaultInjectingFileSystem::ListFolder(const std::string& folder, const EntryVisitor& onEntry)
{
    if (const int error = Enter(FsOperation::List, folder))
        return FsStatus::Failure(error);
    return inner_.ListFolder(folder, onEntry);
}

class FaultInjectingFileSystem::StampReader : public FolderStampReader {
public:
    StampReader(FaultInjectingFileSystem& layer, std::string folder, std::unique_ptr<FolderStampReader> inner)
        : layer_(layer), folder_(std::move(folder)), inner_(std::move(inner))
    {
    }

    std::optional<FileStamp> ReadFileStamp(const std::string& name) override
    {
        if (layer_.Enter(FsOperation::ReadStamp, folder_ + name) != 0)
            return std::nullopt;
        return inner_->ReadFileStamp(name);
    }

private:
    FaultInjectingFileSystem& layer_;
    std::string folder_;
    std::unique_ptr<FolderStampReader> inner_;
};

FsStatus FaultInjectingFileSystem::ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                                       std::unique_ptr<FolderStampReader>& stamps)
{
    if (const int error = Enter(FsOperation::List, folder))
        return FsStatus::Failure(error);
    std::unique_ptr<FolderStampReader> inner;
    const FsStatus listed = inner_.ListFolderForStamps(folder, onEntry, inner);
    if (listed)
        stamps = std::make_unique<StampReader>(*this, folder, std::move(inner));
    return listed;
}

EntryKind FaultInjectingFileSystem::KindOf(const std::string& path)
{
    if (Enter(FsOperation::KindOf, path) != 0)
        return EntryKind::Missing;
    return inner_.KindOf(path);
}

FsStatus FaultInjectingFileSystem::LookAt(const std::string& path, EntryFacts& facts)
{
    facts = {};
    if (const int error = Enter(FsOperation::KindOf, path))
        return FsStatus::Failure(error);
    return inner_.LookAt(path, facts);
}

std::optional<std::string> FaultInjectingFileSystem::ResolvePath(const std::string& path)
{
    if (Enter(FsOperation::Resolve, path) != 0)
        return std::nullopt;
    return inner_.ResolvePath(path);
}

std::optional<FolderIdentity> FaultInjectingFileSystem::IdentifyFolder(const std::string& folder)
{
    if (Enter(FsOperation::Identify, folder) != 0)
        return std::nullopt;
    return inner_.IdentifyFolder(folder);
}

std::optional<FileStamp> FaultInjectingFileSystem::ReadFileStamp(const std::string& path)
{
    if (Enter(FsOperation::ReadStamp, path) != 0)
        return std::nullopt;
    return inner_.ReadFileStamp(path);
}

FsStatus FaultInjectingFileSystem::CopyFile(const std::string& from, const std::string& to,
                                            CopyProgress* progress)
{
    if (const int error = Enter(FsOperation::CopyFile, from, to))
        return FsStatus::Failure(error);
    return inner_.CopyFile(from, to, progress, this);
}

FsStatus FaultInjectingFileSystem::DeleteFile(const std::string& path)
{
    if (const int error = Enter(FsOperation::DeleteFile, path))
        return FsStatus::Failure(error);
    return inner_.DeleteFile(path);
}

FsStatus FaultInjectingFileSystem::MakeFolder(const std::string& folder)
{
    if (const int error = Enter(FsOperation::MakeFolder, folder))
        return FsStatus::Failure(error);
    return inner_.MakeFolder(folder);
}

FsStatus FaultInjectingFileSystem::Respell(const std::string& path, const std::string& newName)
{
    if (const int error = Enter(FsOperation::Respell, path, newName))
        return FsStatus::Failure(error);
    return inner_.Respell(path, newName);
}

FsStatus FaultInjectingFileSystem::RemoveFolder(const std::string& folder)
{
    if (const int error = Enter(FsOperation::RemoveFolder, folder))
        return FsStatus::Failure(error);
    return inner_.RemoveFolder(folder);
}

FsStatus FaultInjectingFileSystem::CopyFolderTree(const std::string& sourceFolder,
                                                  const std::string& targetFolder, const StopFlag& stop,
                                                  CopyProgress* progress)
{
    if (const int error = Enter(FsOperation::CopyTree, sourceFolder, targetFolder))
        return FsStatus::Failure(error);
    return inner_.CopyFolderTree(sourceFolder, targetFolder, stop, progress, this);
}

FsStatus FaultInjectingFileSystem::DeleteFolderTree(const std::string& folder, const StopFlag& stop)
{
    if (const int error = Enter(FsOperation::DeleteTree, folder))
        return FsStatus::Failure(error);
    return inner_.DeleteFolderTree(folder, stop, this);
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
    if (const int error = Enter(FsOperation::ReadFile, path))
        return FsStatus::Failure(error);
    return inner_.ReadFile(path, maxBytes, bytes);
}

FsStatus FaultInjectingFileSystem::ReplaceFile(const std::string& path, std::string_view content,
                                               mode_t newFileMode)
{
    if (const int error = Enter(FsOperation::ReplaceFile, path))
        return FsStatus::Failure(error);
    return inner_.ReplaceFile(path, content, newFileMode);
}

FsStatus FaultInjectingFileSystem::MakeFolders(const std::string& folder, mode_t mode)
{
    if (const int error = Enter(FsOperation::MakeFolders, folder))
        return FsStatus::Failure(error);
    return inner_.MakeFolders(folder, mode);
}

FsStatus FaultInjectingFileSystem::LockFile(const std::string& path, std::unique_ptr<FileLock>& lock)
{
    if (const int error = Enter(FsOperation::LockFile, path))
        return FsStatus::Failure(error);
    return inner_.LockFile(path, lock);
}

std::optional<EntryFacts> FaultInjectingFileSystem::ReadEntryFacts(const std::string& path)
{
    if (Enter(FsOperation::ReadFacts, path) != 0)
        return std::nullopt;
    return inner_.ReadEntryFacts(path);
}

FsStatus FaultInjectingFileSystem::CreateNewFile(const std::string& path, std::string_view content,
                                                 mode_t mode)
{
    if (const int error = Enter(FsOperation::CreateNewFile, path))
        return FsStatus::Failure(error);
    return inner_.CreateNewFile(path, content, mode);
}

FsStatus FaultInjectingFileSystem::AppendFile(const std::string& path, std::string_view content,
                                              mode_t newFileMode)
{
    if (const int error = Enter(FsOperation::AppendFile, path))
        return FsStatus::Failure(error);
    return inner_.AppendFile(path, content, newFileMode);
}

FsStatus FaultInjectingFileSystem::MoveToTrash(const std::string& path, const std::string& trashPath)
{
    if (const int error = Enter(FsOperation::MoveToTrash, path, trashPath))
        return FsStatus::Failure(error);
    return inner_.MoveToTrash(path, trashPath);
}

FsStatus FaultInjectingFileSystem::LinkToTrash(const std::string& path, const std::string& trashPath)
{
    if (const int error = Enter(FsOperation::LinkToTrash, path, trashPath))
        return FsStatus::Failure(error);
    return inner_.LinkToTrash(path, trashPath);
}

FsStatus FaultInjectingFileSystem::MoveFromTrash(const std::string& trashPath, const std::string& path,
                                                 ExistingEntry existing)
{
    if (const int error = Enter(FsOperation::MoveFromTrash, trashPath, path))
        return FsStatus::Failure(error);
    return inner_.MoveFromTrash(trashPath, path, existing);
}

} // namespace twinfol::test
