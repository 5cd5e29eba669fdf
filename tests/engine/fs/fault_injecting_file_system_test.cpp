// The fault-injecting layer itself: failures by call number and by path, the call log, and holding a
// call until the test lets it go on, also inside tree operations.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "engine/posix/posix_file_system.h"
#include "support/fault_injecting_file_system.h"
#include "support/temp_tree.h"

namespace twinfol::test {
namespace {

using namespace std::chrono_literals;

// Generous: only a broken hold makes a test wait this long.
constexpr auto heldTimeout = 30s;

class FaultInjectingFileSystemTest : public ::testing::Test {
protected:
    std::vector<std::string> ListedOrder(const std::string& relativeFolder)
    {
        std::vector<std::string> names;
        EXPECT_TRUE(posix.ListFolder(tree.Path(relativeFolder), [&](std::string_view name, EntryKind) {
            names.emplace_back(name);
            return true;
        }));
        return names;
    }

    FsStatus Copy(const std::string& from, const std::string& to)
    {
        return fs.CopyFile(tree.Path(from), tree.Path(to));
    }

    TempTree tree;
    PosixFileSystem posix;
    FaultInjectingFileSystem fs{posix};
    StopFlag stop{false};
};

TEST_F(FaultInjectingFileSystemTest, FailsTheNthCallOfAKindCountedFromWhenItWasArmed)
{
    for (const char* name : {"a", "b", "c"})
        tree.WriteFile(std::string("src/") + name, name);
    tree.MakeFolder("dst");
    ASSERT_TRUE(Copy("src/a", "dst/warmup"));

    fs.FailNthCall(FsOperation::CopyFile, 2, EIO);
    EXPECT_TRUE(Copy("src/a", "dst/a"));
    EXPECT_EQ(Copy("src/b", "dst/b").Error(), EIO);
    EXPECT_TRUE(Copy("src/c", "dst/c"));

    EXPECT_TRUE(tree.Exists("dst/a"));
    EXPECT_FALSE(tree.Exists("dst/b"));
    EXPECT_TRUE(tree.Exists("dst/c"));
    EXPECT_EQ(fs.CallCount(FsOperation::CopyFile), 4);
    EXPECT_EQ(fs.CallCount(FsOperation::DeleteFile), 0);

    fs.FailNthCall(FsOperation::ReadStamp, 1, EIO);
    fs.FailNthCall(FsOperation::KindOf, 1, EIO);
    EXPECT_EQ(fs.ReadFileStamp(tree.Path("src/a")).Error(), EIO);
    EXPECT_EQ(fs.KindOf(tree.Path("src/a")), EntryKind::Missing);
    EXPECT_TRUE(fs.ReadFileStamp(tree.Path("src/a")));
    EXPECT_EQ(fs.KindOf(tree.Path("src/a")), EntryKind::File);
}

TEST_F(FaultInjectingFileSystemTest, FailsEveryCallThatNamesAPath)
{
    tree.WriteFile("src/a", "a");
    tree.WriteFile("src/b", "b");
    tree.MakeFolder("dst");
    fs.FailPath(tree.Path("dst/b"), ENOSPC);
    fs.FailPath(tree.Path("src/a"), EROFS, FsOperation::DeleteFile);

    EXPECT_EQ(Copy("src/b", "dst/b").Error(), ENOSPC); // the path as target
    EXPECT_EQ(Copy("src/b", "dst/b").Error(), ENOSPC); // every time, not once
    EXPECT_EQ(Copy("dst/b", "dst/c").Error(), ENOSPC); // the path as source
    EXPECT_TRUE(Copy("src/a", "dst/a"));               // limited to deletes
    EXPECT_EQ(fs.DeleteFile(tree.Path("src/a")).Error(), EROFS);
    EXPECT_TRUE(tree.Exists("src/a"));
    EXPECT_FALSE(tree.Exists("dst/b"));

    fs.ClearFaults();
    EXPECT_TRUE(Copy("src/b", "dst/b"));
    EXPECT_TRUE(fs.DeleteFile(tree.Path("src/a")));
}

TEST_F(FaultInjectingFileSystemTest, LogsEveryCallWithItsPaths)
{
    tree.WriteFile("src/a", "a");
    tree.MakeFolder("dst");
    (void)fs.ListFolder(tree.Path("src/"), [](std::string_view, EntryKind) { return true; });
    (void)fs.CopyFile(tree.Path("src/a"), tree.Path("dst/a"));
    (void)fs.DeleteFile(tree.Path("dst/a"));

    // The copy's inner steps come with the copy's two paths.
    const std::vector<FsCall> calls = fs.Calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].operation, FsOperation::List);
    EXPECT_EQ(calls[0].path, tree.Path("src/"));
    EXPECT_EQ(calls[1].operation, FsOperation::CopyFile);
    EXPECT_EQ(calls[1].path, tree.Path("src/a"));
    EXPECT_EQ(calls[1].secondPath, tree.Path("dst/a"));
    EXPECT_EQ(calls[2].operation, FsOperation::SourceRead);
    EXPECT_EQ(calls[3].operation, FsOperation::SetMode);
    EXPECT_EQ(calls[3].secondPath, tree.Path("dst/a"));
    EXPECT_EQ(calls[4].operation, FsOperation::DeleteFile);
    EXPECT_EQ(calls[4].path, tree.Path("dst/a"));
}

