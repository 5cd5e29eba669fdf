// The folder walk with more than one job: the engine thread still lists, decides, asks and records,
// level by level in the same order, while the pool's workers read stamps, copy and delete. Each piece
// of work is recorded in its place in the walk (OrderedResults), so the report, the problem log and
// the progress texts come out as the engine thread alone would give them. The engine thread takes up
// the next piece itself rather than wait for a worker. Nothing starts once a stop was requested; what
// did start finishes and is recorded, so a stop's report counts exactly what is on disk. Host
// callbacks only ever come from the engine thread.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "engine/walk/case_folding.h"
#include "engine/walk/ordered_results.h"
#include "engine/walk/sync_engine.h"
#include "engine/walk/sync_engine_ahead.h"

namespace twinfol {
namespace {

// Files compared (and copied where needed) per piece of work: enough to make the hand-over cheap
// against the work, few enough to spread a folder's files over the workers.
constexpr std::size_t filesPerPiece = 16;
// Pieces handed out per worker and not yet recorded.
constexpr std::size_t piecesPerWorker = 4;

} // namespace

// What a worker's copy told of its progress, told to the run once the copy is recorded. The chunks of
// a file's data never reach the host from the worker: where the host shows them, the tally adds them
// to the bytes in flight, which the engine thread shows while it waits for the workers.
class SyncEngine::CopyTally : public CopyProgress {
public:
    void DataCopied(std::uint64_t copied, std::uint64_t) override
    {
        if (inFlight == nullptr)
            return;
        const std::uint64_t reported = finished_ + copied;
        if (reported >= reported_)
            inFlight->fetch_add(reported - reported_, std::memory_order_relaxed);
        else
            inFlight->fetch_sub(reported_ - reported, std::memory_order_relaxed);
        reported_ = reported;
    }
    bool FollowsChunks() const override { return inFlight != nullptr; }
    void FileCopied(std::uint64_t size) override
    {
        ++files;
        bytes += size;
        finished_ = reported_;
    }
    // What the tally added to the bytes in flight, which its record takes back.
    std::uint64_t InFlight() const { return reported_; }

