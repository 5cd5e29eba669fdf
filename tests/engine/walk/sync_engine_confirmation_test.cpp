// Delete questions during a walk: the question texts, to-all answers across folder levels, No,
// Cancel, and a new run asking again.
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

class SyncEngineConfirmationTest : public SyncEngineTest {
protected:
    void SetUp() override
    {
        // Target-only files at three depths and target-only folders at two, inside folders that
        // exist on both sides.
        tree.WriteFile(Target("f1"), "1");
        tree.WriteFile(Target("f2"), "2");
        tree.WriteFile(Target("a/f3"), "3");
        tree.WriteFile(Target("a/b/f4"), "4");
        tree.MakeFolder(Target("a/b/gone1"));
        tree.MakeFolder(Target("gone2"));
        tree.MakeFolder(Target("gone3"));
        tree.MakeFolder(Source("a/b"));
    }
    void RunConfirmed() { Run({.confirmDeletes = true, .useTrash = false}); }
};
INSTANTIATE_TEST_SUITE_P(, SyncEngineConfirmationTest, bothWalks, JobsName);

TEST_P(SyncEngineConfirmationTest, AsksWithTheCaptionAndTargetPath)
{
    host.AddAnswer(ConfirmAnswer::No);
    host.AddAnswer(ConfirmAnswer::NoToAll);
    host.AddAnswer(ConfirmAnswer::No);
    host.AddAnswer(ConfirmAnswer::NoToAll);
    RunConfirmed();
    ASSERT_GE(host.Questions().size(), 3u);
    EXPECT_EQ(host.Questions()[0].caption, "Delete File");
    EXPECT_EQ(host.Questions()[0].lines[0], "Delete file: " + T("f1"));
    EXPECT_EQ(host.Questions()[0].lines[1], "");
    EXPECT_EQ(host.Questions()[2].caption, "Delete Sub-Folder");
    EXPECT_EQ(host.Questions()[2].lines[0], "Delete sub-folder: " + T("a/b/gone1"));
    EXPECT_EQ(SideSnapshot("target").size(), 9u); // nothing deleted
}

TEST_P(SyncEngineConfirmationTest, FileYesToAllHoldsAtEveryDepthWhileFoldersStillAsk)
{
    host.AddAnswer(ConfirmAnswer::YesToAll); // f1
    host.AddAnswer(ConfirmAnswer::No);       // folder a/b/gone1
    host.AddAnswer(ConfirmAnswer::Yes);      // folder gone2
    host.AddAnswer(ConfirmAnswer::No);       // folder gone3
    RunConfirmed();
    const std::vector<std::string> asked = {"Delete file: " + T("f1"), "Delete sub-folder: " + T("a/b/gone1"),
                                            "Delete sub-folder: " + T("gone2"),
                                            "Delete sub-folder: " + T("gone3")};
    EXPECT_EQ(host.QuestionLines(), asked);
    EXPECT_EQ(Items(report.deletedFiles),
              (std::vector<std::string>{T("a/b/f4"), T("a/f3"), T("f1"), T("f2")}));
    EXPECT_EQ(Items(report.deletedFolders), std::vector<std::string>{T("gone2")});
    EXPECT_TRUE(runState.fileYesToAll);
}

TEST_P(SyncEngineConfirmationTest, FolderNoToAllHoldsAcrossLevelsWhileFilesStillAsk)
{
    host.AddAnswer(ConfirmAnswer::Yes);     // f1
    host.AddAnswer(ConfirmAnswer::No);      // f2
    host.AddAnswer(ConfirmAnswer::Yes);     // a/f3
    host.AddAnswer(ConfirmAnswer::Yes);     // a/b/f4
    host.AddAnswer(ConfirmAnswer::NoToAll); // a/b/gone1; gone2 and gone3 are left without a question
    RunConfirmed();
    EXPECT_EQ(host.Questions().size(), 5u);
    EXPECT_EQ(Items(report.deletedFiles), (std::vector<std::string>{T("a/b/f4"), T("a/f3"), T("f1")}));
    EXPECT_TRUE(report.deletedFolders.empty());
    EXPECT_TRUE(tree.Exists(Target("f2")));
    EXPECT_TRUE(tree.Exists(Target("gone2")));
    EXPECT_TRUE(tree.Exists(Target("gone3")));
}

TEST_P(SyncEngineConfirmationTest, CancelLeavesTheItemAndEndsTheRun)
{
    tree.WriteFile(Source("z-added-later"), "z");
    host.AddAnswer(ConfirmAnswer::Yes);    // f1
    host.AddAnswer(ConfirmAnswer::Cancel); // f2
    RunConfirmed();
    EXPECT_EQ(host.Questions().size(), 2u);
    EXPECT_TRUE(runState.IsStopped());
    EXPECT_EQ(Items(report.deletedFiles), std::vector<std::string>{T("f1")});
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("z-added-later")});
    EXPECT_TRUE(tree.Exists(Target("f2")));
    EXPECT_TRUE(tree.Exists(Target("a/f3")));
    EXPECT_TRUE(tree.Exists(Target("gone2")));
    EXPECT_EQ(host.ProgressTexts().back(), "Deleting file: " + T("f1"));
}

TEST_P(SyncEngineConfirmationTest, ANewRunAsksAgainAfterYesToAll)
{
    host.AddAnswer(ConfirmAnswer::YesToAll);
    host.AddAnswer(ConfirmAnswer::YesToAll);
    RunConfirmed();
    EXPECT_EQ(host.Questions().size(), 2u);
    tree.WriteFile(Target("again"), "a");
    tree.MakeFolder(Target("againdir"));
    runState.ResetForRun();
    report.ResetForRun();
    host.AddAnswer(ConfirmAnswer::No);
    host.AddAnswer(ConfirmAnswer::No);
    RunConfirmed();
    EXPECT_EQ(host.Questions().size(), 4u);
    EXPECT_TRUE(report.deletedFiles.empty());
    EXPECT_TRUE(report.deletedFolders.empty());
}

TEST_P(SyncEngineConfirmationTest, ExcludedItemsAreNeverAskedAbout)
{
    exclusions = ExclusionList({T("f1"), T("gone2/")});
    host.AddAnswer(ConfirmAnswer::YesToAll);
    host.AddAnswer(ConfirmAnswer::YesToAll);
    RunConfirmed();
    EXPECT_EQ(host.QuestionLines(),
              (std::vector<std::string>{"Delete file: " + T("f2"), "Delete sub-folder: " + T("a/b/gone1")}));
    EXPECT_TRUE(tree.Exists(Target("f1")));
    EXPECT_TRUE(tree.Exists(Target("gone2")));
    EXPECT_FALSE(tree.Exists(Target("gone3")));
}

} // namespace
} // namespace twinfol::test