TEST_F(FaultInjectingFileSystemTest, StampReadsOfAListingForStampsAreCallsOfTheirOwn)
{
    tree.WriteFile("dir/a.txt", "a", 3000);
    tree.WriteFile("dir/b.txt", "b", 4000);
    fs.FailPath(tree.Path("dir/b.txt"), EIO, FsOperation::ReadStamp);

    std::unique_ptr<FolderStampReader> stamps;
    ASSERT_TRUE(fs.ListFolderForStamps(
        tree.Path("dir/"), [](std::string_view, EntryKind) { return true; }, stamps));
    ASSERT_TRUE(stamps);
    EXPECT_EQ(stamps->ReadFileStamp("a.txt"), FileStamp::FromUnixTime(3000));
    EXPECT_EQ(stamps->ReadFileStamp("b.txt").Error(), EIO);
    EXPECT_EQ(fs.CallCount(FsOperation::List), 1);
    EXPECT_EQ(fs.CallCount(FsOperation::ReadStamp), 2);
    EXPECT_EQ(fs.Calls().back().path, tree.Path("dir/b.txt"));

    fs.FailNthCall(FsOperation::List, 1, EACCES);
    std::unique_ptr<FolderStampReader> none;
    EXPECT_EQ(fs.ListFolderForStamps(
                    tree.Path("dir/"), [](std::string_view, EntryKind) { return true; }, none)
                  .Error(),
              EACCES);
    EXPECT_FALSE(none);
}

TEST_F(FaultInjectingFileSystemTest, HeldCallWaitsUntilReleasedWhileOthersGoOn)
{
    tree.WriteFile("src/a", "a");
    tree.WriteFile("src/b", "b");
    tree.MakeFolder("dst");
    EXPECT_FALSE(fs.WaitUntilHeld(1ms));

    fs.Hold(FsOperation::CopyFile, tree.Path("dst/a"));
    FsStatus heldResult = FsStatus::Failure(EINVAL);
    std::thread worker([&] { heldResult = Copy("src/a", "dst/a"); });
    ASSERT_TRUE(fs.WaitUntilHeld(heldTimeout));

    // The held copy has not started; a copy to another path is not held.
    EXPECT_FALSE(tree.Exists("dst/a"));
    EXPECT_TRUE(Copy("src/b", "dst/b"));
    fs.Release();
    worker.join();

    EXPECT_TRUE(heldResult);
    EXPECT_EQ(tree.ReadFile("dst/a"), "a");
}

TEST_F(FaultInjectingFileSystemTest, StopDuringAHeldCopyEndsTheTreeCopyAfterThatFile)
{
    for (const char* name : {"a", "b", "c", "d"})
        tree.WriteFile(std::string("src/") + name, name);
    const std::vector<std::string> order = ListedOrder("src/");
    fs.Hold(FsOperation::CopyFile, tree.Path("src/" + order[1]));

    FsStatus treeResult = FsStatus::Failure(EINVAL);
    std::thread worker([&] { treeResult = fs.CopyFolderTree(tree.Path("src/"), tree.Path("dst/"), stop); });
    ASSERT_TRUE(fs.WaitUntilHeld(heldTimeout));
    stop = true;
    fs.Release();
    worker.join();

    // The copy under way when the stop came completes; nothing after it starts.
    EXPECT_TRUE(treeResult);
    EXPECT_TRUE(tree.Exists("dst/" + order[0]));
    EXPECT_TRUE(tree.Exists("dst/" + order[1]));
    EXPECT_FALSE(tree.Exists("dst/" + order[2]));
    EXPECT_FALSE(tree.Exists("dst/" + order[3]));
    EXPECT_EQ(fs.CallCount(FsOperation::CopyFile), 2);
}

