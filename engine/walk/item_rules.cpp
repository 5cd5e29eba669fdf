// The rules of a level's decisions, and the allowance of deletes over a run.
#include "engine/walk/item_rules.h"

namespace twinfol {
namespace {

// The tolerance within which a later source stamp does not make the source newer, in seconds.
constexpr std::int32_t toleranceSeconds = 120;

} // namespace

const std::string ItemPlace::noOtherSpelling;

TwinComparison CompareTwin(const std::optional<FileStamp>& source, const std::optional<FileStamp>& target,
                           bool ignoreHourShift)
{
    if (!source || !target)
        return TwinComparison::Unreadable;
    if (!(*source > *target))
        return TwinComparison::NotNewer;
    if (ignoreHourShift && IsHourShift(*source, *target))
        return TwinComparison::HourShift;
    if (StampDifference(*source, *target) <= toleranceSeconds)
        return TwinComparison::WithinTolerance;
    if (!IsNewerForOverwrite(*source, *target))
        return TwinComparison::TargetAtLimit;
    return TwinComparison::SourceNewer;
}

ItemRules::ItemRules(const SyncOptions& options, const ExclusionList& exclusions, std::string sourceRoot,
                     std::string targetRoot)
    : options_(options), exclusions_(exclusions),
      ignore_(options, std::move(sourceRoot), std::move(targetRoot))
{
}

TwinComparison ItemRules::Compare(const std::optional<FileStamp>& source,
                                  const std::optional<FileStamp>& target) const
{
    return CompareTwin(source, target, options_.ignoreHourShift);
}

ItemAction ItemRules::ForSourceOnlyFile(const ItemPlace& place) const
{
    if (!options_.addMissing)
        return ItemAction::None;
    return IsExcluded(place.SourcePath()) ? ItemAction::Exclude : ItemAction::AddFile;
}

ItemAction ItemRules::ForTwinFile(const ItemPlace& place, TwinComparison comparison) const
{
    // Most files of a run are only compared: their paths are built only when the source is newer.
    if (comparison != TwinComparison::SourceNewer)
        return ItemAction::LeaveAlone;
    if (IsExcluded(place.SourcePath()) || IsExcluded(place.TargetPath()))
        return ItemAction::Exclude;
    return ItemAction::Overwrite;
}

ItemAction ItemRules::ForOtherSpelling(const ItemPlace& place) const
{
    return IsExcluded(place.TargetPath()) ? ItemAction::Exclude : ItemAction::Respell;
}

ItemAction ItemRules::ForTargetOnlyFile(const ItemPlace& place) const
{
    if (!options_.deleteMissing)
        return ItemAction::None;
    return IsExcluded(place.TargetPath()) ? ItemAction::Exclude : ItemAction::DeleteFile;
}

ItemAction ItemRules::ForSourceOnlyFolder(const ItemPlace& place) const
{
    if (!options_.checkSubFolders || !options_.addMissing)
        return ItemAction::None;
    return IsExcluded(place.SourceFolder()) ? ItemAction::Exclude : ItemAction::AddFolder;
}

ItemAction ItemRules::ForTwinFolder(const ItemPlace& place) const
{
    if (!options_.checkSubFolders)
        return ItemAction::None;
    if (IsExcluded(place.SourceFolder()) || IsExcluded(place.TargetFolder()))
        return ItemAction::Exclude;
    return ItemAction::Descend;
}

ItemAction ItemRules::ForTargetOnlyFolder(const ItemPlace& place) const
{
    if (!options_.checkSubFolders || !options_.deleteMissing)
        return ItemAction::None;
    return IsExcluded(place.TargetFolder()) ? ItemAction::Exclude : ItemAction::DeleteFolder;
}

bool ItemRules::RefusesReservedName(const ItemPlace& place, bool folder, bool targetHoldsName) const
{
    if ((folder && !options_.checkSubFolders) || (!options_.addMissing && !targetHoldsName))
        return false;
    // What the person's patterns leave out is no item of the run either.
    if (!ignore_.ReasonFor(place.SourcePath(), folder).empty())
        return false;
    return folder ? !IsExcluded(place.SourceFolder()) && !IsExcluded(place.TargetFolder())
                  : !IsExcluded(place.SourcePath()) && !IsExcluded(place.TargetPath());
}

bool ItemRules::SweepsLeftover(const std::string& targetPath, bool sourceHoldsName) const
{
    return !sourceHoldsName && !IsExcluded(targetPath) && ignore_.ReasonFor(targetPath, false).empty();
}

void DeleteAllowance::BeginRun(const SyncOptions& options)
{
    checkEmptySource_ = options.emptySource == EmptySource::Refuse;
    sourceRootEmpty_ = false;
    begun_ = 0;
}

void DeleteAllowance::SeeFirstLevel(bool sourceRootEmpty)
{
    // Only the roots' level counts: an empty sub-folder is an ordinary thing.
    if (checkEmptySource_)
        sourceRootEmpty_ = sourceRootEmpty;
    checkEmptySource_ = false;
}

std::string DeleteAllowance::Refusal(const SyncOptions& options) const
{
    if (sourceRootEmpty_)
        return emptySourceReason;
    if (options.maxDeletes && begun_ >= *options.maxDeletes)
        return "the run has reached its limit of " + std::to_string(*options.maxDeletes) + " deletes";
    return {};
}

} // namespace twinfol
