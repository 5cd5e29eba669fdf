// Folders swapped for symbolic links while a run is under way: whatever the link points to (here
// victim/, outside both roots) is never read, written or deleted, and the run says where it stopped.
#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "engine/posix/posix_beneath.h"
#include "support/fault_injecting_file_system.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

class LinkSwapFixture : public SyncEngineFixture {
protected:
    void SetUp() override
    {
        tree.WriteFile("victim/newer", "victim's own", baseTime);
        tree.WriteFile("victim/only-here", "victim's own");
        victimBefore = tree.Snapshot();
    }

    // What an attacker does while the run waits: moves the folder aside and puts a link to victim/
    // in its place.
    void SwapForLink(const std::string& relative)
    {
        std::filesystem::rename(tree.Path(relative), tree.Path("moved-aside"));
        tree.MakeSymlink(relative, tree.Path("victim"));
    }

    // Everything in victim/, which must end as it began.
    std::map<std::string, std::string> Victim(const std::map<std::string, std::string>& snapshot) const
    {
        std::map<std::string, std::string> entries;
        for (const auto& [path, content] : snapshot)
            if (path.starts_with("victim/"))
                entries[path] = content;
        return entries;
    }

    std::map<std::string, std::string> victimBefore;
};

using SyncEngineLinkSwapTest = BothWalks<LinkSwapFixture>;
INSTANTIATE_TEST_SUITE_P(, SyncEngineLinkSwapTest, bothWalks, JobsName);
// The layer's own refusals, with no walk at all.
using LinkSwapLayerTest = LinkSwapFixture;

TEST_P(SyncEngineLinkSwapTest, ListedSubFolderSwappedWhileAQuestionWaitsIsNeitherReadNorWritten)
{
    // "asked" is deleted (after a question) before the walk goes down into d, which both sides have.
    tree.WriteFile(Target("asked"), "a");
    tree.WriteFile(Source("d/newer"), "source", baseTime + 1000);
    tree.WriteFile(Target("d/newer"), "target", baseTime);
    tree.WriteFile(Source("d/added"), "added");
    tree.WriteFile(Target("d/only-here"), "t");
    host.AddAnswer(ConfirmAnswer::Yes);
    host.OnQuestion([&](const ConfirmQuestion&) { SwapForLink(Target("d")); });

    Run({.confirmDeletes = true, .useTrash = false});

    EXPECT_EQ(Victim(tree.Snapshot()), Victim(victimBefore));
    ASSERT_EQ(report.problemLog.size(), 1u);
    EXPECT_EQ(report.problemLog[0].line, "Could not read folder: " + T("d"));
    EXPECT_EQ(report.problemLog[0].reason, linkWhereFolderWas);
    EXPECT_EQ(Items(report.deletedFiles), std::vector<std::string>{T("asked")});
    EXPECT_TRUE(report.addedFiles.empty());
    EXPECT_TRUE(report.overwrittenFiles.empty());
    EXPECT_EQ(tree.ReadFile("moved-aside/newer"), "target");
}

TEST_P(SyncEngineLinkSwapTest, TargetOnlyFolderSwappedWhileItsQuestionWaitsIsNotEmptied)
{
    tree.WriteFile(Target("old/x"), "x");
    host.AddAnswer(ConfirmAnswer::Yes);
    host.OnQuestion([&](const ConfirmQuestion&) { SwapForLink(Target("old")); });

    Run({.confirmDeletes = true, .useTrash = false});

    EXPECT_EQ(Victim(tree.Snapshot()), Victim(victimBefore));
    ASSERT_EQ(report.problemLog.size(), 1u);
    EXPECT_EQ(report.problemLog[0].line, "Could not delete folder: " + T("old"));
    EXPECT_EQ(report.problemLog[0].reason, linkWhereFolderWas);
    EXPECT_TRUE(report.deletedFolders.empty());
    EXPECT_EQ(tree.ReadFile("moved-aside/x"), "x");
}

// A folder the run has listed stays the folder it works in: copies go on into it, wherever it has
// been moved, and never through the link that took its name.
TEST_P(SyncEngineLinkSwapTest, CopiesIntoAListedFolderSwappedMeanwhileStayInTheListedFolder)
{
    tree.WriteFile(Source("d/added"), "added");
    tree.WriteFile(Source("d/newer"), "source", baseTime + 1000);
    tree.WriteFile(Target("d/newer"), "target", baseTime);
    FaultInjectingFileSystem faulty(fileSystem);
    // With four jobs the two copies may start on two threads at once: the first swaps.
    std::atomic<bool> swapped{false};
    faulty.OnCall(FsOperation::CopyFile, [&](const FsCall&) {
        if (!swapped.exchange(true))
            SwapForLink(Target("d"));
    });

    RunWith(faulty);

    ASSERT_TRUE(swapped);
    EXPECT_EQ(Victim(tree.Snapshot()), Victim(victimBefore));
    EXPECT_EQ(tree.ReadFile("moved-aside/added"), "added");
    EXPECT_EQ(tree.ReadFile("moved-aside/newer"), "source");
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("d/added")});
    EXPECT_TRUE(report.problemLog.empty());
}

// The same layer outside a run's scope takes paths as given, links and all: the scope is what
// makes the difference, and it ends with the run.
TEST_F(LinkSwapLayerTest, EveryOperationBelowARootRefusesALinkOnTheWayUntilTheRunEnds)
{
    tree.WriteFile(Source("f"), "f");
    tree.MakeSymlink(Target("d"), tree.Path("victim"));
    tree.MakeSymlink(Source("l"), tree.Path("victim"));
    StopFlag stop{false};
    {
        const std::unique_ptr<RunScope> scope = fileSystem.BeginRun(source, target);
        const std::vector<FsStatus> refused = {
            fileSystem.CopyFile(S("f"), T("d/f")),
            fileSystem.CopyFile(S("l/newer"), T("newer")),
            fileSystem.DeleteFile(T("d/only-here")),
            fileSystem.MakeFolder(T("d/sub/")),
            fileSystem.ListFolder(T("d/"), [](std::string_view, EntryKind) { return true; }),
            fileSystem.CopyFolderTree(S("l/"), T("copied/"), stop),
            fileSystem.DeleteFolderTree(T("d/"), stop),
        };
        for (const FsStatus& status : refused)
            EXPECT_EQ(status.Reason(), linkWhereFolderWas);
        EXPECT_EQ(fileSystem.ReadFileStamp(T("d/newer")).Status().Reason(), linkWhereFolderWas);
        EXPECT_EQ(fileSystem.KindOf(T("d/newer")), EntryKind::Missing);
    }
    EXPECT_EQ(Victim(tree.Snapshot()), Victim(victimBefore));
    EXPECT_FALSE(tree.Exists(Target("newer")));
    EXPECT_EQ(fileSystem.KindOf(T("d/newer")), EntryKind::File);
}

} // namespace
} // namespace twinfol::test
