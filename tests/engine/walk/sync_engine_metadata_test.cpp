// What the engine's copies keep beyond data and time stamps, on real trees: names sharing an inode
// stay linked over later runs, and folders a tree copy made are finished also when the copy fails or
// goes deeper than the open-folder walk.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "support/fault_injecting_file_system.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

class MetadataFixture : public SyncEngineFixture {
protected:
    void RunAgain()
    {
        runState.ResetForRun();
        report.ResetForRun();
        Run();
    }
    ino_t Inode(const std::string& relative) const
    {
        struct stat info {};
        EXPECT_EQ(lstat(tree.Path(relative).c_str(), &info), 0) << relative;
        return info.st_ino;
    }
    void Link(const std::string& from, const std::string& to) const
    {
        ASSERT_EQ(link(tree.Path(from).c_str(), tree.Path(to).c_str()), 0);
    }
    // Names in a target folder other than the expected ones: a leftover temporary file, say.
    std::size_t EntriesIn(const std::string& relative) const
    {
        std::size_t count = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(tree.Path(relative)))
            ++count;
        return count;
    }
};

using SyncEngineMetadataTest = BothWalks<MetadataFixture>;
INSTANTIATE_TEST_SUITE_P(, SyncEngineMetadataTest, bothWalks, JobsName);
// The layer's copies alone, with no walk.
using MetadataLayerTest = MetadataFixture;

// A single copy, a tree copy, and later overwrites of all three names: each replacement is linked
// to the new copy of the first name, so the data is written once per run.
TEST_P(SyncEngineMetadataTest, NamesOfOneInodeStayLinkedOverRuns)
{
    tree.WriteFile(Source("a"), "first", baseTime);
    Link(Source("a"), Source("c"));
    tree.MakeFolder(Source("sub"));
    Link(Source("a"), Source("sub/b"));
    Run();
    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_EQ(Inode(Target("a")), Inode(Target("c")));
    EXPECT_EQ(Inode(Target("a")), Inode(Target("sub/b")));

    const ino_t before = Inode(Target("a"));
    tree.WriteFile(Source("a"), "second", baseTime + 1000); // in place: all three names see it
    RunAgain();
    EXPECT_EQ(report.overwrittenFileCount, 3);
    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_NE(Inode(Target("a")), before);
    EXPECT_EQ(Inode(Target("a")), Inode(Target("c")));
    EXPECT_EQ(Inode(Target("a")), Inode(Target("sub/b")));
    EXPECT_EQ(tree.ReadFile(Target("sub/b")), "second");
    EXPECT_EQ(EntriesIn(Target("")), 3u);

    RunAgain();
    EXPECT_EQ(report.overwrittenFileCount, 0);
}

// A later name whose target already is the first copy's inode is left as it is: renaming a name
// over another name of the same inode does nothing and would leave the temporary name behind.
TEST_F(MetadataLayerTest, ANameAlreadyLinkedToTheFirstCopyIsLeftAlone)
{
    tree.WriteFile(Source("a"), "data");
    Link(Source("a"), Source("b"));
    Link(Source("a"), Source("c"));
    const auto scope = fileSystem.BeginRun(source, target);
    ASSERT_TRUE(fileSystem.CopyFile(S("a"), T("a")));
    ASSERT_TRUE(fileSystem.CopyFile(S("b"), T("b")));
    EXPECT_TRUE(fileSystem.CopyFile(S("b"), T("b")));
    EXPECT_EQ(Inode(Target("a")), Inode(Target("b")));
    EXPECT_EQ(EntriesIn(Target("")), 2u);
}

// A folder of mode 0555 and one of 0700 that a failing tree copy made: both get their source's
// mode and time, never a more open stand-in.
TEST_P(SyncEngineMetadataTest, FoldersMadeByAFailedTreeCopyGetTheirModeAndTime)
{
    tree.WriteFile(Source("new/a"), "a");
    tree.WriteFile(Source("new/inner/x"), "x");
    tree.SetMode(Source("new/inner"), 0700);
    tree.SetMode(Source("new"), 0555);
    tree.SetModified(Source("new/inner"), baseTime - 50);
    tree.SetModified(Source("new"), baseTime - 60);
    FaultInjectingFileSystem faulty(fileSystem);
    faulty.FailPath(S("new/inner/x"), EIO, FsOperation::CopyFile);
    RunWith(faulty);
    ASSERT_EQ(report.ProblemLines(), std::vector<std::string>{"Could not copy file: " + T("new/inner/x")});
    EXPECT_EQ(tree.Mode(Target("new")), 0555u);
    EXPECT_EQ(tree.Mode(Target("new/inner")), 0700u);
    EXPECT_EQ(tree.Modified(Target("new")), baseTime - 60);
    EXPECT_EQ(tree.Modified(Target("new/inner")), baseTime - 50);
}

// Below the depth where the tree copy stops holding folders open it goes on through whole paths;
// the folders it makes there are finished as well.
TEST_P(SyncEngineMetadataTest, FoldersBelowTheOpenWalkAreFinishedToo)
{
    std::string deep = "new/";
    for (int level = 0; level < 52; ++level)
        deep += "d/";
    tree.WriteFile(Source(deep + "file"), "deep");
    tree.WriteFile(Source(deep + "private/file"), "private");
    tree.SetMode(Source(deep + "private"), 0700);
    tree.SetMode(Source(deep), 0555);
    tree.SetModified(Source(deep), baseTime - 10);
    Run();
    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_EQ(tree.ReadFile(Target(deep + "private/file")), "private");
    EXPECT_EQ(tree.Mode(Target(deep + "private")), 0700u);
    EXPECT_EQ(tree.Mode(Target(deep)), 0555u);
    EXPECT_EQ(tree.Modified(Target(deep)), baseTime - 10);
}

} // namespace
} // namespace twinfol::test
