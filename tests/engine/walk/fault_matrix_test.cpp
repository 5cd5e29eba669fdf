// Every kind of file operation failed at the first, a middle and the last of its calls in a run
// over a flat and a nested tree. A run without faults gives the reference; the faulty run must
// differ from it only in the one item the failed call belonged to, and record that item as a
// problem and in no list.
#include <cerrno>
#include <optional>
#include <ostream>
#include <system_error>
#include <tuple>

#include "support/fault_injecting_file_system.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

enum class Shape { Flat, Nested };
enum class Position { First, Middle, Last };

// What a failed call means for its item: left exactly as it was, or a tree copy or delete that
// ended part-way (an entry of an added folder is the item where a step below the folder failed).
enum class Effect { LeftAlone, PartialCopy, PartialDelete };

// The item a failed call belongs to: a target-side path relative to the target root (a folder with
// its separator, "" for the whole target), what became of it, and the problem line it gives.
struct FailedItem {
    std::string region;
    Effect effect = Effect::LeftAlone;
    std::optional<std::string> problem;
};

using Snapshot = std::map<std::string, std::string>;
// The faulty run's jobs: with one, the failure strikes the nth call of its kind; with several, whose
// calls come in no fixed order, it strikes the call on the same path.
using MatrixParam = std::tuple<FsOperation, Position, Shape, int>;

constexpr SyncOptions oneJob{.confirmDeletes = false, .useTrash = false, .jobs = 1};

constexpr ReportList allLists[] = {ReportList::OverwrittenFiles, ReportList::AddedFiles,
                                   ReportList::DeletedFiles, ReportList::AddedFolders,
                                   ReportList::DeletedFolders};

class FaultMatrixTest : public SyncEngineFixture, public ::testing::WithParamInterface<MatrixParam> {
protected:
    // Two identical jobs: one for the reference run, one for the faulty run.
    void BuildJob(Shape shape)
    {
        for (const std::string side : {"ref-source/", "source/"}) {
            tree.WriteFile(side + "a-new", "added file");
            tree.WriteFile(side + "b-over", "newer content", baseTime + 1000);
            tree.WriteFile(side + "c-same", "same", baseTime);
            tree.WriteFile(side + "d-over", "newer d", baseTime + 1000);
            tree.WriteFile(side + "m-newdir/x", "x");
            tree.WriteFile(side + "m-newdir/y", "y");
            tree.WriteFile(side + "z-new", "last added");
            if (shape == Shape::Nested) {
                tree.WriteFile(side + "k-common/inner-new", "inner");
                tree.WriteFile(side + "k-common/inner-over", "newer inner", baseTime + 1000);
                tree.WriteFile(side + "k-common/deep/leaf-over", "newer leaf", baseTime + 1000);
                tree.WriteFile(side + "k-common/deep/leaf-new", "leaf");
                tree.WriteFile(side + "m-newdir/sub/w", "w");
                tree.WriteFile(side + "m-newdir/sub/v/u", "u");
            }
        }
        for (const std::string side : {"ref-target/", "target/"}) {
            tree.WriteFile(side + "b-over", "old b", baseTime);
            tree.WriteFile(side + "c-same", "same", baseTime);
            tree.WriteFile(side + "d-over", "old d", baseTime);
            tree.WriteFile(side + "e-stale", "stale");
            tree.WriteFile(side + "q-gonedir/p", "p");
            tree.WriteFile(side + "q-gonedir/r", "r");
            tree.WriteFile(side + "y-stale", "last stale");
            if (shape == Shape::Nested) {
                tree.WriteFile(side + "k-common/inner-over", "old inner", baseTime);
                tree.WriteFile(side + "k-common/inner-stale", "stale inner");
                tree.WriteFile(side + "k-common/deep/leaf-over", "old leaf", baseTime);
                tree.WriteFile(side + "k-common/deep/leaf-stale", "stale leaf");
                tree.WriteFile(side + "k-common/gone-inner/o", "o");
                tree.WriteFile(side + "q-gonedir/s/t", "t");
                tree.WriteFile(side + "q-gonedir/s/n/m", "m");
            }
        }
    }

