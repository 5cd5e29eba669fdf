// The ignore patterns and size limits of a level.
#include "engine/walk/level_filter.h"

#include <optional>

#include "base/path.h"
#include "engine/fs/case_folding.h"

namespace twinfol {
namespace {

// What one side holds under a name.
enum class Held { Nothing, File, Folder };

Held HeldIn(const Listing& listing, const std::string& name)
{
    if (listing.files.contains(name))
        return Held::File;
    return listing.folders.contains(name) ? Held::Folder : Held::Nothing;
}

class LevelFilter {
public:
    LevelFilter(WalkParts& parts, Level& level) : parts_(parts), ignore_(parts.rules.Ignore()), level_(level)
    {
        // Below twins spelled alike, both sides' entries lie at the same path below their roots, so a
        // pattern decides them alike; only sizes can differ.
        samePlace_ = ignore_.SamePlace(level.sourceDir, level.targetDir);
    }

    std::vector<std::string> Apply();

private:
    std::string Reason(const std::string& folder, const std::string& name, Held held) const;
    // Whether anything at any depth of the folder is left out.
    bool HoldsIgnored(const std::string& folder) const;
    void Decide(const std::string& name);
    void DecideEveryName();
    void AddAroundIgnored(const std::string& name);
    bool TargetHoldsAnySpelling(const std::string& name) const;

    WalkParts& parts_;
    const IgnoreRules& ignore_;
    Level& level_;
    bool samePlace_ = false;
    mutable std::string path_;
    // The names to take out of each side once every name is decided.
    std::vector<std::string> leftOut_;
    std::vector<std::string> leftOutOfTarget_;
};

std::string LevelFilter::Reason(const std::string& folder, const std::string& name, Held held) const
{
    if (held == Held::Nothing)
        return {};
    const bool isFolder = held == Held::Folder;
    // One buffer for every path of the level: most entries are matched and let go.
    path_.assign(folder).append(name);
    std::optional<std::int64_t> size;
    if (!isFolder && ignore_.LimitsSize()) {
        EntryFacts facts;
        if (parts_.fileSystem.LookAt(path_, facts))
            size = facts.size;
    }
    return ignore_.ReasonFor(path_, isFolder, size);
}

bool LevelFilter::HoldsIgnored(const std::string& folder) const
{
    std::vector<std::pair<std::string, Held>> entries;
    const FsStatus listed = parts_.fileSystem.ListFolder(folder, [&](std::string_view name, EntryKind kind) {
        entries.emplace_back(std::string(name), kind == EntryKind::Folder ? Held::Folder : Held::File);
        return !parts_.IsStopped();
    });
    // A folder that cannot be read is handled whole, and fails whole, as without patterns.
    if (!listed)
        return false;
    for (const auto& [name, held] : entries) {
        if (!Reason(folder, name, held).empty())
            return true;
        if (held == Held::Folder && HoldsIgnored(folder + name + pathSeparator))
            return true;
    }
    return false;
}

void LevelFilter::Decide(const std::string& name)
{
    const Held source = HeldIn(level_.source, name);
    const Held target = HeldIn(level_.target, name);
    const std::string sourceReason = Reason(level_.sourceDir, name, source);
    const std::string targetReason = samePlace_ && source == target && !ignore_.LimitsSize()
                                         ? sourceReason
                                         : Reason(level_.targetDir, name, target);
    if (sourceReason.empty() && targetReason.empty())
        return;
    const auto pathOf = [&name](const std::string& folder, Held held) {
        if (held == Held::Nothing)
            return std::string();
        return folder + name + (held == Held::Folder ? std::string(1, pathSeparator) : std::string());
    };
    parts_.records.Ignored(pathOf(level_.sourceDir, source), pathOf(level_.targetDir, target),
                           targetReason.empty() ? sourceReason : targetReason);
    leftOut_.push_back(name);
    // Only a target entry the rules leave out on its own account is deleted for the job's asking;
    // one left out for its source twin's size stays.
    if (targetReason.empty() || !ignore_.DeletesIgnored())
        leftOutOfTarget_.push_back(name);
}

void LevelFilter::DecideEveryName()
{
    for (const std::string& name : level_.source.files)
        Decide(name);
    for (const std::string& name : level_.source.folders)
        Decide(name);
    for (const auto* names : {&level_.target.files, &level_.target.folders})
        for (const std::string& name : *names)
            if (HeldIn(level_.source, name) == Held::Nothing)
                Decide(name);
    for (const std::string& name : leftOut_) {
        level_.source.files.erase(name);
        level_.source.folders.erase(name);
    }
    for (const std::string& name : leftOutOfTarget_) {
        level_.target.files.erase(name);
        level_.target.folders.erase(name);
    }
}

bool LevelFilter::TargetHoldsAnySpelling(const std::string& name) const
{
    const std::string folded = FoldCase(name);
    for (const auto* names : {&level_.target.files, &level_.target.folders})
        for (const std::string& held : *names)
            if (FoldCase(held) == folded)
                return true;
    return false;
}

void LevelFilter::AddAroundIgnored(const std::string& name)
{
    const ItemPlace place = level_.Place(name);
    const std::string sourceFolder = place.SourceFolder();
    const std::string targetFolder = place.TargetFolder();
    EntryFacts facts;
    const mode_t mode = parts_.fileSystem.LookAt(sourceFolder, facts) ? (facts.mode & 07777) : 0777;
    parts_.records.Show("Adding folder: ", level_.targetDir, name);
    const ChangeResult made =
        parts_.changes.FinishAddFolder(targetFolder, parts_.fileSystem.MakeFolder(targetFolder, mode));
    parts_.records.FolderAdded({sourceFolder, targetFolder, level_.sourceDir, name}, made);
    // Its time is set from the source's once its level is walked, whatever that walk adds.
    parts_.records.MarkChanged(targetFolder);
    if (made)
        level_.target.folders.insert(name);
    else
        level_.source.folders.erase(name);
}

std::vector<std::string> LevelFilter::Apply()
{
    DecideEveryName();
    std::vector<std::string> aroundTargetOnly;
    if (ignore_.DeletesIgnored() || parts_.IsStopped())
        return aroundTargetOnly;
    for (const std::string& name : std::set<std::string>(level_.target.folders)) {
        const ItemPlace place = level_.Place(name);
        if (!level_.source.folders.contains(name) &&
            parts_.rules.ForTargetOnlyFolder(place) == ItemAction::DeleteFolder &&
            HoldsIgnored(place.TargetFolder())) {
            level_.target.folders.erase(name);
            aroundTargetOnly.push_back(name);
        }
    }
    for (const std::string& name : std::set<std::string>(level_.source.folders)) {
        const ItemPlace place = level_.Place(name);
        // A name the target holds under any spelling is left to the walk's own rules for it.
        if (!TargetHoldsAnySpelling(name) &&
            parts_.rules.ForSourceOnlyFolder(place) == ItemAction::AddFolder &&
            HoldsIgnored(place.SourceFolder()))
            AddAroundIgnored(name);
    }
    return aroundTargetOnly;
}

} // namespace

std::vector<std::string> LeaveIgnoredOut(WalkParts& parts, Level& level)
{
    return LevelFilter(parts, level).Apply();
}

} // namespace twinfol
