// The folder walk: per level, list both sides into sorted name sets, then handle the source files,
// the target-only files, the source sub-folders and the target-only sub-folders, in that order.
#include "engine/walk/sync_engine.h"

#include "engine/walk/sync_engine_ahead.h"

#include <utility>

namespace twinfol {
namespace {

// Room reserved up front for the progress text of one level, so that it is rebuilt in place.
constexpr std::size_t progressTextCapacity = 500;

} // namespace

std::string SyncEngine::FolderPath(std::string_view folder, std::string_view name)
{
    std::string path = JoinPath(folder, name);
    path += pathSeparator;
    return path;
}

SyncEngine::SyncEngine(FileSystem& fileSystem, const ExclusionList& exclusions, SyncRunState& runState,
                       SyncReport& report, SyncHost& host)
    : fileSystem_(fileSystem), exclusions_(exclusions), runState_(runState), report_(report), host_(host),
      trashFolders_(fileSystem), changes_(fileSystem), spellings_(fileSystem), leftovers_(fileSystem, report)
{
}

void SyncEngine::SetUserPlaces(const UserPlaces& places, WallClock clock)
{
    places_ = places;
    clock_ = clock;
    trashFolders_.SetHomeTrash(places.homeTrash);
}

void SyncEngine::Run(const std::string& sourceRoot, const std::string& targetRoot, const SyncOptions& options)
{
    const auto started = std::chrono::steady_clock::now();
    report_.startTime = std::chrono::system_clock::now();
    copies_ = {};
    deletesBegun_ = 0;
    checkEmptySource_ = options.emptySource == EmptySource::Refuse;
    sourceRootEmpty_ = false;
    {
        const std::unique_ptr<RunScope> scope = fileSystem_.BeginRun(sourceRoot, targetRoot);
        // Another run writing into the same target: nothing is touched, not even the journals.
        if (const FsStatus may = scope->Status(); !may) {
            report_.refusal = may.Reason();
            return;
        }
        leftovers_.BeginRun(clock_());
        changes_.BeginRun(places_ ? &*places_ : nullptr, clock_, sourceRoot, targetRoot, options);
        SynchroniseFolder(sourceRoot, targetRoot, options);
        changes_.EndRun(report_);
    }
    report_.durationSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void SyncEngine::SynchroniseFolder(const std::string& sourceDir, const std::string& targetDir,
                                   const SyncOptions& options)
{
    // With more than one job the workers read the listings of the twin folders ahead of the walk.
    std::optional<ReadAhead> readAhead;
    if (WorkPool* const pool = PoolFor(options); pool != nullptr && readAhead_ == nullptr)
        readAhead_ = &readAhead.emplace(*this, *pool, options);
    SynchronisePair(sourceDir, targetDir, options, nullptr);
    if (readAhead)
        readAhead_ = nullptr;
}

void SyncEngine::SynchronisePair(const std::string& sourceDir, const std::string& targetDir,
                                 const SyncOptions& options, const std::shared_ptr<ListedPair>& ahead)
{
    Level level{sourceDir, targetDir, {}, {}, {}, {}, {}, {}, ahead};
    level.progress.reserve(progressTextCapacity);

    FsStatus sourceListed;
    FsStatus targetListed;
    bool targetRead = false;
    if (ahead == nullptr || !readAhead_->Take(*ahead, level, sourceListed, targetListed, targetRead))
        sourceListed = ListInto(sourceDir, level.source);
    // A source folder that cannot be listed is never taken for an empty one: that would make every
    // item of its target twin look like a delete candidate. The pair is left alone instead.
    if (!sourceListed) {
        report_.RecordProblem(ProblemKind::ReadFolder, WithoutTrailingSeparator(sourceDir),
                              sourceListed.Reason());
        return;
    }
    if (IsStopped())
        return;
    // A target folder that cannot be listed is not taken for an empty one either: where it can still
    // be written, every "add" would replace a file the listing could not show, newer or not.
    if (!targetRead)
        targetListed = ListInto(targetDir, level.target);
    if (!targetListed) {
        report_.RecordProblem(ProblemKind::ReadFolder, WithoutTrailingSeparator(targetDir),
                              targetListed.Reason());
        return;
    }
    if (IsStopped())
        return;
    // A leftover the person excluded is left alone like anything else excluded.
    std::erase_if(level.target.leftovers,
                  [&](const std::string& name) { return IsExcluded(targetDir + name); });
    leftovers_.Sweep(targetDir, level.target.leftovers);
    LeaveTrashFoldersAlone(level);
    // Only the roots' level is checked: an empty sub-folder is an ordinary thing.
    if (std::exchange(checkEmptySource_, false))
        sourceRootEmpty_ = level.source.files.empty() && level.source.folders.empty();

    // With one job the engine thread does every step itself, exactly as it always has.
    WorkPool* const pool = PoolFor(options);
    if (pool != nullptr)
        HandleSourceFilesOnPool(level, options, *pool);
    else
        HandleSourceFiles(level, options);
    if (options.deleteMissing && !IsStopped()) {
        if (pool != nullptr)
            DeleteTargetOnlyFilesOnPool(level, options, *pool);
        else
            DeleteTargetOnlyFiles(level, options);
    }
    level.source.stamps.reset();
    level.target.stamps.reset();
    if (!options.checkSubFolders)
        return;
    if (pool != nullptr)
        HandleSourceFoldersOnPool(level, options, *pool);
    else
        HandleSourceFolders(level, options);
    if (options.deleteMissing && !IsStopped()) {
        if (pool != nullptr)
            DeleteTargetOnlyFoldersOnPool(level, options, *pool);
        else
            DeleteTargetOnlyFolders(level, options);
    }
}

FsStatus SyncEngine::ListInto(const std::string& folder, Listing& listing)
{
    const auto addEntry = [&](std::string_view name, EntryKind kind) {
        // A copy's leftover temporary file belongs to no user: it is never copied, counted or deleted
        // as an item; the target's are swept once they are old.
        if (IsTemporaryName(name)) {
            if (kind == EntryKind::File)
                listing.leftovers.emplace_back(name);
        } else {
            if (kind != EntryKind::Folder)
                listing.files.emplace(name);
            else if (trashFolders_.IsTrashFolder(folder, name))
                listing.trashFolders.emplace(name);
            else
                listing.folders.emplace(name);
        }
        return !IsStopped();
    };
    return fileSystem_.ListFolderForStamps(folder, addEntry, listing.stamps);
}

// A trash folder on one side is no item of the person's: whatever of its name stands on the other side
// is neither copied into it nor deleted for its sake.
void SyncEngine::LeaveTrashFoldersAlone(Level& level)
{
    for (const std::string& name : level.source.trashFolders) {
        level.target.files.erase(name);
        level.target.folders.erase(name);
    }
    for (const std::string& name : level.target.trashFolders) {
        level.source.files.erase(name);
        level.source.folders.erase(name);
    }
}

void SyncEngine::ShowProgress(Level& level, std::string_view prefix, std::string_view name)
{
    level.progress.assign(prefix);
    level.progress += level.targetDir;
    level.progress += name;
    // A text shown ahead, while the work it tells of was under way, is not shown twice.
    if (!foretold_.empty()) {
        const bool wasForetold = foretold_.front() == level.progress;
        if (wasForetold)
            foretold_.pop_front();
        else
            foretold_.clear();
        if (wasForetold)
            return;
    }
    host_.SetProgressText(level.progress);
}

void SyncEngine::Foretell(Level& level, std::string_view prefix, std::string_view name)
{
    level.progress.assign(prefix);
    level.progress += level.targetDir;
    level.progress += name;
    host_.SetProgressText(level.progress);
    foretold_.push_back(level.progress);
}

bool SyncEngine::IsSourceNewer(Level& level, const std::string& name, const SyncOptions& options,
                               const std::string& targetName)
{
    if (level.newerTwins && targetName.empty())
        return level.newerTwins->contains(name);
    return CompareStamps(level.source, level.sourceDir, level.target, level.targetDir, name, targetName,
                         options, level.sourceStamp, level.targetStamp);
}

bool SyncEngine::CompareStamps(Listing& source, const std::string& sourceDir, Listing& target,
                               const std::string& targetDir, const std::string& name,
                               const std::string& targetName, const SyncOptions& options,
                               std::optional<FileStamp>& sourceStamp, std::optional<FileStamp>& targetStamp)
{
    // A stamp that cannot be read makes the file "not newer": no overwrite and no problem line.
    const auto read = [&](Listing& listing, const std::string& folder, const std::string& entry) {
        return (listing.stamps ? listing.stamps->ReadFileStamp(entry)
                               : fileSystem_.ReadFileStamp(folder + entry))
            .ToOptional();
    };
    sourceStamp = read(source, sourceDir, name);
    targetStamp = read(target, targetDir, targetName.empty() ? name : targetName);
    if (!sourceStamp || !targetStamp)
        return false;
    if (options.ignoreHourShift && IsHourShift(*sourceStamp, *targetStamp))
        return false;
    return IsNewerForOverwrite(*sourceStamp, *targetStamp);
}

void SyncEngine::TellObserver(PlanStep step, const std::string& sourcePath, const std::string& targetPath,
                              const FsStatus& outcome, const Level* compared)
{
    if (!observer_)
        return;
    PlanStepItem item{step, sourcePath, targetPath, outcome, {}, {}};
    if (compared) {
        item.sourceStamp = compared->sourceStamp;
        item.targetStamp = compared->targetStamp;
    }
    observer_->StepDecided(item);
}

void SyncEngine::HandleSourceFiles(Level& level, const SyncOptions& options)
{
    // The paths are built only for files that are acted on: most files of a run are only compared.
    std::string sourcePath;
    std::string targetPath;
    const auto buildPaths = [&](const std::string& name) {
        sourcePath.assign(level.sourceDir).append(name);
        targetPath.assign(level.targetDir).append(name);
    };
    for (const std::string& name : level.source.files) {
        const auto twin = level.target.files.find(name);
        if (twin == level.target.files.end() && options.addMissing) {
            buildPaths(name);
            if (!IsExcluded(sourcePath)) {
                // A target that folds case may hold this file under another spelling: it becomes the
                // twin, or the add is refused, never made over it.
                const SpellingCheck spelling = spellings_.BeforeAdd(level.targetDir, name, level.target.files,
                                                                    level.target.folders, level.source.files);
                if (spelling.outcome == SpellingOutcome::Refused) {
                    report_.RecordProblem(ProblemKind::CopyFile, targetPath, spelling.status.Reason());
                    TellObserver(PlanStep::AddFile, sourcePath, targetPath, spelling.status);
                } else if (spelling.outcome == SpellingOutcome::OtherSpelling) {
                    RespellTwin(level, name, spelling.listedName, options);
                } else {
                    ShowProgress(level, "Adding file: ", name);
                    const ChangeResult copied = changes_.AddFile(sourcePath, targetPath, this);
                    if (copied)
                        report_.Record(ReportList::AddedFiles, targetPath);
                    else
                        report_.RecordProblem(ProblemKind::CopyFile, targetPath, copied.status.Reason());
                    TellObserver(PlanStep::AddFile, sourcePath, targetPath, copied.status);
                }
            } else {
                TellObserver(PlanStep::Excluded, sourcePath, targetPath);
            }
        }
        if (twin != level.target.files.end()) {
            ShowProgress(level, "Checking file: ", name);
            if (IsSourceNewer(level, name, options, {})) {
                buildPaths(name);
                if (!IsExcluded(sourcePath) && !IsExcluded(targetPath)) {
                    ShowProgress(level, "Overwriting file: ", name);
                    const ChangeResult copied = changes_.Overwrite(sourcePath, targetPath, this);
                    if (copied)
                        report_.Record(ReportList::OverwrittenFiles, targetPath);
                    else
                        report_.RecordProblem(copied.ProblemOr(ProblemKind::CopyFile), targetPath,
                                              copied.status.Reason());
                    TellObserver(PlanStep::Overwrite, sourcePath, targetPath, copied.status, &level);
                } else {
                    TellObserver(PlanStep::Excluded, sourcePath, targetPath);
                }
            } else if (observer_) {
                buildPaths(name);
                TellObserver(PlanStep::LeftAlone, sourcePath, targetPath, {}, &level);
            }
            // Present on both sides, so never a delete candidate, whatever happened above.
            level.target.files.erase(twin);
        }
        if (IsStopped())
            return;
    }
}

std::string SyncEngine::DeleteRefusal(const SyncOptions& options) const
{
    if (sourceRootEmpty_)
        return emptySourceReason;
    if (options.maxDeletes && deletesBegun_ >= *options.maxDeletes)
        return "the run has reached its limit of " + std::to_string(*options.maxDeletes) + " deletes";
    return {};
}

void SyncEngine::DataCopied(std::uint64_t copied, std::uint64_t size)
{
    copies_.fileBytesDone = copied;
    copies_.fileSize = size;
    host_.ShowCopyProgress(copies_);
}

void SyncEngine::FileCopied(std::uint64_t size)
{
    copies_.fileBytesDone = copies_.fileSize = 0;
    report_.filesCopied = ++copies_.filesCopied;
    report_.bytesCopied = copies_.bytesCopied += size;
    host_.ShowCopyProgress(copies_);
}

ConfirmResult SyncEngine::ConfirmDelete(std::string_view caption, std::string_view textPrefix,
                                        const std::string& path, bool& yesToAll, bool& noToAll)
{
    ConfirmQuestion question;
    question.caption = caption;
    question.lines[0] = JoinPath(textPrefix, path);
    const ConfirmResult result = AskDeleteConfirmation(host_, question, yesToAll, noToAll);
    if (result == ConfirmResult::CancelRun)
        runState_.RequestStop();
    return result;
}

void SyncEngine::DeleteTargetOnlyFiles(Level& level, const SyncOptions& options)
{
    for (const std::string& name : level.target.files) {
        std::string targetPath = JoinPath(level.targetDir, name);
        if (IsExcluded(targetPath)) {
            TellObserver(PlanStep::Excluded, {}, targetPath);
            continue;
        }
        // Refused before anyone is asked: a question whose Yes would be ignored helps nobody.
        if (std::string refusal = DeleteRefusal(options); !refusal.empty()) {
            report_.RecordProblem(ProblemKind::DeleteFile, targetPath, std::move(refusal));
        } else if (!options.confirmDeletes ||
                   ConfirmDelete("Delete File", "Delete file: ", targetPath, runState_.fileYesToAll,
                                 runState_.fileNoToAll) == ConfirmResult::Delete) {
            ++deletesBegun_;
            ShowProgress(level, "Deleting file: ", name);
            const ChangeResult deleted = changes_.DeleteFile(targetPath);
            TellObserver(PlanStep::DeleteFile, {}, targetPath, deleted.status);
            if (deleted)
                report_.Record(ReportList::DeletedFiles, std::move(targetPath));
            else
                report_.RecordProblem(deleted.ProblemOr(ProblemKind::DeleteFile), targetPath,
                                      deleted.status.Reason());
        }
        if (IsStopped())
            return;
    }
}

void SyncEngine::HandleSourceFolders(Level& level, const SyncOptions& options)
{
    for (const std::string& name : level.source.folders) {
        if (IsStopped())
            return;
        ShowProgress(level, "Checking folder: ", name);
        const std::string sourceFolder = FolderPath(level.sourceDir, name);
        const std::string targetFolder = FolderPath(level.targetDir, name);
        if (const auto twin = level.target.folders.find(name); twin != level.target.folders.end()) {
            if (!IsExcluded(sourceFolder) && !IsExcluded(targetFolder))
                SynchronisePair(sourceFolder, targetFolder, options, nullptr);
            else
                TellObserver(PlanStep::Excluded, sourceFolder, targetFolder);
            // Present on both sides, so never a delete candidate, excluded or not.
            level.target.folders.erase(twin);
        } else if (options.addMissing && !IsExcluded(sourceFolder)) {
            // As for files, a folder under another spelling is the twin. It keeps the disk's spelling:
            // some FUSE drivers (fusefat) lose a folder's content when it is renamed.
            const SpellingCheck spelling = spellings_.BeforeAdd(level.targetDir, name, level.target.folders,
                                                                level.target.files, level.source.folders);
            if (spelling.outcome == SpellingOutcome::Refused) {
                report_.RecordProblem(ProblemKind::CopyFolder, JoinPath(level.sourceDir, name),
                                      spelling.status.Reason());
                TellObserver(PlanStep::AddFolder, sourceFolder, targetFolder, spelling.status);
            } else if (spelling.outcome == SpellingOutcome::OtherSpelling) {
                SynchronisePair(sourceFolder, FolderPath(level.targetDir, spelling.listedName), options,
                                nullptr);
            } else {
                ShowProgress(level, "Adding folder: ", name);
                AddFolder(level, name, sourceFolder, targetFolder);
            }
        } else if (options.addMissing) {
            TellObserver(PlanStep::Excluded, sourceFolder, targetFolder);
        }
    }
}

void SyncEngine::AddFolder(Level& level, const std::string& name, const std::string& sourceFolder,
                           const std::string& targetFolder)
{
    const CopyCounters before = copies_;
    const ChangeResult copied = changes_.AddFolder(sourceFolder, targetFolder, runState_.stopRequested, this);
    if (copied) {
        std::string targetPath = JoinPath(level.targetDir, name);
        report_.addedFolderContents[targetPath] = {copies_.filesCopied - before.filesCopied,
                                                   copies_.bytesCopied - before.bytesCopied};
        report_.Record(ReportList::AddedFolders, std::move(targetPath));
    } else {
        report_.RecordProblem(ProblemKind::CopyFolder, JoinPath(level.sourceDir, name),
                              copied.status.Reason());
    }
    TellObserver(PlanStep::AddFolder, sourceFolder, targetFolder, copied.status);
}

// The file the target holds under another spelling takes the source's: renamed first, so that a copy
// keeps the new spelling, but compared by the stamp it had before, as some FUSE drivers stamp a renamed
// file with the time of the rename.
void SyncEngine::RespellTwin(Level& level, const std::string& name, const std::string& listedName,
                             const SyncOptions& options)
{
    // An excluded target file is left as it is, under its own spelling; it is no delete candidate either.
    if (IsExcluded(JoinPath(level.targetDir, listedName)))
        return;
    const bool newer = IsSourceNewer(level, name, options, listedName);
    const std::string targetPath = JoinPath(level.targetDir, name);
    if (const FsStatus respelled = fileSystem_.Respell(JoinPath(level.targetDir, listedName), name);
        !respelled) {
        report_.RecordProblem(ProblemKind::CopyFile, targetPath, respelled.Reason());
        return;
    }
    report_.notes.push_back("Renamed " + JoinPath(level.targetDir, listedName) + " to " + name +
                            ", as the source spells it");
    const std::string sourcePath = JoinPath(level.sourceDir, name);
    if (!newer || IsExcluded(sourcePath) || IsExcluded(targetPath))
        return;
    ShowProgress(level, "Overwriting file: ", name);
    if (const ChangeResult copied = changes_.Overwrite(sourcePath, targetPath, this))
        report_.Record(ReportList::OverwrittenFiles, targetPath);
    else
        report_.RecordProblem(copied.ProblemOr(ProblemKind::CopyFile), targetPath, copied.status.Reason());
}

void SyncEngine::DeleteTargetOnlyFolders(Level& level, const SyncOptions& options)
{
    for (const std::string& name : level.target.folders) {
        if (IsExcluded(FolderPath(level.targetDir, name))) {
            TellObserver(PlanStep::Excluded, {}, FolderPath(level.targetDir, name));
            continue;
        }
        std::string targetPath = JoinPath(level.targetDir, name);
        if (std::string refusal = DeleteRefusal(options); !refusal.empty()) {
            report_.RecordProblem(ProblemKind::DeleteFolder, targetPath, std::move(refusal));
        } else if (!options.confirmDeletes ||
                   ConfirmDelete("Delete Sub-Folder", "Delete sub-folder: ", targetPath,
                                 runState_.folderYesToAll,
                                 runState_.folderNoToAll) == ConfirmResult::Delete) {
            ++deletesBegun_;
            ShowProgress(level, "Deleting folder: ", name);
            const ChangeResult deleted =
                changes_.DeleteFolder(FolderPath(level.targetDir, name), runState_.stopRequested);
            TellObserver(PlanStep::DeleteFolder, {}, FolderPath(level.targetDir, name), deleted.status);
            if (deleted)
                report_.Record(ReportList::DeletedFolders, std::move(targetPath));
            else
                report_.RecordProblem(deleted.ProblemOr(ProblemKind::DeleteFolder), targetPath,
                                      deleted.status.Reason());
        }
        if (IsStopped())
            return;
    }
}

} // namespace twinfol