    // The call to fail, counted among the calls of its kind in the reference run (1-based).
    static int CallNumber(Position position, int calls)
    {
        switch (position) {
        case Position::First: return 1;
        case Position::Middle: return (calls + 1) / 2;
        case Position::Last: return calls;
        }
        return 1;
    }

    // The path of the call, relative to whichever root it lies in, and whether that is the source.
    std::string Relative(const std::string& path, bool& inSource) const
    {
        inSource = path.starts_with(source);
        return path.substr(inSource ? source.size() : target.size());
    }

    // Finds the item the call belonged to from the reference run's report: a call below a folder
    // that the run added or deleted whole was part of that tree operation.
    FailedItem ItemOf(const FsCall& call, const SyncReport& reference) const
    {
        bool inSource = false;
        const std::string relative =
            Relative(call.operation == FsOperation::CopyFile || call.operation == FsOperation::CopyTree
                         ? call.secondPath
                         : call.path,
                     inSource);
        const bool topLevelTreeCall =
            call.operation == FsOperation::CopyTree || call.operation == FsOperation::DeleteTree;
        const std::string refTarget = tree.Path("ref-target/");
        for (const std::string& added : reference.addedFolders) {
            const std::string folder = added.substr(refTarget.size()) + "/";
            if (!relative.starts_with(folder))
                continue;
            // The added folder's own steps fail it whole. A step below fails only the entry it
            // belongs to, and the rest of the folder is copied.
            if (relative == folder) {
                const std::string problem =
                    "Could not copy folder: " + S(folder.substr(0, folder.size() - 1));
                if (call.operation == FsOperation::CopyTree)
                    return {folder, Effect::LeftAlone, problem};
                return {folder, Effect::PartialCopy, problem};
            }
            if (call.operation == FsOperation::CopyFile)
                return {relative, Effect::LeftAlone, "Could not copy file: " + call.secondPath};
            return {relative, Effect::PartialCopy,
                    "Could not copy folder: " + S(relative.substr(0, relative.size() - 1))};
        }
        for (const std::string& deleted : reference.deletedFolders) {
            const std::string folder = deleted.substr(refTarget.size()) + "/";
            if (!relative.starts_with(folder))
                continue;
            const std::string problem = "Could not delete folder: " + T(folder.substr(0, folder.size() - 1));
            if (topLevelTreeCall && relative == folder)
                return {folder, Effect::LeftAlone, problem};
            return {folder, Effect::PartialDelete, problem};
        }
        switch (call.operation) {
        case FsOperation::List: {
            std::string folder = call.path;
            folder.pop_back();
            return {relative, Effect::LeftAlone, "Could not read folder: " + folder};
        }
        case FsOperation::ReadStamp: return {relative, Effect::LeftAlone, std::nullopt};
        case FsOperation::CopyFile:
            return {relative, Effect::LeftAlone, "Could not copy file: " + call.secondPath};
        case FsOperation::DeleteFile:
            return {relative, Effect::LeftAlone, "Could not delete file: " + call.path};
        default: break;
        }
        ADD_FAILURE() << "no item found for " << OperationName(call.operation) << " " << call.path;
        return {};
    }

    static bool IsInside(const std::string& relative, const std::string& region)
    {
        return region.empty() || relative == region ||
               (region.ends_with('/') && relative.starts_with(region));
    }

    // The reference report's list with its paths moved to the faulty run's target, less the failed
    // item and everything below it.
    PathSet ExpectedList(const PathSet& reference, const std::string& region) const
    {
        const std::string refTarget = tree.Path("ref-target/");
        PathSet expected;
        for (const std::string& path : reference) {
            const std::string relative = path.substr(refTarget.size());
            if (!IsInside(relative, region) && !IsInside(relative + "/", region))
                expected.insert(T(relative));
        }
        return expected;
    }

    FaultInjectingFileSystem faulty{fileSystem};
};

