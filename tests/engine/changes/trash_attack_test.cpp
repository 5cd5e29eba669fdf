// The Trash against another user who may rename entries where a trash folder lies (root only, on a real
// tmpfs whose top she owns): a trash folder swapped during a run, trash folders that fail their checks
// before it, and a purge whose files/ is swapped for a link to an outside folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

#include "support/fault_injecting_file_system.h"
#include "support/ordinary_user.h"
#include "support/test_mount.h"
#include "support/trash_run_fixture.h"

namespace twinfol::test {
namespace {

using Entries = std::map<std::string, std::string>;

constexpr const char* replacedReason = "the trash folder was replaced while the run used it";

// The target lies one folder below the top of a fresh tmpfs, "disk", whose top the ordinary user owns.
class TrashAttackTest : public TrashRunTest {
protected:
    TestMount MountDisk()
    {
        TestMount disk = TestMount::Tmpfs(tree.MakeFolder("disk"), 1 << 20);
        if (disk.IsMounted()) {
            GiveToOrdinaryUser(tree.Path("disk"), 0755);
            target = tree.MakeFolder("disk/target");
        }
        return disk;
    }
    std::string OwnTrash() const { return "disk/.Trash-" + std::to_string(geteuid()); }
    // Her folder: files/ and info/ in it, all hers and private.
    void MakeHerTrash(const std::string& relative)
    {
        for (const char* part : {"", "/files", "/info"})
            GiveToOrdinaryUser(tree.MakeFolder(relative + part), 0700);
    }
    // Whether the ordinary user can list the folder.
    static bool SheCanList(const std::string& path)
    {
        return RunAsOrdinaryUser([&] { return access(path.c_str(), R_OK | X_OK) == 0 ? 0 : 1; }) == 0;
    }

