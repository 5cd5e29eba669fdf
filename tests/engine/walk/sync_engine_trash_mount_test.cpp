// The Trash over real mounts (root only; skipped with the reason otherwise): a stick mounted as the
// target keeps its trash folders and gets its own for the run, a volume without a usable Trash loses
// nothing, each volume's items go to that volume's Trash, and a file system without hard links keeps
// the old content of an overwrite by moving it.
#include <sys/mount.h>
#include <sys/stat.h>

#include "engine/changes/run_undo.h"
#include "engine/posix/posix_beneath.h"
#include "support/test_mount.h"
#include "support/trash_run_fixture.h"

namespace twinfol::test {
namespace {

using Entries = std::map<std::string, std::string>;

class SyncEngineTrashMountTest : public TrashRunTest {
protected:
    std::string OwnTrash() const { return ".Trash-" + std::to_string(geteuid()); }
    unsigned ModeOf(const std::string& relative) const
    {
        struct stat info {};
        EXPECT_EQ(lstat(tree.Path(relative).c_str(), &info), 0) << relative;
        return info.st_mode & 07777;
    }
};
INSTANTIATE_TEST_SUITE_P(, SyncEngineTrashMountTest, bothWalks, JobsName);

TEST_P(SyncEngineTrashMountTest, AStickMountedAsTheTargetKeepsItsTrashFoldersAndGetsOneForTheRun)
{
    const TestMount stick = TestMount::Tmpfs(target, 1 << 20);
    if (!stick.IsMounted())
        GTEST_SKIP() << stick.Failure();
    tree.WriteFile(Target(".Trash-1000/files/photo"), "someone's");
    tree.WriteFile(Target(".Trash/notes"), "shared");
    tree.WriteFile(Target("stale.txt"), "stale");
    tree.MakeFolder(Source("dir"));
    tree.WriteFile(Target("dir/.Trash-1000/inside"), "a person's own folder");

    RunWithTrash(unconfirmed);
    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_EQ(Items(report.deletedFiles), std::vector<std::string>{T("stale.txt")});
    EXPECT_EQ(Items(report.deletedFolders), std::vector<std::string>{T("dir/.Trash-1000")});
    EXPECT_EQ(tree.ReadFile(Target(".Trash-1000/files/photo")), "someone's");
    EXPECT_EQ(tree.ReadFile(Target(".Trash/notes")), "shared");

    tree.WriteFile(Target("stale2.txt"), "stale2");
    RunWithTrash();
    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_EQ(Items(report.deletedFiles), std::vector<std::string>{T("stale2.txt")});
    EXPECT_EQ(tree.ReadFile(Target(OwnTrash() + "/files/stale2.txt")), "stale2");
    EXPECT_EQ(ModeOf(Target(OwnTrash())), 0700u);
    // A stick may be mounted elsewhere next time: the info file names the item from the volume's top.
    EXPECT_EQ(tree.ReadFile(Target(OwnTrash() + "/info/stale2.txt.trashinfo")),
              TrashInfoText("stale2.txt", TrashDeletionDate(std::chrono::system_clock::to_time_t(testNow))));
    EXPECT_TRUE(TrashFiles().empty());

    RunWithTrash();
    EXPECT_EQ(report.deletedFileCount + report.deletedFolderCount + report.addedFolderCount, 0);
    EXPECT_TRUE(report.problemLog.empty());
}

TEST_P(SyncEngineTrashMountTest, AVolumeWithoutAUsableTrashLosesNothing)
{
    const TestMount stick = TestMount::Tmpfs(target, 1 << 20);
    if (!stick.IsMounted())
        GTEST_SKIP() << stick.Failure();
    tree.WriteFile(Source("a.txt"), "new", baseTime + 1000);
    tree.WriteFile(Target("a.txt"), "old", baseTime);
    tree.WriteFile(Target("stale.txt"), "stale");
    // A folder of the trash's name that belongs to someone else is no trash of this user's.
    tree.MakeFolder(Target(OwnTrash()));
    ASSERT_EQ(chown(tree.Path(Target(OwnTrash())).c_str(), geteuid() + 1000, 0), 0);
    const Entries before = SideSnapshot("target");
    const std::vector<std::string> refused = {"Could not move to the Trash: " + T("a.txt"),
                                              "Could not move to the Trash: " + T("stale.txt")};

    RunWithTrash();
    EXPECT_EQ(report.ProblemLines(), refused);
    EXPECT_EQ(report.problemLog[0].reason, "the trash folder belongs to another user");
    EXPECT_EQ(SideSnapshot("target"), before);

    ASSERT_EQ(rmdir(tree.Path(Target(OwnTrash())).c_str()), 0);
    ASSERT_EQ(mount(nullptr, target.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    RunWithTrash();
    EXPECT_EQ(report.ProblemLines(), refused);
    EXPECT_EQ(report.problemLog[1].reason, std::string(strerror(EROFS)));
    EXPECT_EQ(tree.ReadFile(Target("a.txt")), "old");
    EXPECT_EQ(tree.ReadFile(Target("stale.txt")), "stale");
}

TEST_P(SyncEngineTrashMountTest, EachVolumesItemsGoToItsOwnTrashAndAMountInsideAFolderKeepsItInPlace)
{
    tree.MakeFolder(Source("usb"));
    tree.MakeFolder(Target("usb"));
    tree.MakeFolder(Target("old/m"));
    const TestMount usb = TestMount::Tmpfs(tree.Path(Target("usb")), 1 << 20);
    if (!usb.IsMounted())
        GTEST_SKIP() << usb.Failure();
    const TestMount inner = TestMount::Tmpfs(tree.Path(Target("old/m")), 1 << 20);
    ASSERT_TRUE(inner.IsMounted()) << inner.Failure();
    // A shared .Trash an administrator made, sticky, holds each user's trash in a folder of its own.
    tree.MakeFolder(Target("usb/.Trash"));
    tree.SetMode(Target("usb/.Trash"), 01777);
    tree.WriteFile(Target("usb/stale"), "on the stick");
    tree.WriteFile(Target("stale"), "at home");
    tree.WriteFile(Target("old/m/photo"), "mounted");

    RunWithTrash();

    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{"Could not delete folder: " + T("old")});
    EXPECT_EQ(report.problemLog[0].reason, mountedInside);
    EXPECT_EQ(tree.ReadFile(Target("old/m/photo")), "mounted");
    const std::string shared = "usb/.Trash/" + std::to_string(geteuid());
    EXPECT_EQ(tree.ReadFile(Target(shared + "/files/stale")), "on the stick");
    EXPECT_EQ(TrashFiles(), (Entries{{"stale", "at home"}}));
    EXPECT_EQ(Items(report.deletedFiles), (std::vector<std::string>{T("stale"), T("usb/stale")}));
}

// fusefat has no hard links (EPERM) and no RENAME_NOREPLACE: the old content is moved into the
// volume's Trash, and for the moment between that and the new file taking the name, the name is free.
TEST_P(SyncEngineTrashMountTest, WithoutHardLinksTheOldContentIsMovedAndAnUndoBringsItBack)
{
    tree.WriteFile(Source("a.txt"), "new content", baseTime + 1000);
    const TestMount fat = TestMount::FatImage(tree.Path("fat.img"), 4 << 20, target);
    if (!fat.IsMounted())
        GTEST_SKIP() << fat.Failure();
    tree.WriteFile(Target("a.txt"), "old content", baseTime);

    RunWithTrash();
    EXPECT_TRUE(report.problemLog.empty()) << report.ProblemLines().front();
    EXPECT_EQ(tree.ReadFile(Target("a.txt")), "new content");
    EXPECT_EQ(tree.ReadFile(Target(OwnTrash() + "/files/a.txt")), "old content");

    UndoSearch search = FindLastRun(fileSystem, places, target);
    ASSERT_TRUE(search.run) << search.refusal;
    report.ResetForRun();
    RunUndo(fileSystem, places, runState, report, host, &TestClock).Undo(*search.run, target);
    EXPECT_TRUE(report.problemLog.empty())
        << report.ProblemLines().front() << ": " << report.problemLog[0].reason;
    EXPECT_EQ(tree.ReadFile(Target("a.txt")), "old content");
    EXPECT_FALSE(tree.Exists(Target(OwnTrash() + "/files/a.txt")));
}

} // namespace
} // namespace twinfol::test
