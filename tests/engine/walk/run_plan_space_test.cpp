// What a plan finds of the room on the target's disk: each file rounded up to the disk's unit, the
// files replaced giving their room back unless the Trash keeps them, and a plan that does not fit
// told apart from one that does, on a layer that reports little room and on a small real tmpfs.
#include <set>

#include "engine/walk/plan_reasons.h"
#include "engine/walk/run_plan.h"
#include "support/fault_injecting_file_system.h"
#include "support/sync_engine_fixture.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

constexpr std::uint64_t unit = 4096;

class RunPlanSpaceTest : public SyncEngineFixture {
protected:
    RunPlan Plan(const SyncOptions& options, const UserPlaces* places = nullptr)
    {
        return MakeRunPlan(faults, source, target, options, exclusions, {}, nullptr, places);
    }

    FaultInjectingFileSystem faults{fileSystem};
};

TEST_F(RunPlanSpaceTest, ReplacedFilesGiveTheirRoomBackUnlessTheTrashKeepsThem)
{
    tree.WriteFile("source/added", std::string(10000, 'a'));                // 3 units
    tree.WriteFile("source/newer", std::string(5000, 'n'), baseTime + 600); // 2 units
    tree.WriteFile("target/newer", std::string(9000, 'o'), baseTime);       // 3 units given back
    tree.WriteFile("source/folder/inner", "i");                             // a unit, and one for the folder
    faults.ReportSpace(SpaceFigures{.freeBytes = 4 * unit, .blockSize = unit});

    const RunPlan plan = Plan(unconfirmed);
    ASSERT_TRUE(plan.complete);
    EXPECT_EQ(plan.bytesNeeded, (3 + 2 + 1 + 1 - 3) * unit);
    EXPECT_EQ(plan.targetFreeBytes, 4 * unit);
    EXPECT_FALSE(plan.WillNotFit()) << "exactly the room it needs is enough";

    faults.ReportSpace(SpaceFigures{.freeBytes = 3 * unit, .blockSize = unit});
    const RunPlan tight = Plan(unconfirmed);
    EXPECT_TRUE(tight.WillNotFit());
    EXPECT_EQ(tight.NoRoomText(), "will not fit: needs 16.0 KiB, 12.0 KiB free");

    // Kept in the Trash, the old content of the overwritten file keeps its room.
    SyncOptions withTrash = unconfirmed;
    withTrash.useTrash = true;
    const UserPlaces places{tree.Path("home/Trash/"), tree.Path("state/"), geteuid()};
    EXPECT_EQ(Plan(withTrash, &places).bytesNeeded, 7 * unit);
}

TEST_F(RunPlanSpaceTest, OneLargeOverwriteNeedsRoomForBothContentsWhileItIsCopied)
{
    tree.WriteFile("source/big", std::string(8 * unit, 'n'), baseTime + 600);
    tree.WriteFile("target/big", std::string(8 * unit, 'o'), baseTime);
    faults.ReportSpace(SpaceFigures{.freeBytes = 2 * unit, .blockSize = unit});
    const RunPlan plan = Plan(unconfirmed);
    EXPECT_EQ(plan.bytesNeeded, 8 * unit);
    EXPECT_TRUE(plan.WillNotFit());

    // The real disk has room for it.
    faults.ReportSpace(std::nullopt);
    EXPECT_FALSE(Plan(unconfirmed).WillNotFit());
}

// A real small disk: a plan that fits agrees row by row with the run, which meets no full disk; a plan
// that does not fit says so, and the run then fails on the full disk for some of its copies.
TEST_F(RunPlanSpaceTest, ASmallTmpfsTargetIsFoundTooSmallOnlyWhenItIs)
{
    const TestMount mount = TestMount::Tmpfs(tree.Path("target"), 1024 * 1024);
    if (!mount.IsMounted())
        GTEST_SKIP() << mount.Failure();
    for (int index = 0; index < 5; ++index)
        tree.WriteFile("source/f" + std::to_string(index), std::string(100 * 1024, 'x'));
    ExplainedPlan fits = MakeExplainedPlan(fileSystem, source, target, unconfirmed, exclusions, {});
    EXPECT_FALSE(fits.plan.WillNotFit()) << fits.plan.NoRoomText();
    Run();
    EXPECT_TRUE(report.problemLog.empty());
    std::set<std::string> added;
    for (const PlanRow& row : fits.rows)
        if (row.action == PlanAction::AddFile)
            added.insert(T(row.path));
    EXPECT_EQ(added, std::set<std::string>(report.addedFiles.begin(), report.addedFiles.end()));

    for (int index = 5; index < 20; ++index)
        tree.WriteFile("source/f" + std::to_string(index), std::string(100 * 1024, 'x'));
    const RunPlan tooMuch = MakeRunPlan(fileSystem, source, target, unconfirmed, exclusions, {});
    EXPECT_TRUE(tooMuch.WillNotFit());
    EXPECT_EQ(tooMuch.bytesNeeded, 15u * 100 * 1024);
    report = {};
    Run();
    ASSERT_FALSE(report.problemLog.empty()) << "the disk was not full after all";
    EXPECT_EQ(report.problemLog[0].reason, "No space left on device");
}

} // namespace
} // namespace twinfol::test