    // The run's bytes in flight; none when the host does not show a file's progress.
    std::atomic<std::uint64_t>* inFlight = nullptr;
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;

private:
    // The chunks told of the files finished, and of all files so far.
    std::uint64_t finished_ = 0;
    std::uint64_t reported_ = 0;
};

// One source file of a level, as a worker left it.
struct SyncEngine::PooledFile {
    const std::string* name = nullptr;
    bool twin = false;
    // Whether a worker compared the twin ahead of the walk, leaving newer as it found it.
    bool comparedAhead = false;
    bool started = false;
    bool newer = false;
    bool excluded = false;
    // Whether the worker copied it (an add, or an overwrite without the Trash).
    bool copiedHere = false;
    FsStatus copied;
    CopyTally tally;
};

// One delete or folder add of a level, as a worker left it.
struct SyncEngine::TreeWork {
    bool started = false;
    FsStatus status;
    CopyTally tally;
};

WorkPool* SyncEngine::PoolFor(const SyncOptions& options)
{
    const std::size_t workers = WorkerCountFor(options.jobs);
    // An observer hears of every item as it is decided, so such a walk stays on this thread.
    if (workers <= 1 || observer_ != nullptr)
        return nullptr;
    if (!pool_ || pool_->WorkerCount() != workers)
        pool_ = std::make_unique<WorkPool>(workers);
    return pool_->WorkerCount() > 1 ? pool_.get() : nullptr;
}

void SyncEngine::AddCopied(const CopyTally& tally)
{
    if (tally.InFlight() != 0)
        bytesInFlight_.fetch_sub(tally.InFlight(), std::memory_order_relaxed);
    if (tally.files == 0)
        return;
    // The copies still under way on other workers stay in the figures.
    copies_.fileBytesDone = bytesInFlight_.load(std::memory_order_relaxed);
    copies_.fileSize = 0;
    report_.filesCopied = copies_.filesCopied += tally.files;
    report_.bytesCopied = copies_.bytesCopied += tally.bytes;
    host_.ShowCopyProgress(copies_);
}

void SyncEngine::ShowBytesInFlight()
{
    // The bytes of the copies under way, without a share of any one file: the text shown is the last
    // item recorded, which may not be the file being copied.
    const std::uint64_t inFlight = bytesInFlight_.load(std::memory_order_relaxed);
    if (inFlight == copies_.fileBytesDone && copies_.fileSize == 0)
        return;
    copies_.fileBytesDone = inFlight;
    copies_.fileSize = 0;
    host_.ShowCopyProgress(copies_);
}

std::function<void()> SyncEngine::WhileWaiting()
{
    if (!host_.ShowsFileProgress())
        return {};
    return [this] { ShowBytesInFlight(); };
}

std::atomic<std::uint64_t>* SyncEngine::InFlightCounter()
{
    return host_.ShowsFileProgress() ? &bytesInFlight_ : nullptr;
}

void SyncEngine::CompareAndCopy(Level& level, std::vector<PooledFile>& piece, const SyncOptions& options)
{
    const bool overwriteHere = !options.useTrash;
    // On a worker: touches nothing of the level but its stamp readers.
    std::string sourcePath;
    std::string targetPath;
    std::optional<FileStamp> sourceStamp;
    std::optional<FileStamp> targetStamp;
    for (PooledFile& file : piece) {
        if (IsStopped())
            return;
        file.started = true;
        if (file.twin &&
            !(file.newer = file.comparedAhead
                               ? file.newer
                               : CompareStamps(level.source, level.sourceDir, level.target, level.targetDir,
                                               *file.name, {}, options, sourceStamp, targetStamp)))
            continue;
        sourcePath.assign(level.sourceDir).append(*file.name);
        targetPath.assign(level.targetDir).append(*file.name);
        file.excluded = IsExcluded(sourcePath) || (file.twin && IsExcluded(targetPath));
        if (file.excluded || (file.twin && !overwriteHere))
            continue;
        file.copiedHere = true;
        file.copied = fileSystem_.CopyFile(sourcePath, targetPath, &file.tally);
    }
}

void SyncEngine::ForetellFirstFile(Level& level, const std::string& name, bool twin, bool knownNewer)
{
    // The texts RecordFiles gives the file first; whether a twin is newer is only known ahead when it
    // was compared ahead.
    if (!twin) {
        Foretell(level, "Adding file: ", name);
        return;
    }
    Foretell(level, "Checking file: ", name);
    if (knownNewer && !IsExcluded(level.sourceDir + name) && !IsExcluded(level.targetDir + name))
        Foretell(level, "Overwriting file: ", name);
}

FsStatus SyncEngine::CopyAgainIfCrowdedOut(Level& level, const std::string& name, FsStatus copied)
{
    // A worker's copy that found the disk full may have found it full of the other workers' copies,
    // which one job would never have had under way beside it. Those are done now: the file gets the
    // one try it would have had alone.
    if (copied || (copied.Error() != ENOSPC && copied.Error() != EDQUOT) || IsStopped())
        return copied;
    return fileSystem_.CopyFile(level.sourceDir + name, level.targetDir + name, this);
}

void SyncEngine::RecordFiles(Level& level, std::vector<PooledFile>& piece)
{
    // What HandleSourceFiles shows and records for each file, in the same order.
    for (PooledFile& file : piece) {
        if (!file.started)
            continue;
        const std::string& name = *file.name;
        std::string targetPath = level.targetDir + name;
        if (file.twin) {
            ShowProgress(level, "Checking file: ", name);
            if (!file.newer || file.excluded)
                continue;
            ShowProgress(level, "Overwriting file: ", name);
            ChangeResult copied;
            if (file.copiedHere) {
                AddCopied(file.tally);
                copied = ChangeResult{CopyAgainIfCrowdedOut(level, name, file.copied)};
            } else {
                copied = changes_.Overwrite(level.sourceDir + name, targetPath, this);
            }
            if (copied)
                report_.Record(ReportList::OverwrittenFiles, std::move(targetPath));
            else
                report_.RecordProblem(copied.ProblemOr(ProblemKind::CopyFile), targetPath,
                                      copied.status.Reason());
        } else if (!file.excluded) {
            ShowProgress(level, "Adding file: ", name);
            AddCopied(file.tally);
            if (const ChangeResult copied =
                    changes_.FinishAddFile(targetPath, CopyAgainIfCrowdedOut(level, name, file.copied)))
                report_.Record(ReportList::AddedFiles, std::move(targetPath));
            else
                report_.RecordProblem(ProblemKind::CopyFile, targetPath, copied.status.Reason());
        }
    }
}

bool SyncEngine::AddSpelledAsListed(Level& level, const std::string& name, const SyncOptions& options,
                                    OrderedResults& results, std::set<std::string>& addedFolds,
                                    const std::function<void()>& handOut)
{
    // The check looks at the target as the adds handed out before left it.
    if (!addedFolds.insert(FoldCase(name)).second) {
        handOut();
        results.CollectAll();
    }
    SpellingCheck spelling = spellings_.BeforeAdd(level.targetDir, name, level.target.files,
                                                  level.target.folders, level.source.files);
    if (spelling.outcome == SpellingOutcome::Free)
        return true;
    handOut();
    if (spelling.outcome == SpellingOutcome::Refused) {
        results.Add([this, targetPath = level.targetDir + name, status = std::move(spelling.status)] {
            report_.RecordProblem(ProblemKind::CopyFile, targetPath, status.Reason());
        });
    } else {
        results.CollectAll();
        RespellTwin(level, name, spelling.listedName, options);
    }
    return false;
}

std::size_t SyncEngine::KnownCopies(const Level& level)
{
    std::size_t copies = level.newerTwins ? level.newerTwins->size() : 0;
    for (const std::string& name : level.source.files)
        copies += level.target.files.contains(name) ? 0 : 1;
    return copies;
}

void SyncEngine::HandleSourceFilesOnPool(Level& level, const SyncOptions& options, WorkPool& pool)
{
    // A level whose files make one piece gains nothing from a worker but the hand-over, unless it has
    // several files to copy that can go side by side (a few large ones, say).
    const std::size_t files = level.source.files.size();
    if (files <= filesPerPiece && KnownCopies(level) < 2) {
        HandleSourceFiles(level, options);
        return;
    }
    // Pieces small enough to give every worker a share of a small level.
    const std::size_t shares = 2 * pool.WorkerCount();
    const std::size_t pieceSize = std::clamp<std::size_t>((files + shares - 1) / shares, 1, filesPerPiece);
    OrderedResults results(pool, pool.WorkerCount() * piecesPerWorker, WhileWaiting());
    auto piece = std::make_shared<std::vector<PooledFile>>();
    const auto handOut = [&] {
        if (piece->empty())
            return;
        // What the foretelling needs is taken now: once handed out, the piece is the worker's.
        const PooledFile& first = piece->front();
        results.Post([this, &level, piece, &options] { CompareAndCopy(level, *piece, options); },
                     [this, &level, piece] { RecordFiles(level, *piece); },
                     [this, &level, name = first.name, twin = first.twin,
                      knownNewer = first.comparedAhead && first.newer] {
                         ForetellFirstFile(level, *name, twin, knownNewer);
                     });
        piece = std::make_shared<std::vector<PooledFile>>();
    };
    std::set<std::string> addedFolds;
    std::atomic<std::uint64_t>* const inFlight = InFlightCounter();
    for (const std::string& name : level.source.files) {
        PooledFile file;
        file.name = &name;
        file.tally.inFlight = inFlight;
        if (const auto twin = level.target.files.find(name); twin != level.target.files.end()) {
            file.twin = true;
            // Present on both sides, so never a delete candidate, whatever the worker finds.
            level.target.files.erase(twin);
            if (level.newerTwins) {
                file.comparedAhead = true;
                file.newer = level.newerTwins->contains(name);
                // Not newer: only its progress text is left to give, in its place after the files
                // before it.
                if (!file.newer && piece->empty()) {
                    results.Add([this, &level, &name] { ShowProgress(level, "Checking file: ", name); });
                    if (IsStopped())
                        break;
                    continue;
                }
            }
        } else if (!options.addMissing || IsExcluded(level.sourceDir + name)) {
            continue;
        } else if (!AddSpelledAsListed(level, name, options, results, addedFolds, handOut)) {
            continue;
        }
        piece->push_back(std::move(file));
        if (piece->size() == pieceSize)
            handOut();
        if (IsStopped())
            break;
    }
    handOut();
    results.CollectAll();
}

void SyncEngine::DeleteTargetOnlyFilesOnPool(Level& level, const SyncOptions& options, WorkPool& pool)
{
    // A delete or two cost less here than the hand-over to a worker.
    if (level.target.files.size() < 3) {
        DeleteTargetOnlyFiles(level, options);
        return;
    }
    OrderedResults results(pool, pool.WorkerCount() * piecesPerWorker, WhileWaiting());
    for (const std::string& name : level.target.files) {
        std::string targetPath = JoinPath(level.targetDir, name);
        if (IsExcluded(targetPath))
            continue;
        // Questions are asked here, in walk order, and a delete is handed out only after its Yes.
        if (std::string refusal = DeleteRefusal(options); !refusal.empty()) {
            results.Add([this, targetPath, refusal = std::move(refusal)]() mutable {
                report_.RecordProblem(ProblemKind::DeleteFile, targetPath, std::move(refusal));
            });
        } else if (!options.confirmDeletes ||
                   ConfirmDelete("Delete File", "Delete file: ", targetPath, runState_.fileYesToAll,
                                 runState_.fileNoToAll) == ConfirmResult::Delete) {
            ++deletesBegun_;
            auto done = std::make_shared<TreeWork>();
            done->tally.inFlight = InFlightCounter();
            const auto record = [this, &level, &name, done, targetPath,
                                 useTrash = options.useTrash]() mutable {
                if (!done->started && !useTrash)
                    return;
                ShowProgress(level, "Deleting file: ", name);
                // With the Trash, the move and its journal record are done here, one after the other.
                const ChangeResult deleted =
                    useTrash ? changes_.DeleteFile(targetPath) : ChangeResult{done->status};
                if (deleted)
                    report_.Record(ReportList::DeletedFiles, std::move(targetPath));
                else
                    report_.RecordProblem(deleted.ProblemOr(ProblemKind::DeleteFile), targetPath,
                                          deleted.status.Reason());
            };
            if (options.useTrash)
                results.Add(record);
            else
                results.Post(
                    // One call whose Yes was given: done even when a stop comes before a worker
                    // takes it, so that the answer asked last is the only one a Cancel undoes.
                    [this, done, targetPath] {
                        done->started = true;
                        done->status = fileSystem_.DeleteFile(targetPath);
                    },
                    record, [this, &level, &name] { Foretell(level, "Deleting file: ", name); });
        }
        if (IsStopped())
            break;
    }
    results.CollectAll();
}

bool SyncEngine::FolderSpelledAsListed(Level& level, const std::string& name, const SyncOptions& options,
                                       OrderedResults& results, std::set<std::string>& addedFolds)
{
    if (!addedFolds.insert(FoldCase(name)).second)
        results.CollectAll();
    SpellingCheck spelling = spellings_.BeforeAdd(level.targetDir, name, level.target.folders,
                                                  level.target.files, level.source.folders);
    if (spelling.outcome == SpellingOutcome::Free)
        return true;
    if (spelling.outcome == SpellingOutcome::Refused) {
        results.Add([this, &level, &name, status = std::move(spelling.status)] {
            ShowProgress(level, "Checking folder: ", name);
            report_.RecordProblem(ProblemKind::CopyFolder, JoinPath(level.sourceDir, name), status.Reason());
        });
    } else {
        // The folder under its other spelling is the twin; the walk goes down into it here.
        results.CollectAll();
        ShowProgress(level, "Checking folder: ", name);
        SynchronisePair(FolderPath(level.sourceDir, name), FolderPath(level.targetDir, spelling.listedName),
                        options, nullptr);
    }
    return false;
}

void SyncEngine::HandleSourceFoldersOnPool(Level& level, const SyncOptions& options, WorkPool& pool)
{
    OrderedResults results(pool, pool.WorkerCount() * piecesPerWorker, WhileWaiting());
    TwinPairs twins = readAhead_->TwinsOf(level);
    std::set<std::string> addedFolds;
    for (const std::string& name : level.source.folders) {
        if (IsStopped())
            break;
        const std::string sourceFolder = FolderPath(level.sourceDir, name);
        std::string targetFolder = FolderPath(level.targetDir, name);
        if (const auto twin = level.target.folders.find(name); twin != level.target.folders.end()) {
            // The sub-folder's own records come after everything handed out before it.
            results.CollectAll();
            ShowProgress(level, "Checking folder: ", name);
            if (!IsExcluded(sourceFolder) && !IsExcluded(targetFolder))
                SynchronisePair(sourceFolder, targetFolder, options, twins.Take(name));
            level.target.folders.erase(twin);
        } else if (!options.addMissing || IsExcluded(sourceFolder)) {
            results.Add([this, &level, &name] { ShowProgress(level, "Checking folder: ", name); });
        } else if (FolderSpelledAsListed(level, name, options, results, addedFolds)) {
            auto done = std::make_shared<TreeWork>();
            done->tally.inFlight = InFlightCounter();
            results.Post(
                [this, done, sourceFolder, targetFolder] {
                    if (IsStopped())
                        return;
                    done->started = true;
                    done->status = fileSystem_.CopyFolderTree(sourceFolder, targetFolder,
                                                              runState_.stopRequested, &done->tally);
                },
                [this, &level, &name, done, sourceFolder, targetFolder] {
                    if (!done->started)
                        return;
                    ShowProgress(level, "Checking folder: ", name);
                    ShowProgress(level, "Adding folder: ", name);
                    AddCopied(done->tally);
                    if (const ChangeResult copied = changes_.FinishAddFolder(targetFolder, done->status)) {
                        std::string targetPath = JoinPath(level.targetDir, name);
                        report_.addedFolderContents[targetPath] = {done->tally.files, done->tally.bytes};
                        report_.Record(ReportList::AddedFolders, std::move(targetPath));
                    } else {
                        report_.RecordProblem(ProblemKind::CopyFolder, JoinPath(level.sourceDir, name),
                                              copied.status.Reason());
                    }
                },
                [this, &level, &name] {
                    Foretell(level, "Checking folder: ", name);
                    Foretell(level, "Adding folder: ", name);
                });
        }
    }
    results.CollectAll();
}

void SyncEngine::DeleteTargetOnlyFoldersOnPool(Level& level, const SyncOptions& options, WorkPool& pool)
{
    OrderedResults results(pool, pool.WorkerCount() * piecesPerWorker, WhileWaiting());
    for (const std::string& name : level.target.folders) {
        if (IsExcluded(FolderPath(level.targetDir, name)))
            continue;
        std::string targetPath = JoinPath(level.targetDir, name);
        if (std::string refusal = DeleteRefusal(options); !refusal.empty()) {
            results.Add([this, targetPath, refusal = std::move(refusal)]() mutable {
                report_.RecordProblem(ProblemKind::DeleteFolder, targetPath, std::move(refusal));
            });
        } else if (!options.confirmDeletes ||
                   ConfirmDelete("Delete Sub-Folder", "Delete sub-folder: ", targetPath,
                                 runState_.folderYesToAll,
                                 runState_.folderNoToAll) == ConfirmResult::Delete) {
            ++deletesBegun_;
            auto done = std::make_shared<TreeWork>();
            done->tally.inFlight = InFlightCounter();
            const std::string folder = FolderPath(level.targetDir, name);
            const auto record = [this, &level, &name, done, folder, targetPath,
                                 useTrash = options.useTrash]() mutable {
                if (!done->started && !useTrash)
                    return;
                ShowProgress(level, "Deleting folder: ", name);
                const ChangeResult deleted = useTrash ? changes_.DeleteFolder(folder, runState_.stopRequested)
                                                      : ChangeResult{done->status};
                if (deleted)
                    report_.Record(ReportList::DeletedFolders, std::move(targetPath));
                else
                    report_.RecordProblem(deleted.ProblemOr(ProblemKind::DeleteFolder), targetPath,
                                          deleted.status.Reason());
            };
            if (options.useTrash)
                results.Add(record);
            else
                results.Post(
                    [this, done, folder] {
                        if (IsStopped())
                            return;
                        done->started = true;
                        done->status = fileSystem_.DeleteFolderTree(folder, runState_.stopRequested);
                    },
                    record, [this, &level, &name] { Foretell(level, "Deleting folder: ", name); });
        }
        if (IsStopped())
            break;
    }
    results.CollectAll();
}

} // namespace twinfol