TEST_P(FaultMatrixTest, OnlyTheFailedItemDiffersFromARunWithoutFaults)
{
    const auto [operation, position, shape, jobs] = GetParam();
    BuildJob(shape);
    const Snapshot sourceBefore = SideSnapshot("source");
    const Snapshot targetBefore = SideSnapshot("target");

    // The reference run, through the same layer without faults, gives the calls and the outcome.
    FaultInjectingFileSystem counting{fileSystem};
    SyncReport reference;
    {
        SyncRunState referenceState;
        SyncEngine engine(counting, exclusions, referenceState, reference, host);
        engine.SynchroniseFolder(tree.Path("ref-source/"), tree.Path("ref-target/"), oneJob);
    }
    ASSERT_TRUE(reference.problemLog.empty());
    const Snapshot targetAfter = SideSnapshot("ref-target");
    std::vector<FsCall> callsOfKind;
    for (const FsCall& call : counting.Calls())
        if (call.operation == operation)
            callsOfKind.push_back(call);
    ASSERT_FALSE(callsOfKind.empty()) << "the job makes no " << OperationName(operation) << " call";

    // The faulty run over the twin job fails one call of the kind.
    const int failed = CallNumber(position, static_cast<int>(callsOfKind.size()));
    FsCall failedCall = callsOfKind[static_cast<std::size_t>(failed - 1)];
    for (std::string* path : {&failedCall.path, &failedCall.secondPath}) {
        if (path->starts_with(tree.Path("ref-source/")))
            *path = S(path->substr(tree.Path("ref-source/").size()));
        else if (path->starts_with(tree.Path("ref-target/")))
            *path = T(path->substr(tree.Path("ref-target/").size()));
    }
    if (jobs == 1)
        faulty.FailNthCall(operation, failed, EIO);
    else
        faulty.FailPath(failedCall.path, EIO, operation);
    RunWith(faulty, {.confirmDeletes = false, .useTrash = false, .jobs = jobs});
    const FailedItem item = ItemOf(failedCall, reference);
    SCOPED_TRACE(std::string(OperationName(operation)) + " call " + std::to_string(failed) + " of " +
                 std::to_string(callsOfKind.size()) + " on " + failedCall.path + " (item \"" + item.region +
                 "\")");
    // The same calls in the same order up to the failed one, so the failure struck where it was meant to.
    const std::vector<FsCall> calls = faulty.Calls();
    int seen = 0;
    for (const FsCall& call : calls) {
        if (jobs == 1 && call.operation == operation && ++seen == failed) {
            EXPECT_EQ(call.path, failedCall.path);
        }
    }

    // One problem line for the item (none for an unreadable stamp, which only means "not newer").
    if (item.problem) {
        EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{*item.problem});
        // The reason is the injected error's, wherever in the run it struck.
        if (!report.problemLog.empty()) {
            EXPECT_EQ(report.problemLog[0].reason, std::system_category().message(EIO));
        }
    } else
        EXPECT_TRUE(report.problemLog.empty());

    // Every other item was handled as without the fault (so the run went on), the failed one is in
    // no list, and every count is its list's size.
    for (const ReportList list : allLists) {
        EXPECT_EQ(report.List(list), ExpectedList(reference.List(list), item.region));
        EXPECT_EQ(report.Count(list), static_cast<std::int32_t>(report.List(list).size()));
    }

    // On disk: the source untouched; outside the item, the target as after the reference run;
    // inside it, the old state, or for a tree operation that ended part-way, nothing that neither
    // state holds.
    EXPECT_EQ(SideSnapshot("source"), sourceBefore);
    const Snapshot targetNow = SideSnapshot("target");
    Snapshot outsideNow, outsideExpected, insideNow, insideBefore;
    for (const auto& [path, content] : targetNow)
        (IsInside(path, item.region) ? insideNow : outsideNow)[path] = content;
    for (const auto& [path, content] : targetAfter)
        if (!IsInside(path, item.region))
            outsideExpected[path] = content;
    for (const auto& [path, content] : targetBefore)
        if (IsInside(path, item.region))
            insideBefore[path] = content;
    EXPECT_EQ(outsideNow, outsideExpected);
    switch (item.effect) {
    case Effect::LeftAlone: EXPECT_EQ(insideNow, insideBefore); break;
    case Effect::PartialCopy:
        for (const auto& [path, content] : insideNow) {
            const auto complete = targetAfter.find(path);
            EXPECT_TRUE(complete != targetAfter.end() && complete->second == content) << path;
        }
        break;
    case Effect::PartialDelete:
        EXPECT_TRUE(insideNow.contains(item.region));
        for (const auto& [path, content] : insideNow) {
            const auto old = insideBefore.find(path);
            EXPECT_TRUE(old != insideBefore.end() && old->second == content) << path;
        }
        break;
    }
}