    FaultInjectingFileSystem faulty{fileSystem};
};
// One walk: a second worker would pass the trash folder's check beside the held move.
INSTANTIATE_TEST_SUITE_P(, TrashAttackTest, ::testing::Values(1), JobsName);

// During the first move into the Trash she renames the run's trash folder away and puts her own folder
// (or a link to one on another disk) in its place. Nothing reaches hers: the held move ends in the
// folder the run opened, which she cannot read, and the later items stay with a problem line.
TEST_P(TrashAttackTest, ATrashFolderSwappedDuringTheRunIsNeverUsed)
{
    if (geteuid() != 0)
        GTEST_SKIP() << needsRootMessage;
    for (const bool asLink : {false, true}) {
        SCOPED_TRACE(asLink ? "a link in its place" : "her folder in its place");
        const TestMount disk = MountDisk();
        if (!disk.IsMounted())
            GTEST_SKIP() << disk.Failure();
        for (const char* name : {"a", "b", "c"})
            tree.WriteFile("disk/target/" + std::string(name), name);
        MakeHerTrash("elsewhere");
        faulty.Hold(FsOperation::MoveToTrash);
        std::thread run([&] { RunThrough(faulty); });
        ASSERT_TRUE(faulty.WaitUntilHeld(std::chrono::seconds(30)));
        ASSERT_EQ(std::rename(tree.Path(OwnTrash()).c_str(), tree.Path("disk/opened").c_str()), 0);
        if (asLink)
            tree.MakeSymlink(OwnTrash(), tree.Path("elsewhere"));
        else
            MakeHerTrash(OwnTrash());
        faulty.Release();
        run.join();

        const std::string hers = asLink ? "elsewhere" : OwnTrash();
        EXPECT_EQ(SideSnapshot(hers), (Entries{{"files/", ""}, {"info/", ""}}));
        EXPECT_EQ(tree.ReadFile("disk/opened/files/a"), "a");
        EXPECT_EQ(tree.Mode("disk/opened"), 0700u);
        EXPECT_FALSE(SheCanList(tree.Path("disk/opened/files")));
        EXPECT_EQ(tree.ReadFile("disk/target/b"), "b");
        EXPECT_EQ(tree.ReadFile("disk/target/c"), "c");
        EXPECT_EQ(report.ProblemLines(),
                  (std::vector<std::string>{"Could not move to the Trash: " + T("b"),
                                            "Could not move to the Trash: " + T("c")}));
        for (const ProblemRecord& problem : report.problemLog)
            EXPECT_EQ(problem.reason, replacedReason);
        std::filesystem::remove_all(tree.Path("elsewhere"));
    }
}

// Trash folders that fail their checks before the run: each is passed over or refused with its reason,
// and nothing is moved into it.
TEST_P(TrashAttackTest, TrashFoldersThatFailTheirChecksAreNeverUsed)
{
    if (geteuid() != 0)
        GTEST_SKIP() << needsRootMessage;
    const std::string uid = std::to_string(geteuid());
    struct Case {
        const char* what;
        std::function<void()> setUp;
        const char* refusal; // empty: the item goes to the user's own .Trash-$uid instead
    };
    const std::vector<Case> cases = {
        {"a shared .Trash without the sticky bit",
         [&] {
             // Otherwise a trash folder as it should be: only the missing sticky bit counts.
             tree.MakeFolder("disk/.Trash/" + uid + "/files");
             tree.MakeFolder("disk/.Trash/" + uid + "/info");
             tree.SetMode("disk/.Trash/" + uid, 0700);
             tree.SetMode("disk/.Trash", 0777);
         },
         ""},
        {"the user's folder in a sticky .Trash owned by another user",
         [&] {
             tree.MakeFolder("disk/.Trash");
             tree.SetMode("disk/.Trash", 01777);
             MakeHerTrash("disk/.Trash/" + uid);
         },
         ""},
        {".Trash-$uid of mode 777",
         [&] {
             tree.MakeFolder(OwnTrash());
             tree.SetMode(OwnTrash(), 0777);
         },
         "other users may enter the trash folder (its mode is not 700)"},
        {".Trash-$uid owned by another user", [&] { MakeHerTrash(OwnTrash()); },
         "the trash folder belongs to another user"},
        {"files/ a link",
         [&] {
             tree.MakeFolder(OwnTrash());
             tree.SetMode(OwnTrash(), 0700);
             MakeHerTrash("elsewhere");
             tree.MakeSymlink(OwnTrash() + "/files", tree.Path("elsewhere/files"));
         },
         "a part of the trash folder is a symbolic link or not a folder"},
    };
    for (const Case& check : cases) {
        SCOPED_TRACE(check.what);
        const TestMount disk = MountDisk();
        if (!disk.IsMounted())
            GTEST_SKIP() << disk.Failure();
        tree.WriteFile("disk/target/stale", "stale");
        check.setUp();
        const Entries before = SideSnapshot("disk/.Trash");
        RunWithTrash();
        EXPECT_EQ(SideSnapshot("disk/.Trash"), before);
        if (std::string(check.refusal).empty()) {
            EXPECT_TRUE(report.problemLog.empty());
            EXPECT_EQ(tree.ReadFile(OwnTrash() + "/files/stale"), "stale");
        } else {
            EXPECT_EQ(report.ProblemLines(),
                      std::vector<std::string>{"Could not move to the Trash: " + T("stale")});
            EXPECT_EQ(report.problemLog.empty() ? "" : report.problemLog[0].reason, check.refusal);
            EXPECT_EQ(tree.ReadFile("disk/target/stale"), "stale");
        }
        EXPECT_EQ(SideSnapshot("elsewhere/files"), Entries{});
        std::filesystem::remove_all(tree.Path("elsewhere"));
    }
}

// The purge of old items, with files/ swapped for a link to an outside folder, or the whole trash folder
// replaced by one whose files/ is such a link, deletes nothing outside; an item whose inode is not the
// one the journal recorded stays too, while the others leave once the trash folder is the real one.
TEST_P(TrashAttackTest, ThePurgeDeletesOnlyTheRecordedItemsBeneathTheRealTrashFolder)
{
    for (const char* name : {"a", "b", "c"})
        tree.WriteFile(Target(name), name);
    RunWithTrash();
    ASSERT_EQ(TrashFiles(), (Entries{{"a", "a"}, {"b", "b"}, {"c", "c"}}));
    tree.WriteFile("outside/a", "outside");
    tree.WriteFile("outside/c/deep", "outside");
    // The same content under the same name, but another file than the one the run put there.
    ASSERT_EQ(unlink(tree.Path("home/data/Trash/files/b").c_str()), 0);
    tree.WriteFile("home/data/Trash/files/b", "b");
    const std::string trash = tree.Path("home/data/Trash");
    SyncOptions purge = withTrash;
    purge.trashKeepDays = 30;
    AdvanceDays(40);

    ASSERT_EQ(std::rename((trash + "/files").c_str(), (trash + "/real-files").c_str()), 0);
    tree.MakeSymlink("home/data/Trash/files", tree.Path("outside"));
    RunWithTrash(purge);
    EXPECT_EQ(SideSnapshot("outside"), (Entries{{"a", "outside"}, {"c/", ""}, {"c/deep", "outside"}}));

    ASSERT_EQ(std::rename(trash.c_str(), (trash + ".real").c_str()), 0);
    tree.MakeFolder("home/data/Trash");
    std::filesystem::copy(trash + ".real/info", trash + "/info");
    tree.MakeSymlink("home/data/Trash/files", tree.Path("outside"));
    RunWithTrash(purge);
    EXPECT_EQ(SideSnapshot("outside"), (Entries{{"a", "outside"}, {"c/", ""}, {"c/deep", "outside"}}));

    std::filesystem::remove_all(trash);
    ASSERT_EQ(std::rename((trash + ".real").c_str(), trash.c_str()), 0);
    ASSERT_EQ(unlink((trash + "/files").c_str()), 0);
    ASSERT_EQ(std::rename((trash + "/real-files").c_str(), (trash + "/files").c_str()), 0);
    RunWithTrash(purge);
    EXPECT_EQ(TrashFiles(), (Entries{{"b", "b"}}));
    EXPECT_EQ(SideSnapshot("outside"), (Entries{{"a", "outside"}, {"c/", ""}, {"c/deep", "outside"}}));
}

} // namespace
} // namespace twinfol::test
