// Root checks. An unmounted disk or a dropped share must not look like an empty source (which would
// make every target item a delete candidate), nor a missing target be created on the wrong disk, nor
// a tree be synchronised into itself.
#include "engine/walk/sync_roots.h"

#include <optional>

namespace twinfol {
namespace {

enum class Side { Source, Target };

const char* SideName(Side side)
{
    return side == Side::Source ? "source" : "target";
}

RootCheck Refuse(RootCheck check, RootProblem problem, std::string message)
{
    check.problem = problem;
    check.message = std::move(message);
    return check;
}

struct FolderFinding {
    RootProblem problem = RootProblem::None;
    std::string message;
    std::string resolved; // ends with the separator
};

FolderFinding InspectFolder(FileSystem& fileSystem, const std::string& folder, Side side)
{
    const bool isSource = side == Side::Source;
    const std::string shown = WithoutTrailingSeparator(folder);
    const std::string what = std::string("The ") + SideName(side) + " folder ";
    // A folder reached through a symbolic link is fine; what matters is what the link leads to.
    const EntryKind kind = fileSystem.KindOf(shown);
    if (kind == EntryKind::Missing)
        return {isSource ? RootProblem::SourceMissing : RootProblem::TargetMissing,
                what + "does not exist: " + shown,
                {}};
    const FsResult<std::string> resolved = fileSystem.ResolvePath(shown);
    if (!resolved)
        return {isSource ? RootProblem::SourceMissing : RootProblem::TargetMissing,
                what + "cannot be reached: " + shown,
                {}};
    if (fileSystem.KindOf(*resolved) != EntryKind::Folder)
        return {isSource ? RootProblem::SourceNotFolder : RootProblem::TargetNotFolder,
                what + "is not a folder: " + shown,
                {}};
    const FsStatus listed = fileSystem.ListFolder(folder, [](std::string_view, EntryKind) { return false; });
    if (!listed)
        return {isSource ? RootProblem::SourceUnreadable : RootProblem::TargetUnreadable,
                what + "cannot be read: " + shown,
                {}};
    return {RootProblem::None, {}, WithTrailingSeparator(*resolved)};
}

struct Overlap {
    RootProblem problem = RootProblem::None;
    // Why the places could not be read, for OverlapUnknown.
    std::string reason;
};

// How the roots overlap, by their resolved paths and then by their places inside their file systems:
// a bind mount gives one folder two paths that no comparison of paths relates, and a file system
// mounted below a root belongs to its tree, whatever its path.
Overlap FindOverlap(FileSystem& fileSystem, const RootCheck& check, const std::string& sourceReal,
                    const std::string& targetReal)
{
    if (sourceReal == targetReal)
        return {RootProblem::SameFolder, {}};
    if (targetReal.starts_with(sourceReal))
        return {RootProblem::TargetInsideSource, {}};
    if (sourceReal.starts_with(targetReal))
        return {RootProblem::SourceInsideTarget, {}};
    const FsResult<FolderIdentity> source = fileSystem.IdentifyFolder(check.source);
    if (!source)
        return {RootProblem::OverlapUnknown, source.Status().Reason()};
    const FsResult<FolderIdentity> target = fileSystem.IdentifyFolder(check.target);
    if (!target)
        return {RootProblem::OverlapUnknown, target.Status().Reason()};
    if (source->place == target->place)
        return {RootProblem::SameFolder, {}};
    if (TreeReaches(*source, target->place))
        return {RootProblem::TargetInsideSource, {}};
    if (TreeReaches(*target, source->place))
        return {RootProblem::SourceInsideTarget, {}};
    return {};
}

} // namespace

RootCheck CheckRoots(FileSystem& fileSystem, std::string source, std::string target)
{
    RootCheck check;
    check.source = WithTrailingSeparator(std::move(source));
    check.target = WithTrailingSeparator(std::move(target));
    if (check.source.empty())
        return Refuse(std::move(check), RootProblem::SourceEmpty, "No source folder was given.");
    if (check.target.empty())
        return Refuse(std::move(check), RootProblem::TargetEmpty, "No target folder was given.");

    FolderFinding sourceFinding = InspectFolder(fileSystem, check.source, Side::Source);
    if (sourceFinding.problem != RootProblem::None)
        return Refuse(std::move(check), sourceFinding.problem, std::move(sourceFinding.message));
    // A target that is not there is never created: it may be a disk that is not mounted.
    FolderFinding targetFinding = InspectFolder(fileSystem, check.target, Side::Target);
    if (targetFinding.problem != RootProblem::None)
        return Refuse(std::move(check), targetFinding.problem, std::move(targetFinding.message));

    const std::string names =
        WithoutTrailingSeparator(check.source) + " and " + WithoutTrailingSeparator(check.target);
    Overlap overlap = FindOverlap(fileSystem, check, sourceFinding.resolved, targetFinding.resolved);
    switch (overlap.problem) {
    case RootProblem::SameFolder:
        return Refuse(std::move(check), overlap.problem,
                      "The source and target are the same folder: " + names);
    case RootProblem::TargetInsideSource:
        return Refuse(std::move(check), overlap.problem,
                      "The target folder lies inside the source folder: " + names);
    case RootProblem::SourceInsideTarget:
        return Refuse(std::move(check), overlap.problem,
                      "The source folder lies inside the target folder: " + names);
    case RootProblem::OverlapUnknown:
        return Refuse(std::move(check), overlap.problem,
                      "Whether the source and target folders overlap cannot be told (" + overlap.reason +
                          "): " + names);
    default: return check;
    }
}

} // namespace twinfol
