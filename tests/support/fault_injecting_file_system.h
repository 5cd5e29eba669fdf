// A file-system layer for tests that wraps the real one and can make chosen operations fail or wait
// until the test lets them go on, to reach failure and stop paths that real disks rarely take. It
// also hooks into the real layer's own tree walks, so that faults strike inside them too.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/fs/forwarding_file_system.h"
#include "engine/fs/walk_hook.h"
#include "engine/posix/posix_file_system.h"

namespace twinfol::test {

enum class FsOperation {
    List,
    KindOf,
    Resolve,
    ReadStamp,
    CopyFile,
    DeleteFile,
    MakeFolder,
    RemoveFolder,
    CopyTree,
    DeleteTree,
    ReadFile,
    ReplaceFile,
    MakeFolders,
    LockFile,
    Identify,
    // Inside one file's copy: its data has been read, the source is about to be looked at again.
    SourceRead,
    // Inside one file's copy: its mode is about to be set.
    SetMode,
    CreateNewFile,
    AppendFile,
    MoveToTrash,
    LinkToTrash,
    MoveFromTrash,
    Respell,
};

const char* OperationName(FsOperation operation);

// One call as it reached the layer. For copies, path is the source and secondPath the target.
struct FsCall {
    FsOperation operation;
    std::string path;
    std::string secondPath;
};

class FaultInjectingFileSystem : public ForwardingFileSystem, private WalkHook {
public:
    explicit FaultInjectingFileSystem(PosixFileSystem& inner);

    // Makes the nth call of this kind counted from now (1 is the next one) fail with the error.
    void FailNthCall(FsOperation operation, int n, int error);
    // Makes every call that names the path (either path of a copy) fail with the error; limited
    // to one kind of operation when one is given.
    void FailPath(const std::string& path, int error, std::optional<FsOperation> only = std::nullopt);
    // Makes matching calls wait, before they do anything, until Release(). Without a path every
    // call of the kind is held.
    void Hold(FsOperation operation, std::optional<std::string> path = std::nullopt);
    // Runs the action (outside the layer's lock) each time a call of the kind arrives, before it is
    // held or failed: to change the disk at an exact point of a copy, say.
    void OnCall(FsOperation operation, std::function<void(const FsCall&)> action);
    // Waits until at least one call is being held; false when none arrived in time.
    bool WaitUntilHeld(std::chrono::milliseconds timeout);
    // Lets every held call go on and stops holding new ones.
    void Release();
    // Forgets every armed failure (holds are ended by Release).
    void ClearFaults();

    // Makes ReadSpace answer these figures instead of the real disk's (nothing: the real disk's again).
    void ReportSpace(std::optional<SpaceFigures> figures);
    FsResult<SpaceFigures> ReadSpace(const std::string& folder) override;

    int CallCount(FsOperation operation) const;
    std::vector<FsCall> Calls() const;

    // Every call but BeginRun (forwarded, so that the real layer resolves beneath the roots) is
    // recorded and may be failed or held as the operation of its own name. A failed call answers the
    // error: a failed KindOf answers Missing, a failed ReadFile leaves the bytes alone, a failed
    // LockFile hands out no lock. LookAt is counted and failed as a KindOf call; a listing for stamps
    // as a List call, and each stamp read through its reader as a ReadStamp call of the entry's whole
    // path. For copies and moves, path is the source (the entry, the trash name of MoveFromTrash) and
    // secondPath the target; for a respelling, secondPath is the new name.
    using ForwardingFileSystem::BeginRun;
    using ForwardingFileSystem::CopyFile;
    using ForwardingFileSystem::CopyFolderTree;
    using ForwardingFileSystem::LookAt;
    using ForwardingFileSystem::MakeFolder;
    FsStatus ListFolder(const std::string& folder, const EntryVisitor& onEntry) override;
    FsStatus ListFolderForStamps(const std::string& folder, const EntryVisitor& onEntry,
                                 std::unique_ptr<FolderStampReader>& stamps) override;
    EntryKind KindOf(const std::string& path) override;
    FsStatus LookAt(const std::string& path, EntryFacts& facts) override;
    FsResult<std::string> ResolvePath(const std::string& path) override;
    FsResult<FolderIdentity> IdentifyFolder(const std::string& folder) override;
    FsResult<FileStamp> ReadFileStamp(const std::string& path) override;
    FsStatus DeleteFile(const std::string& path) override;
    FsStatus MakeFolder(const std::string& folder, mode_t mode) override;
    FsStatus RemoveFolder(const std::string& folder) override;
    FsStatus Respell(const std::string& path, const std::string& newName) override;
    FsStatus ReadFile(const std::string& path, std::size_t maxBytes, std::string& bytes) override;
    FsStatus ReplaceFile(const std::string& path, std::string_view content, mode_t newFileMode) override;
    FsStatus MakeFolders(const std::string& folder, mode_t mode) override;
    FsStatus LockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override;
    FsStatus CreateNewFile(const std::string& path, std::string_view content, mode_t mode) override;
    FsStatus AppendFile(const std::string& path, std::string_view content, mode_t newFileMode) override;
    FsStatus MoveToTrash(const std::string& path, const std::string& trashPath) override;
    FsStatus LinkToTrash(const std::string& path, const std::string& trashPath,
                         const std::string& source) override;
    FsStatus MoveFromTrash(const std::string& trashPath, const std::string& path,
                           ExistingEntry existing) override;
    // Fail-injectable as a whole; otherwise the real layer does the work with this layer as its hook,
    // so each of its inner steps is reported here as the call of the same kind with its whole paths:
    // inside one file's copy SourceRead and SetMode with the copy's two paths; inside a tree walk a
    // sub-folder's level is a CopyTree or DeleteTree call, then MakeFolder, List, CopyFile, DeleteFile
    // and RemoveFolder calls.
    FsStatus CopyFile(const std::string& from, const std::string& to, CopyProgress* progress) override;
    FsStatus CopyFolderTree(const std::string& sourceFolder, const std::string& targetFolder,
                            const StopFlag& stop, CopyProgress* progress) override;
    FsStatus DeleteFolderTree(const std::string& folder, const StopFlag& stop) override;

private:
    class StampReader;

    struct NthCallFault {
        FsOperation operation;
        int callNumber;
        int error;
    };
    struct PathFault {
        std::string path;
        int error;
        std::optional<FsOperation> only;
    };
    struct HoldRule {
        FsOperation operation;
        std::optional<std::string> path;
        bool released = false;
    };

    // Records the call, holds it when asked to, and answers the error to fail it with (0: go on).
    int Enter(FsOperation operation, const std::string& path, const std::string& secondPath = {});
    // Enters the call, then answers the armed failure or what the call itself answers.
    template <typename Call>
    auto Guarded(FsOperation operation, const std::string& path, const std::string& secondPath, Call&& call)
        -> decltype(call());
    FsStatus BeforeStep(WalkStep step, const std::string& path, const std::string& secondPath) override;

    PosixFileSystem& posix_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<FsOperation, int> counts_;
    std::vector<FsCall> calls_;
    std::vector<NthCallFault> nthCallFaults_;
    std::vector<PathFault> pathFaults_;
    std::shared_ptr<HoldRule> hold_;
    std::map<FsOperation, std::function<void(const FsCall&)>> actions_;
    int heldNow_ = 0;
    std::optional<SpaceFigures> space_;
};

} // namespace twinfol::test
