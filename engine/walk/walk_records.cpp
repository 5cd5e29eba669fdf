// The texts, report lines and observer steps of the walk's outcomes.
#include "engine/walk/walk_records.h"

#include "base/path.h"

namespace twinfol {
namespace {

// Room reserved up front for a progress text, so that it is rebuilt in place.
constexpr std::size_t progressTextCapacity = 500;

} // namespace

void WalkRecords::SetText(std::string_view prefix, const std::string& folder, std::string_view name)
{
    if (text_.capacity() < progressTextCapacity)
        text_.reserve(progressTextCapacity);
    text_.assign(prefix);
    text_ += folder;
    text_ += name;
}

void WalkRecords::Show(std::string_view prefix, const std::string& folder, std::string_view name)
{
    SetText(prefix, folder, name);
    // A text shown ahead, while the work it tells of was under way, is not shown twice.
    if (!foretold_.empty()) {
        const bool wasForetold = foretold_.front() == text_;
        if (wasForetold)
            foretold_.pop_front();
        else
            foretold_.clear();
        if (wasForetold)
            return;
    }
    host_.SetProgressText(text_);
}

void WalkRecords::Problem(ProblemKind kind, std::string_view path, const FsStatus& status)
{
    if (diskLost_)
        return;
    if (diskWatch_ != nullptr) {
        if (const std::optional<std::string> root = diskWatch_->LostRoot(status)) {
            diskLost_ = true;
            runState_->RequestStop();
            report_.RecordProblem(ProblemKind::ReadFolder, *root, lostDiskReason);
            return;
        }
    }
    report_.RecordProblem(kind, path, status.Reason());
}

void WalkRecords::Foretell(std::string_view prefix, const std::string& folder, std::string_view name)
{
    SetText(prefix, folder, name);
    host_.SetProgressText(text_);
    foretold_.push_back(text_);
}

void WalkRecords::Tell(PlanStep step, const std::string& sourcePath, const std::string& targetPath,
                       const FsStatus& outcome, const Compared* compared, std::string rule)
{
    if (!observer_)
        return;
    PlanStepItem item{step,           sourcePath, targetPath, outcome, {}, {}, TwinComparison::Unreadable,
                      std::move(rule)};
    if (compared) {
        item.sourceStamp = compared->source;
        item.targetStamp = compared->target;
        item.comparison = compared->comparison;
    }
    observer_->StepDecided(item);
}

void WalkRecords::FileAdded(const std::string& sourcePath, const std::string& targetPath,
                            const ChangeResult& result)
{
    EntryChanged(targetPath);
    if (result)
        report_.Record(ReportList::AddedFiles, targetPath);
    else
        Problem(ProblemKind::CopyFile, targetPath, result.status);
    Tell(PlanStep::AddFile, sourcePath, targetPath, result.status);
}

void WalkRecords::FileOverwritten(const std::string& sourcePath, const std::string& targetPath,
                                  const ChangeResult& result, const Compared& compared)
{
    EntryChanged(targetPath);
    if (result)
        report_.Record(ReportList::OverwrittenFiles, targetPath);
    else
        Problem(result.ProblemOr(ProblemKind::CopyFile), targetPath, result.status);
    Tell(PlanStep::Overwrite, sourcePath, targetPath, result.status, &compared);
}

void WalkRecords::FileLeftAlone(const std::string& sourcePath, const std::string& targetPath,
                                const Compared& compared)
{
    Tell(PlanStep::LeftAlone, sourcePath, targetPath, {}, &compared);
}

void WalkRecords::Excluded(const std::string& sourcePath, const std::string& targetPath)
{
    Tell(PlanStep::Excluded, sourcePath, targetPath, {}, nullptr, excludedByPathRule);
}

void WalkRecords::Ignored(const std::string& sourcePath, const std::string& targetPath, std::string rule)
{
    report_.ignoredItems.push_back({targetPath.empty() ? sourcePath : targetPath, rule});
    Tell(PlanStep::Ignored, sourcePath, targetPath, {}, nullptr, std::move(rule));
}

void WalkRecords::FileDeleted(const std::string& targetPath, const ChangeResult& result)
{
    EntryChanged(targetPath);
    if (result)
        report_.Record(ReportList::DeletedFiles, targetPath);
    else
        Problem(result.ProblemOr(ProblemKind::DeleteFile), targetPath, result.status);
    Tell(PlanStep::DeleteFile, {}, targetPath, result.status);
}

void WalkRecords::FolderAdded(const FolderItem& folder, const ChangeResult& result, const CopyTally* tally)
{
    EntryChanged(folder.targetFolder);
    // A copy that left entries out made the folder and copied the rest: it is added all the same.
    const bool partly = tally != nullptr && !tally->notCopied.empty();
    if (result || partly) {
        std::string targetPath = WithoutTrailingSeparator(folder.targetFolder);
        report_.addedFolderContents[targetPath] =
            tally != nullptr ? FolderContents{tally->files, tally->bytes} : FolderContents{};
        if (tally != nullptr && tally->cutShort)
            report_.incompleteFolders.insert(targetPath);
        if (partly)
            report_.partlyCopiedFolders.insert(targetPath);
        report_.Record(ReportList::AddedFolders, std::move(targetPath));
    } else {
        Problem(ProblemKind::CopyFolder, JoinPath(folder.sourceDir, folder.name), result.status);
    }
    Tell(PlanStep::AddFolder, folder.sourceFolder, folder.targetFolder, partly ? FsStatus() : result.status);
    if (partly)
        for (const NotCopiedEntry& entry : tally->notCopied)
            EntryNotCopied(entry);
}

void WalkRecords::EntryNotCopied(const NotCopiedEntry& entry)
{
    if (entry.sourcePath.ends_with(pathSeparator)) {
        Problem(ProblemKind::CopyFolder, WithoutTrailingSeparator(entry.sourcePath), entry.why);
        Tell(PlanStep::AddFolder, entry.sourcePath, entry.targetPath, entry.why);
    } else {
        Problem(ProblemKind::CopyFile, entry.targetPath, entry.why);
        Tell(PlanStep::AddFile, entry.sourcePath, entry.targetPath, entry.why);
    }
}

void WalkRecords::FolderDeleted(const std::string& targetFolder, const ChangeResult& result)
{
    EntryChanged(targetFolder);
    const std::string targetPath = WithoutTrailingSeparator(targetFolder);
    if (result)
        report_.Record(ReportList::DeletedFolders, targetPath);
    else
        Problem(result.ProblemOr(ProblemKind::DeleteFolder), targetPath, result.status);
    Tell(PlanStep::DeleteFolder, {}, targetFolder, result.status);
}

void WalkRecords::FileAddRefused(const std::string& sourcePath, const std::string& targetPath,
                                 const FsStatus& status)
{
    Problem(ProblemKind::CopyFile, targetPath, status);
    Tell(PlanStep::AddFile, sourcePath, targetPath, status);
}

void WalkRecords::FolderAddRefused(const FolderItem& folder, const FsStatus& status)
{
    Problem(ProblemKind::CopyFolder, JoinPath(folder.sourceDir, folder.name), status);
    Tell(PlanStep::AddFolder, folder.sourceFolder, folder.targetFolder, status);
}

void WalkRecords::DeleteRefused(ProblemKind kind, const std::string& path, std::string reason)
{
    if (!diskLost_)
        report_.RecordProblem(kind, path, std::move(reason));
}

void WalkRecords::FolderUnreadable(const std::string& folder, const FsStatus& status)
{
    Problem(ProblemKind::ReadFolder, WithoutTrailingSeparator(folder), status);
}

void WalkRecords::Respelled(const std::string& targetDir, const std::string& listedName,
                            const std::string& name)
{
    MarkChanged(targetDir);
    report_.notes.push_back("Renamed " + JoinPath(targetDir, listedName) + " to " + name +
                            ", as the source spells it");
}

} // namespace twinfol
