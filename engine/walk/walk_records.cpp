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
    if (result)
        report_.Record(ReportList::AddedFiles, targetPath);
    else
        report_.RecordProblem(ProblemKind::CopyFile, targetPath, result.status.Reason());
    Tell(PlanStep::AddFile, sourcePath, targetPath, result.status);
}

void WalkRecords::FileOverwritten(const std::string& sourcePath, const std::string& targetPath,
                                  const ChangeResult& result, const Compared& compared)
{
    if (result)
        report_.Record(ReportList::OverwrittenFiles, targetPath);
    else
        report_.RecordProblem(result.ProblemOr(ProblemKind::CopyFile), targetPath, result.status.Reason());
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
    if (result)
        report_.Record(ReportList::DeletedFiles, targetPath);
    else
        report_.RecordProblem(result.ProblemOr(ProblemKind::DeleteFile), targetPath, result.status.Reason());
    Tell(PlanStep::DeleteFile, {}, targetPath, result.status);
}

void WalkRecords::FolderAdded(const FolderItem& folder, const ChangeResult& result, FolderContents contents,
                              FolderCopy copy)
{
    if (result) {
        std::string targetPath = WithoutTrailingSeparator(folder.targetFolder);
        report_.addedFolderContents[targetPath] = contents;
        if (copy == FolderCopy::CutShort)
            report_.incompleteFolders.insert(targetPath);
        report_.Record(ReportList::AddedFolders, std::move(targetPath));
    } else {
        report_.RecordProblem(ProblemKind::CopyFolder, JoinPath(folder.sourceDir, folder.name),
                              result.status.Reason());
    }
    Tell(PlanStep::AddFolder, folder.sourceFolder, folder.targetFolder, result.status);
}

void WalkRecords::FolderDeleted(const std::string& targetFolder, const ChangeResult& result)
{
    const std::string targetPath = WithoutTrailingSeparator(targetFolder);
    if (result)
        report_.Record(ReportList::DeletedFolders, targetPath);
    else
        report_.RecordProblem(result.ProblemOr(ProblemKind::DeleteFolder), targetPath,
                              result.status.Reason());
    Tell(PlanStep::DeleteFolder, {}, targetFolder, result.status);
}

void WalkRecords::FileAddRefused(const std::string& sourcePath, const std::string& targetPath,
                                 const FsStatus& status)
{
    report_.RecordProblem(ProblemKind::CopyFile, targetPath, status.Reason());
    Tell(PlanStep::AddFile, sourcePath, targetPath, status);
}

void WalkRecords::FolderAddRefused(const FolderItem& folder, const FsStatus& status)
{
    report_.RecordProblem(ProblemKind::CopyFolder, JoinPath(folder.sourceDir, folder.name), status.Reason());
    Tell(PlanStep::AddFolder, folder.sourceFolder, folder.targetFolder, status);
}

void WalkRecords::DeleteRefused(ProblemKind kind, const std::string& path, std::string reason)
{
    report_.RecordProblem(kind, path, std::move(reason));
}

void WalkRecords::FolderUnreadable(const std::string& folder, const FsStatus& status)
{
    report_.RecordProblem(ProblemKind::ReadFolder, WithoutTrailingSeparator(folder), status.Reason());
}

void WalkRecords::Respelled(const std::string& targetDir, const std::string& listedName,
                            const std::string& name)
{
    report_.notes.push_back("Renamed " + JoinPath(targetDir, listedName) + " to " + name +
                            ", as the source spells it");
}

} // namespace twinfol
