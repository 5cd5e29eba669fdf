// Runs onto the disks that keep Windows' naming rules, each a real FUSE mount (root only; skipped with
// the reason otherwise): exFAT through exfat-fuse, which the mount table shows only as "fuseblk", and
// FAT32 through fusefat, which stamps a file anew when it is renamed. The names such a disk cannot
// hold are foretold by the dry run and the Preview and refused by the run with the same reason; every
// copy keeps its source's stamp.
#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "engine/fs/dry_run_file_system.h"
#include "engine/records/refusal_reasons.h"
#include "engine/walk/plan_reasons.h"
#include "support/sync_engine_fixture.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

enum class WindowsDisk { Exfat, Fat32 };

void PrintTo(WindowsDisk disk, std::ostream* out)
{
    *out << (disk == WindowsDisk::Exfat ? "exFAT" : "FAT32");
}

constexpr std::size_t imageBytes = 64u << 20;
// 2001-09-09, and a date FAT and exFAT hold but 32-bit stamps do not.
constexpr std::time_t oldTime = 1000000000;
constexpr std::time_t year2100 = 4102444800;

// The target is a folder of a disk of its own, mounted at target/.
class WindowsDiskTest : public SyncEngineFixture,
                        public ::testing::WithParamInterface<std::tuple<WindowsDisk, int>> {
protected:
    void SetUp() override
    {
        jobs = std::get<1>(GetParam());
        const std::string at = tree.Path("target");
        mount_.emplace(Exfat() ? TestMount::ExfatImage(tree.Path("disk.img"), imageBytes, at)
                               : TestMount::FatImage(tree.Path("disk.img"), imageBytes, at));
        if (!mount_->IsMounted())
            GTEST_SKIP() << mount_->Failure();
        target = tree.MakeFolder("target/backup");
    }

    bool Exfat() const { return std::get<0>(GetParam()) == WindowsDisk::Exfat; }
    std::string Label() const { return Exfat() ? "exFAT" : "FAT"; }
    static std::string OnDisk(const std::string& relative) { return "target/backup/" + relative; }
    void RunAgain(const SyncOptions& options = unconfirmed)
    {
        runState.ResetForRun();
        report.ResetForRun();
        Run(options);
    }
    // Each problem line with its reason.
    std::set<std::pair<std::string, std::string>> Problems() const
    {
        std::set<std::pair<std::string, std::string>> problems;
        for (const ProblemRecord& problem : report.problemLog)
            problems.emplace(problem.line, problem.reason);
        return problems;
    }
    // How far the copy's stamp lies from its source's.
    std::time_t StampOff(const std::string& relative) const
    {
        const std::time_t off = tree.Modified(OnDisk(relative)) - tree.Modified(Source(relative));
        return off < 0 ? -off : off;
    }

    std::optional<TestMount> mount_;
};

TEST_P(WindowsDiskTest, TheDiskIsToldFromTheMountTableOrTheDevicesSuperblock)
{
    EXPECT_EQ(fileSystem.DiskKindOf(target).names, Exfat() ? NameRules::Exfat : NameRules::Fat);
    EXPECT_EQ(fileSystem.DiskKindOf(source).names, NameRules::Posix);
}

TEST_P(WindowsDiskTest, NamesTheDiskCannotHoldAreForetoldAndFailWithTheReason)
{
    for (const char* name : {"a:b.txt", "why?.txt", "star*.txt", "pipe|d.txt", "trailing.", "trailing ",
                             "CON", "nul.txt", "ok.txt"})
        tree.WriteFile(Source(name), name, baseTime);
    tree.WriteFile(Source("bad<dir/inside.txt"), "inside", baseTime);
    // In a folder that is there already, each file is a copy of its own.
    tree.WriteFile(Source("photos/x>y.jpg"), "x", baseTime);
    tree.WriteFile(Source("photos/fine.jpg"), "fine", baseTime);
    tree.MakeFolder(OnDisk("photos"));
    const std::string disk = "the target disk (" + Label() + ") cannot hold ";
    const std::set<std::pair<std::string, std::string>> expected{
        {"Could not copy file: " + T("a:b.txt"), disk + "':' in a name"},
        {"Could not copy file: " + T("why?.txt"), disk + "'?' in a name"},
        {"Could not copy file: " + T("star*.txt"), disk + "'*' in a name"},
        {"Could not copy file: " + T("pipe|d.txt"), disk + "'|' in a name"},
        {"Could not copy file: " + T("trailing."), disk + "a dot at the end of a name"},
        {"Could not copy file: " + T("trailing "), disk + "a space at the end of a name"},
        {"Could not copy file: " + T("CON"), disk + "the device name CON in a name"},
        {"Could not copy file: " + T("nul.txt"), disk + "the device name NUL in a name"},
        {"Could not copy folder: " + S("bad<dir"), disk + "'<' in a name"},
        {"Could not copy file: " + T("photos/x>y.jpg"), disk + "'>' in a name"},
    };

    DryRunFileSystem dryRun(fileSystem);
    RunWith(dryRun);
    EXPECT_EQ(Problems(), expected);
    EXPECT_EQ(Items(report.addedFiles), (std::vector<std::string>{T("ok.txt"), T("photos/fine.jpg")}));
    const ExplainedPlan plan = MakeExplainedPlan(fileSystem, source, target, unconfirmed, exclusions, {});
    const auto row = std::find_if(plan.rows.begin(), plan.rows.end(),
                                  [](const PlanRow& each) { return each.path == "a:b.txt"; });
    ASSERT_NE(row, plan.rows.end());
    EXPECT_EQ(row->action, PlanAction::WillFail);
    EXPECT_EQ(row->reason, disk + "':' in a name: the add will fail");

    RunAgain();
    EXPECT_EQ(Problems(), expected);
    EXPECT_EQ(tree.ReadFile(OnDisk("ok.txt")), "ok.txt");
    EXPECT_EQ(tree.ReadFile(OnDisk("photos/fine.jpg")), "fine");
    std::set<std::string> names;
    for (const auto& [path, content] : SideSnapshot("target/backup"))
        names.insert(path);
    EXPECT_EQ(names, (std::set<std::string>{"ok.txt", "photos/", "photos/fine.jpg"}));
}