TEST_F(FaultInjectingFileSystemTest, FailureInsideATreeCopyLeavesOutOnlyThatEntry)
{
    for (const char* name : {"a", "b", "c", "d"})
        tree.WriteFile(std::string("src/") + name, name);
    const std::vector<std::string> order = ListedOrder("src/");
    fs.FailNthCall(FsOperation::CopyFile, 2, EIO);

    EXPECT_EQ(fs.CopyFolderTree(tree.Path("src/"), tree.Path("dst/"), stop).Error(), EIO);
    EXPECT_EQ(fs.CallCount(FsOperation::CopyFile), 4);
    const std::map<std::string, std::string> expected = {{"dst/", ""},
                                                         {"dst/" + order[0], order[0]},
                                                         {"dst/" + order[2], order[2]},
                                                         {"dst/" + order[3], order[3]}};
    std::map<std::string, std::string> copied;
    for (const auto& [path, content] : tree.Snapshot())
        if (path.starts_with("dst/"))
            copied[path] = content;
    EXPECT_EQ(copied, expected);
}

TEST_F(FaultInjectingFileSystemTest, FailureInsideANestedFolderEndsTheTreeDelete)
{
    tree.WriteFile("dir/sub/x", "x");
    fs.FailNthCall(FsOperation::RemoveFolder, 1, EBUSY);

    EXPECT_EQ(fs.DeleteFolderTree(tree.Path("dir/"), stop).Error(), EBUSY);
    EXPECT_FALSE(tree.Exists("dir/sub/x"));
    EXPECT_TRUE(tree.Exists("dir/sub"));
    EXPECT_EQ(fs.CallCount(FsOperation::DeleteTree), 2); // one per level
    EXPECT_EQ(fs.CallCount(FsOperation::RemoveFolder), 1);
}

// The real layer walks trees through open folders and, below a depth, through whole paths; the
// layer's hook reaches both.
TEST_F(FaultInjectingFileSystemTest, FaultsStrikeInsideTheRealLayersTreeWalksAtEveryDepth)
{
    std::string folder = "src/";
    for (int level = 0; level < 60; ++level) {
        tree.WriteFile(folder + "f", std::to_string(level));
        folder += "d/";
    }
    const std::string shallow = "d/d/f";
    std::string deep;
    for (int level = 0; level < 55; ++level)
        deep += "d/";
    deep += "f";
    for (const std::string& failing : {shallow, deep}) {
        SCOPED_TRACE(failing);
        const std::string target = "dst" + std::to_string(failing.size()) + "/";
        fs.ClearFaults();
        fs.FailPath(tree.Path(target + failing), EIO, FsOperation::CopyFile);
        EXPECT_EQ(fs.CopyFolderTree(tree.Path("src/"), tree.Path(target), stop).Error(), EIO);
        EXPECT_FALSE(tree.Exists(target + failing));
        EXPECT_TRUE(tree.Exists(target + failing.substr(0, failing.size() - 1))); // its folder was made
    }
    fs.ClearFaults();
    fs.FailPath(tree.Path("src/" + deep), EACCES, FsOperation::DeleteFile);
    EXPECT_EQ(fs.DeleteFolderTree(tree.Path("src/"), stop).Error(), EACCES);
    EXPECT_TRUE(tree.Exists("src/" + deep));
    // The whole tree as one call, then one call for each level the walk went down to.
    EXPECT_GE(fs.CallCount(FsOperation::DeleteTree), 1 + 55);
}

TEST_F(FaultInjectingFileSystemTest, WholeTreeOperationsCanFailBeforeTouchingAnything)
{
    tree.WriteFile("src/a", "a");
    tree.WriteFile("dir/b", "b");
    fs.FailNthCall(FsOperation::CopyTree, 1, ENOSPC);
    fs.FailPath(tree.Path("dir/"), EROFS, FsOperation::DeleteTree);

    EXPECT_EQ(fs.CopyFolderTree(tree.Path("src/"), tree.Path("dst/"), stop).Error(), ENOSPC);
    EXPECT_EQ(fs.DeleteFolderTree(tree.Path("dir/"), stop).Error(), EROFS);
    EXPECT_FALSE(tree.Exists("dst"));
    EXPECT_TRUE(tree.Exists("dir/b"));
    EXPECT_EQ(fs.CallCount(FsOperation::MakeFolder), 0);
    EXPECT_EQ(fs.CallCount(FsOperation::List), 0);
}

} // namespace
} // namespace twinfol::test
