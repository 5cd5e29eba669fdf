// Turning the planning walk's decisions into preview rows with their reasons in words.
#include "engine/walk/plan_reasons.h"

#include <utility>

#include "engine/records/refusal_reasons.h"

namespace twinfol {
namespace {

// Deeper than any real tree; a deeper one is counted no further rather than without end.
constexpr int deepestCountedLevel = 512;

std::string Unit(std::int64_t value, const char* unit)
{
    return std::to_string(value) + ' ' + unit;
}

std::string TwoUnits(std::int64_t large, const char* largeUnit, std::int64_t small, const char* smallUnit)
{
    return small == 0 ? Unit(large, largeUnit) : Unit(large, largeUnit) + ' ' + Unit(small, smallUnit);
}

const char* VerbOf(PlanStep step)
{
    switch (step) {
    case PlanStep::Overwrite: return "overwrite";
    case PlanStep::AddFile:
    case PlanStep::AddFolder: return "add";
    case PlanStep::DeleteFile:
    case PlanStep::DeleteFolder: return "delete";
    default: return "step";
    }
}

// Why a step would fail, in the words the preview uses: a read-only target said plainly, anything else
// with the layer's own reason.
std::string FailureText(PlanStep step, const FsStatus& outcome)
{
    const std::string reason = outcome.Reason();
    const std::string consequence = std::string(": the ") + VerbOf(step) + " will fail";
    if (reason == targetReadOnlyReason || reason == fileReadOnlyReason)
        return "target is read-only" + consequence;
    if (outcome.Step() != nullptr && std::string_view(outcome.Step()) == sourceUnreadableStep)
        return sourceUnreadableStep + consequence;
    return reason + consequence;
}

PlanAction ActionOf(PlanStep step)
{
    switch (step) {
    case PlanStep::Overwrite: return PlanAction::Overwrite;
    case PlanStep::AddFile: return PlanAction::AddFile;
    case PlanStep::AddFolder: return PlanAction::AddFolder;
    case PlanStep::DeleteFile: return PlanAction::DeleteFile;
    case PlanStep::DeleteFolder: return PlanAction::DeleteFolder;
    default: return PlanAction::LeaveAlone;
    }
}

// The bytes of data a copy or delete moves: a regular file's size; a link carries none, as a run counts it.
std::uint64_t DataBytes(const EntryFacts& facts)
{
    return facts.kind == EntryKind::File && facts.size > 0 ? static_cast<std::uint64_t>(facts.size) : 0;
}

} // namespace

namespace {

void CountInto(FileSystem& fileSystem, const std::string& folder, FolderContents& held, int depth)
{
    if (depth > deepestCountedLevel)
        return;
    std::vector<std::pair<std::string, EntryKind>> entries;
    const FsStatus listed = fileSystem.ListFolder(folder, [&](std::string_view name, EntryKind kind) {
        entries.emplace_back(std::string(name), kind);
        return true;
    });
    if (!listed)
        return;
    for (const auto& [name, kind] : entries) {
        std::string path = JoinPath(folder, name);
        if (kind == EntryKind::Folder) {
            path += pathSeparator;
            CountInto(fileSystem, path, held, depth + 1);
            continue;
        }
        ++held.files;
        EntryFacts facts;
        if (fileSystem.LookAt(path, facts))
            held.bytes += DataBytes(facts);
    }
}

} // namespace

FolderContents CountFolderTree(FileSystem& fileSystem, const std::string& folder)
{
    FolderContents held;
    CountInto(fileSystem, folder, held, 0);
    return held;
}

std::string SpanText(std::int64_t seconds)
{
    if (seconds < 60)
        return Unit(seconds, "s");
    if (seconds < 3600)
        return TwoUnits(seconds / 60, "min", seconds % 60, "s");
    if (seconds < 86400)
        return TwoUnits(seconds / 3600, "h", seconds / 60 % 60, "min");
    return TwoUnits(seconds / 86400, "d", seconds / 3600 % 24, "h");
}

PlanReasons::PlanReasons(FileSystem& fileSystem, std::string sourceRoot, std::string targetRoot)
    : fileSystem_(fileSystem), sourceRoot_(std::move(sourceRoot)), targetRoot_(std::move(targetRoot))
{
}

std::string PlanReasons::BelowRoot(const std::string& path) const
{
    std::string below = path;
    for (const std::string* root : {&targetRoot_, &sourceRoot_}) {
        if (path.compare(0, root->size(), *root) == 0) {
            below = path.substr(root->size());
            break;
        }
    }
    if (!below.empty() && below.back() == pathSeparator)
        below.pop_back();
    return below;
}

PlanRow PlanReasons::ActionRow(const PlanStepItem& item, PlanAction action, const std::string& reason)
{
    PlanRow row;
    row.action = action;
    // An item left out that only the source holds is named by its source path.
    const std::string& path = item.targetPath.empty() ? item.sourcePath : item.targetPath;
    row.path = BelowRoot(path);
    row.folder = !path.empty() && path.back() == pathSeparator;
    row.reason = reason;
    return row;
}

void PlanReasons::StepDecided(const PlanStepItem& item)
{
    if (item.step == PlanStep::LeftAlone) {
        AddComparedRow(item);
        return;
    }
    if (item.step == PlanStep::Excluded || item.step == PlanStep::Ignored) {
        rows_.push_back(ActionRow(item, PlanAction::Excluded, item.rule));
        return;
    }
    std::string reason = item.sourcePath.empty() ? "only in the target" : "only in the source";
    if (item.step == PlanStep::Overwrite && item.sourceStamp && item.targetStamp)
        reason = "source is " + SpanText(StampDifference(*item.sourceStamp, *item.targetStamp)) + " newer";
    const bool fails = !item.outcome.IsOk();
    PlanRow row = ActionRow(item, fails ? PlanAction::WillFail : ActionOf(item.step),
                            fails ? FailureText(item.step, item.outcome) : reason);
    if (item.step == PlanStep::DeleteFolder) {
        const FolderContents held = CountFolderTree(fileSystem_, item.targetPath);
        row.files = held.files;
        row.bytes = held.bytes;
    } else if (item.step != PlanStep::AddFolder) {
        EntryFacts facts;
        const std::string& file = item.sourcePath.empty() ? item.targetPath : item.sourcePath;
        if (fileSystem_.LookAt(file, facts))
            row.bytes = DataBytes(facts);
        row.files = 1;
    }
    rows_.push_back(std::move(row));
}

void PlanReasons::AddComparedRow(const PlanStepItem& item)
{
    // A newer target is left alone by the rule itself; only equal stamps need no row.
    if (item.comparison == TwinComparison::NotNewer) {
        if (item.sourceStamp && item.targetStamp && *item.targetStamp > *item.sourceStamp)
            rows_.push_back(ActionRow(
                item, PlanAction::TargetNewer,
                "target is " + SpanText(StampDifference(*item.targetStamp, *item.sourceStamp)) + " newer"));
        return;
    }
    // Why a newer source is left alone, in the words of the rule that left it.
    const char* why = nullptr;
    switch (item.comparison) {
    case TwinComparison::HourShift: why = ": taken for a clock shift of one hour, left alone"; break;
    case TwinComparison::WithinTolerance: why = ": within the 2-minute tolerance, left alone"; break;
    case TwinComparison::TargetAtLimit:
        why = ", but the target's time stamp is the last its file system can hold: left alone";
        break;
    default: return;
    }
    const std::int32_t newer = StampDifference(*item.sourceStamp, *item.targetStamp);
    rows_.push_back(ActionRow(item, PlanAction::LeaveAlone, "source is " + SpanText(newer) + " newer" + why));
}

void PlanReasons::Finish(const SyncReport& report)
{
    for (PlanRow& row : rows_) {
        if (row.action != PlanAction::AddFolder)
            continue;
        if (const auto held = report.addedFolderContents.find(JoinPath(targetRoot_, row.path));
            held != report.addedFolderContents.end()) {
            row.files = held->second.files;
            row.bytes = held->second.bytes;
        }
    }
    for (const ProblemRecord& problem : report.problemLog) {
        if (problem.kind != ProblemKind::ReadFolder)
            continue;
        PlanRow row;
        row.action = PlanAction::WillFail;
        row.path = BelowRoot(problem.path);
        row.folder = true;
        row.reason = "the folder cannot be read (" + problem.reason + "): it will be left alone";
        rows_.push_back(std::move(row));
    }
}

ExplainedPlan MakeExplainedPlan(FileSystem& fileSystem, const std::string& sourceRoot,
                                const std::string& targetRoot, const SyncOptions& options,
                                const ExclusionList& exclusions, const PlanProgress& onProgress,
                                const UserPlaces* places)
{
    PlanReasons reasons(fileSystem, sourceRoot, targetRoot);
    ExplainedPlan explained;
    explained.plan =
        MakeRunPlan(fileSystem, sourceRoot, targetRoot, options, exclusions, onProgress, &reasons, places);
    reasons.Finish(explained.plan.report);
    explained.rows = reasons.TakeRows();
    return explained;
}

} // namespace twinfol
