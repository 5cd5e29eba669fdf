// The checks on a pair of roots before a run: each refusal, its message, and that nothing is created.
#include <gtest/gtest.h>

#include "engine/posix/posix_file_system.h"
#include "engine/walk/sync_roots.h"
#include "support/temp_tree.h"

namespace twinfol::test {
namespace {

class SyncRootsTest : public ::testing::Test {
protected:
    RootCheck Check(const std::string& sourceRoot, const std::string& targetRoot)
    {
        return CheckRoots(fileSystem, sourceRoot, targetRoot);
    }

    TempTree tree;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
    PosixFileSystem fileSystem;
};

TEST_F(SyncRootsTest, AcceptsTwoSeparateFoldersAndAddsMissingSeparators)
{
    const RootCheck check = Check(tree.Path("source"), tree.Path("target"));
    ASSERT_TRUE(check.IsOk()) << check.message;
    EXPECT_EQ(check.source, source);
    EXPECT_EQ(check.target, target);
    EXPECT_TRUE(check.message.empty());
    EXPECT_TRUE(Check(source, target).IsOk());
}

TEST_F(SyncRootsTest, RefusesEmptyRoots)
{
    EXPECT_EQ(Check("", target).problem, RootProblem::SourceEmpty);
    EXPECT_EQ(Check(source, "").problem, RootProblem::TargetEmpty);
}

TEST_F(SyncRootsTest, RefusesAMissingSourceNamingIt)
{
    const RootCheck check = Check(tree.Path("unmounted/"), target);
    EXPECT_EQ(check.problem, RootProblem::SourceMissing);
    EXPECT_EQ(check.message, "The source folder does not exist: " + tree.Path("unmounted"));
}

TEST_F(SyncRootsTest, RefusesAMissingTargetWithoutCreatingIt)
{
    const RootCheck check = Check(source, tree.Path("nodisk/"));
    EXPECT_EQ(check.problem, RootProblem::TargetMissing);
    EXPECT_NE(check.message.find(tree.Path("nodisk")), std::string::npos);
    EXPECT_FALSE(tree.Exists("nodisk"));
}

TEST_F(SyncRootsTest, RefusesRootsThatAreFiles)
{
    tree.WriteFile("file", "f");
    EXPECT_EQ(Check(tree.Path("file"), target).problem, RootProblem::SourceNotFolder);
    EXPECT_EQ(Check(source, tree.Path("file")).problem, RootProblem::TargetNotFolder);
    tree.MakeSymlink("linktofile", tree.Path("file"));
    EXPECT_EQ(Check(tree.Path("linktofile"), target).problem, RootProblem::SourceNotFolder);
}

TEST_F(SyncRootsTest, AcceptsARootReachedThroughASymbolicLink)
{
    tree.MakeSymlink("linktosource", tree.Path("source"));
    const RootCheck check = Check(tree.Path("linktosource"), target);
    ASSERT_TRUE(check.IsOk()) << check.message;
    EXPECT_EQ(check.source, tree.Path("linktosource/"));
}

TEST_F(SyncRootsTest, RefusesTheSameFolderUnderAnotherName)
{
    tree.MakeSymlink("alias", tree.Path("target"));
    EXPECT_EQ(Check(source, source).problem, RootProblem::SameFolder);
    EXPECT_EQ(Check(source, tree.Path("target/../source/")).problem, RootProblem::SameFolder);
    EXPECT_EQ(Check(tree.Path("./source/"), source).problem, RootProblem::SameFolder);
    EXPECT_EQ(Check(tree.Path("alias/"), target).problem, RootProblem::SameFolder);
}

TEST_F(SyncRootsTest, RefusesOneRootInsideTheOther)
{
    const std::string inner = tree.MakeFolder("source/inner");
    EXPECT_EQ(Check(source, inner).problem, RootProblem::TargetInsideSource);
    EXPECT_EQ(Check(inner, source).problem, RootProblem::SourceInsideTarget);
    tree.MakeSymlink("target/back", tree.Path("source/inner"));
    EXPECT_EQ(Check(source, tree.Path("target/back")).problem, RootProblem::TargetInsideSource);
    EXPECT_EQ(Check("/", target).problem, RootProblem::TargetInsideSource);
}

TEST_F(SyncRootsTest, ASharedNamePrefixIsNotNesting)
{
    const std::string sibling = tree.MakeFolder("sourcetwo");
    EXPECT_TRUE(Check(source, sibling).IsOk());
    EXPECT_TRUE(Check(sibling, source).IsOk());
}

} // namespace
} // namespace twinfol::test