std::string MatrixName(const ::testing::TestParamInfo<MatrixParam>& info)
{
    const auto [operation, position, shape, jobs] = info.param;
    static const char* const positions[] = {"First", "Middle", "Last"};
    return std::string(OperationName(operation)) + positions[static_cast<int>(position)] +
           (shape == Shape::Flat ? "Flat" : "Nested") + (jobs == 1 ? "" : "Jobs" + std::to_string(jobs));
}

INSTANTIATE_TEST_SUITE_P(
    EveryKindAtThreePoints, FaultMatrixTest,
    ::testing::Combine(::testing::Values(FsOperation::List, FsOperation::ReadStamp, FsOperation::CopyFile,
                                         FsOperation::DeleteFile, FsOperation::MakeFolder,
                                         FsOperation::CopyTree, FsOperation::DeleteTree),
                       ::testing::Values(Position::First, Position::Middle, Position::Last),
                       ::testing::Values(Shape::Flat, Shape::Nested), ::testing::Values(1, 4)),
    MatrixName);

class FaultMatrixSubFolderTest : public SyncEngineTest {
protected:
    FaultInjectingFileSystem faulty{fileSystem};
};
INSTANTIATE_TEST_SUITE_P(, FaultMatrixSubFolderTest, bothWalks, JobsName);

TEST_P(FaultMatrixSubFolderTest, UnlistableSourceSubFolderDeletesNothingInItsTargetTwin)
{
    tree.WriteFile(Source("a/keep"), "k");
    tree.WriteFile(Source("a/b/c"), "c");
    tree.WriteFile(Target("a/b/c"), "c");
    tree.WriteFile(Target("a/b/only-in-target"), "t");
    tree.WriteFile(Target("a/b/only-dir/deep"), "d");
    tree.WriteFile(Target("a/stale"), "s");
    tree.WriteFile(Target("z-stale"), "z");
    const Snapshot twinBefore = SideSnapshot("target/a/b");
    faulty.FailPath(S("a/b/"), EACCES, FsOperation::List);
    RunWith(faulty, {.addMissing = true, .deleteMissing = true, .confirmDeletes = false, .useTrash = false});
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{"Could not read folder: " + S("a/b")});
    EXPECT_EQ(SideSnapshot("target/a/b"), twinBefore);
    // No change was even tried inside the twin.
    for (const FsCall& call : faulty.Calls()) {
        const FsOperation kind = call.operation;
        const bool changes = kind == FsOperation::DeleteFile || kind == FsOperation::DeleteTree ||
                             kind == FsOperation::CopyFile || kind == FsOperation::CopyTree ||
                             kind == FsOperation::MakeFolder || kind == FsOperation::RemoveFolder;
        const std::string& changed = call.secondPath.empty() ? call.path : call.secondPath;
        EXPECT_FALSE(changes && changed.starts_with(T("a/b/"))) << OperationName(kind) << " " << changed;
    }
    // The rest of the run happened.
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("a/keep")});
    EXPECT_EQ(Items(report.deletedFiles), (std::vector<std::string>{T("a/stale"), T("z-stale")}));
}

} // namespace
} // namespace twinfol::test