TEST_P(WindowsDiskTest, EveryCopyKeepsItsSourcesStampSoASecondRunCopiesNothing)
{
    tree.WriteFile(Source("old.txt"), "old", oldTime);
    tree.WriteFile(Source("future.txt"), "dated 2100", year2100);
    tree.WriteFile(Source("sub/inner.txt"), "inner", oldTime + 10);
    tree.WriteFile(Source("changed.txt"), "newer", baseTime + 1000);
    tree.WriteFile(OnDisk("changed.txt"), "older", baseTime);

    Run();
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
    EXPECT_EQ(report.filesCopied, 4u);
    // FAT keeps stamps to 2 seconds.
    for (const char* copied : {"old.txt", "future.txt", "sub/inner.txt", "changed.txt"})
        EXPECT_LE(StampOff(copied), 2) << copied;
    RunAgain();
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
    EXPECT_EQ(report.filesCopied, 0u);
}

TEST_P(WindowsDiskTest, CaseTwinsInsideAnAddedFolderNeverMergeAndNoLaterRunDeletesTheFirst)
{
    tree.WriteFile(Source("new/perl/Pod/a.pod"), "from Pod", baseTime);
    tree.WriteFile(Source("new/perl/Pod/only-Pod.pod"), "only Pod", baseTime);
    tree.WriteFile(Source("new/perl/Pod/Deep/x"), "Deep", baseTime);
    tree.WriteFile(Source("new/perl/Pod/deep/x"), "deep", baseTime);
    tree.WriteFile(Source("new/perl/pod/a.pod"), "from pod", baseTime);
    tree.WriteFile(Source("new/perl/pod/only-pod.pod"), "only pod", baseTime);
    tree.WriteFile(Source("new/README"), "upper", baseTime);
    tree.WriteFile(Source("new/readme"), "lower", baseTime);
    tree.MakeSymlink(Source("new/link"), "README");
    const std::string twin = otherSpellingReason;
    const std::set<std::pair<std::string, std::string>> expected{
        {"Could not copy folder: " + S("new/perl/pod"), twin},
        {"Could not copy folder: " + S("new/perl/Pod/deep"), twin},
        {"Could not copy file: " + T("new/readme"), twin},
        {"Could not copy file: " + T("new/link"),
         "the target disk (" + Label() + ") cannot hold a symbolic link"},
    };
    const std::map<std::string, std::string> copied{
        {"new/", ""},
        {"new/README", "upper"},
        {"new/perl/", ""},
        {"new/perl/Pod/", ""},
        {"new/perl/Pod/a.pod", "from Pod"},
        {"new/perl/Pod/only-Pod.pod", "only Pod"},
        {"new/perl/Pod/Deep/", ""},
        {"new/perl/Pod/Deep/x", "Deep"},
    };

    DryRunFileSystem dryRun(fileSystem);
    RunWith(dryRun);
    EXPECT_EQ(Problems(), expected);
    RunAgain();
    EXPECT_EQ(Problems(), expected);
    EXPECT_EQ(SideSnapshot("target/backup"), copied);
    EXPECT_EQ(report.MarkedList(ReportList::AddedFolders),
              std::vector<std::string>{T("new") + std::string(partlyCopiedMark)});
    EXPECT_EQ(report.filesCopied, 4u);
    EXPECT_EQ(report.addedFolderContents.at(T("new")).files, 4u);

    // The folder is there now: the twins meet the rule of a folder that exists, and nothing the
    // first spelling brought is deleted as a target-only entry.
    SyncOptions deleting = unconfirmed;
    deleting.deleteMissing = true;
    RunAgain(deleting);
    EXPECT_TRUE(report.deletedFiles.empty());
    EXPECT_TRUE(report.deletedFolders.empty());
    EXPECT_EQ(SideSnapshot("target/backup"), copied);
    EXPECT_EQ(Problems(), expected);
}

INSTANTIATE_TEST_SUITE_P(, WindowsDiskTest,
                         ::testing::Combine(::testing::Values(WindowsDisk::Exfat, WindowsDisk::Fat32),
                                            ::testing::Values(1, 4)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == WindowsDisk::Exfat ? "Exfat"
                                                                                              : "Fat32") +
                                    "Jobs" + std::to_string(std::get<1>(info.param));
                         });

} // namespace
} // namespace twinfol::test
