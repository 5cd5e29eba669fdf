// The folder walk on real trees: the overwrite rule, adds and deletes, sub-folders, exclusions at
// each decision point, names and report order, progress texts and the second run.
#include <algorithm>

#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

INSTANTIATE_TEST_SUITE_P(, SyncEngineTest, bothWalks, JobsName);

TEST_P(SyncEngineTest, OverwritesOnlyWhenSourceIsMoreThan120SecondsNewer)
{
    tree.WriteFile(Source("exactly120"), "new", baseTime + 120);
    tree.WriteFile(Target("exactly120"), "old", baseTime);
    tree.WriteFile(Source("newer121"), "new", baseTime + 121);
    tree.WriteFile(Target("newer121"), "old", baseTime);
    tree.WriteFile(Source("older"), "old", baseTime);
    tree.WriteFile(Target("older"), "newer", baseTime + 100000000);
    Run();
    EXPECT_EQ(Items(report.overwrittenFiles), std::vector<std::string>{T("newer121")});
    EXPECT_EQ(report.overwrittenFileCount, 1);
    EXPECT_EQ(tree.ReadFile(Target("newer121")), "new");
    EXPECT_EQ(tree.Modified(Target("newer121")), baseTime + 121);
    EXPECT_EQ(tree.ReadFile(Target("exactly120")), "old");
    EXPECT_EQ(tree.ReadFile(Target("older")), "newer");
    EXPECT_TRUE(report.problemLog.empty());
    EXPECT_TRUE(report.deletedFiles.empty());
}

TEST_P(SyncEngineTest, ComparesWholeSecondsWithMillisecondsDropped)
{
    // 10:02:00.999 against 10:00:00.000 is 120 seconds: left alone.
    tree.WriteFile(Source("kept"), "new");
    tree.SetModified(Source("kept"), baseTime + 120, 999'000'000);
    tree.WriteFile(Target("kept"), "old", baseTime);
    // 10:02:01.000 against 10:00:00.999 is 121 seconds: overwritten.
    tree.WriteFile(Source("replaced"), "new", baseTime + 121);
    tree.WriteFile(Target("replaced"), "old");
    tree.SetModified(Target("replaced"), baseTime, 999'000'000);
    Run();
    EXPECT_EQ(Items(report.overwrittenFiles), std::vector<std::string>{T("replaced")});
    EXPECT_EQ(tree.ReadFile(Target("kept")), "old");
    EXPECT_EQ(tree.ReadFile(Target("replaced")), "new");
}

TEST_P(SyncEngineTest, AddsAndDeletesFilesAndWholeFolderTrees)
{
    tree.WriteFile(Source("both"), "same", baseTime);
    tree.WriteFile(Target("both"), "same", baseTime);
    tree.WriteFile(Source("new.txt"), "n");
    tree.WriteFile(Source("newdir/inner/deep.txt"), "d");
    tree.MakeFolder(Source("newdir/empty"));
    tree.WriteFile(Target("stale.txt"), "s");
    tree.WriteFile(Target("staledir/x/y.txt"), "y");
    Run();
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("new.txt")});
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("newdir")});
    EXPECT_EQ(Items(report.deletedFiles), std::vector<std::string>{T("stale.txt")});
    EXPECT_EQ(Items(report.deletedFolders), std::vector<std::string>{T("staledir")});
    EXPECT_EQ(report.addedFileCount, 1);
    EXPECT_EQ(report.addedFolderCount, 1);
    EXPECT_EQ(report.deletedFileCount, 1);
    EXPECT_EQ(report.deletedFolderCount, 1);
    EXPECT_EQ(SideSnapshot("target"), SideSnapshot("source"));
}

TEST_P(SyncEngineTest, WithoutAddOrDeleteOnlyOverwrites)
{
    tree.WriteFile(Source("new.txt"), "n");
    tree.MakeFolder(Source("newdir"));
    tree.WriteFile(Target("stale.txt"), "s");
    tree.MakeFolder(Target("staledir"));
    tree.WriteFile(Source("changed"), "new", baseTime + 500);
    tree.WriteFile(Target("changed"), "old", baseTime);
    Run({.addMissing = false, .deleteMissing = false, .useTrash = false});
    EXPECT_EQ(Items(report.overwrittenFiles), std::vector<std::string>{T("changed")});
    EXPECT_EQ(report.addedFileCount + report.addedFolderCount + report.deletedFileCount +
                  report.deletedFolderCount,
              0);
    EXPECT_FALSE(tree.Exists(Target("new.txt")));
    EXPECT_FALSE(tree.Exists(Target("newdir")));
    EXPECT_TRUE(tree.Exists(Target("stale.txt")));
    EXPECT_TRUE(tree.Exists(Target("staledir")));
}

TEST_P(SyncEngineTest, SubFoldersOffLeavesEveryFolderAlone)
{
    tree.WriteFile(Source("top.txt"), "t");
    tree.WriteFile(Source("shared/inner.txt"), "new", baseTime + 1000);
    tree.WriteFile(Target("shared/inner.txt"), "old", baseTime);
    tree.WriteFile(Target("shared/extra.txt"), "e");
    tree.MakeFolder(Source("onlysource"));
    tree.MakeFolder(Target("onlytarget"));
    Run({.confirmDeletes = false, .checkSubFolders = false, .useTrash = false});
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("top.txt")});
    EXPECT_TRUE(report.overwrittenFiles.empty());
    EXPECT_TRUE(report.addedFolders.empty());
    EXPECT_TRUE(report.deletedFolders.empty());
    EXPECT_EQ(tree.ReadFile(Target("shared/inner.txt")), "old");
    EXPECT_TRUE(tree.Exists(Target("shared/extra.txt")));
    EXPECT_FALSE(tree.Exists(Target("onlysource")));
    EXPECT_TRUE(tree.Exists(Target("onlytarget")));
    for (const std::string& text : host.ProgressTexts())
        EXPECT_FALSE(text.starts_with("Checking folder: ")) << text;
}

TEST_P(SyncEngineTest, SourceFileFacingTargetFolderFailsThenTheFolderIsDeleted)
{
    tree.WriteFile(Source("x"), "file");
    tree.WriteFile(Target("x/inside.txt"), "i");
    Run();
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{"Could not copy file: " + T("x")});
    EXPECT_EQ(report.problemLog.at(0).reason, "a folder of that name stands at the target");
    EXPECT_TRUE(report.addedFiles.empty());
    EXPECT_EQ(Items(report.deletedFolders), std::vector<std::string>{T("x")});
    EXPECT_FALSE(tree.Exists(Target("x")));
}

TEST_P(SyncEngineTest, NewFolderTreeIsCopiedWholeIncludingExcludedItems)
{
    tree.WriteFile(Source("new/secret.txt"), "s");
    tree.WriteFile(Source("new/private/a.txt"), "a");
    exclusions = ExclusionList({S("new/secret.txt"), S("new/private/")});
    Run();
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("new")});
    EXPECT_EQ(tree.ReadFile(Target("new/secret.txt")), "s");
    EXPECT_EQ(tree.ReadFile(Target("new/private/a.txt")), "a");
}

TEST_P(SyncEngineTest, ExclusionsStopEachDecision)
{
    // Overwrite: excluded by the source path, and separately by the target path.
    tree.WriteFile(Source("overS"), "new", baseTime + 500);
    tree.WriteFile(Target("overS"), "old", baseTime);
    tree.WriteFile(Source("overT"), "new", baseTime + 500);
    tree.WriteFile(Target("overT"), "old", baseTime);
    // Add and delete of files.
    tree.WriteFile(Source("addme"), "a");
    tree.WriteFile(Target("keepme"), "k");
    // A folder on both sides, entered neither when its source nor when its target path is listed.
    tree.WriteFile(Source("enterS/f"), "new", baseTime + 500);
    tree.WriteFile(Target("enterS/f"), "old", baseTime);
    tree.WriteFile(Target("enterS/extra"), "e");
    tree.WriteFile(Source("enterT/f"), "new", baseTime + 500);
    tree.WriteFile(Target("enterT/f"), "old", baseTime);
    // Add and delete of folders.
    tree.MakeFolder(Source("newdir"));
    tree.MakeFolder(Target("olddir"));
    // Byte-exact: a folder entry without its trailing separator, or in another case, matches nothing.
    tree.WriteFile(Target("notexact/f"), "f");
    tree.WriteFile(Target("CaseDiffers"), "c");
    exclusions = ExclusionList({S("overS"), T("overT"), S("addme"), T("keepme"), S("enterS/"), T("enterT/"),
                                S("newdir/"), T("olddir/"), T("notexact"), T("casediffers")});
    Run();
    EXPECT_TRUE(report.overwrittenFiles.empty());
    EXPECT_TRUE(report.addedFiles.empty());
    EXPECT_TRUE(report.addedFolders.empty());
    EXPECT_EQ(Items(report.deletedFiles), std::vector<std::string>{T("CaseDiffers")});
    EXPECT_EQ(Items(report.deletedFolders), std::vector<std::string>{T("notexact")});
    EXPECT_EQ(tree.ReadFile(Target("overS")), "old");
    EXPECT_EQ(tree.ReadFile(Target("overT")), "old");
    EXPECT_FALSE(tree.Exists(Target("addme")));
    EXPECT_TRUE(tree.Exists(Target("keepme")));
    EXPECT_EQ(tree.ReadFile(Target("enterS/f")), "old");
    EXPECT_TRUE(tree.Exists(Target("enterS/extra")));
    EXPECT_EQ(tree.ReadFile(Target("enterT/f")), "old");
    EXPECT_FALSE(tree.Exists(Target("newdir")));
    EXPECT_TRUE(tree.Exists(Target("olddir")));
    EXPECT_TRUE(report.problemLog.empty());
}

// The same decisions where a level holds enough items that several workers share them: more source
// files than one worker's piece, several deletes and several folders, the excluded ones among them.
TEST_P(SyncEngineTest, ExclusionsStopEachDecisionOnALevelOfManyItems)
{
    std::vector<std::string> overwritten;
    std::vector<std::string> addedFiles;
    std::vector<std::string> deletedFiles;
    std::vector<std::string> addedFolders;
    std::vector<std::string> deletedFolders;
    for (int index = 0; index < 8; ++index) {
        const std::string number = std::to_string(index);
        tree.WriteFile(Source("add" + number), "a");
        tree.WriteFile(Source("new" + number), "new", baseTime + 500);
        tree.WriteFile(Target("new" + number), "old", baseTime);
        tree.WriteFile(Source("older" + number), "older", baseTime);
        tree.WriteFile(Target("older" + number), "newer", baseTime + 500);
        tree.WriteFile(Target("stale" + number), "s");
        tree.WriteFile(Source("dir" + number + "/f"), "new", baseTime + 500);
        tree.WriteFile(Target("dir" + number + "/f"), "old", baseTime);
        tree.WriteFile(Source("newdir" + number + "/f"), "f");
        tree.WriteFile(Target("olddir" + number + "/f"), "f");
        // An add is stopped by its source path only: its target path names nothing to leave alone.
        if (index != 0) {
            addedFiles.push_back(T("add" + number));
            addedFolders.push_back(T("newdir" + number));
        }
        if (index == 0 || index == 4)
            continue; // excluded below
        overwritten.push_back(T("new" + number));
        overwritten.push_back(T("dir" + number + "/f"));
        deletedFiles.push_back(T("stale" + number));
        deletedFolders.push_back(T("olddir" + number));
    }
    // Each kind of item excluded by its source path (0) and by its target path (4).
    exclusions = ExclusionList({S("add0"), T("add4"), S("new0"), T("new4"), S("older0"), T("older4"),
                                T("stale0"), T("stale4"), S("dir0/"), T("dir4/"), S("newdir0/"),
                                T("newdir4/"), T("olddir0/"), T("olddir4/")});
    Run();
    const auto sorted = [](std::vector<std::string> paths) {
        std::sort(paths.begin(), paths.end());
        return paths;
    };
    EXPECT_EQ(report.ProblemLines(), std::vector<std::string>{});
    EXPECT_EQ(Items(report.overwrittenFiles), sorted(overwritten));
    EXPECT_EQ(Items(report.addedFiles), sorted(addedFiles));
    EXPECT_EQ(Items(report.deletedFiles), sorted(deletedFiles));
    EXPECT_EQ(Items(report.addedFolders), sorted(addedFolders));
    EXPECT_EQ(Items(report.deletedFolders), sorted(deletedFolders));
    for (const std::string number : {"0", "4"}) {
        EXPECT_EQ(tree.ReadFile(Target("new" + number)), "old") << number;
        EXPECT_EQ(tree.ReadFile(Target("older" + number)), "newer") << number;
        EXPECT_EQ(tree.ReadFile(Target("stale" + number)), "s") << number;
        EXPECT_EQ(tree.ReadFile(Target("dir" + number + "/f")), "old") << number;
        EXPECT_EQ(tree.ReadFile(Target("olddir" + number + "/f")), "f") << number;
    }
    EXPECT_FALSE(tree.Exists(Target("add0")));
    EXPECT_FALSE(tree.Exists(Target("newdir0")));
}

TEST_P(SyncEngineTest, ExclusionInsideAnEnteredFolderAppliesAtItsOwnLevel)
{
    tree.WriteFile(Source("a/b/skip.txt"), "s");
    tree.WriteFile(Source("a/b/take.txt"), "t");
    tree.MakeFolder(Target("a/b"));
    exclusions = ExclusionList({S("a/b/skip.txt")});
    Run();
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("a/b/take.txt")});
    EXPECT_FALSE(tree.Exists(Target("a/b/skip.txt")));
}

TEST_P(SyncEngineTest, NamesDifferingOnlyInCaseDoNotCorrespond)
{
    tree.WriteFile(Source("Readme.txt"), "source");
    tree.WriteFile(Target("README.TXT"), "target");
    tree.MakeFolder(Source("Docs"));
    tree.MakeFolder(Target("docs"));
    Run();
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("Readme.txt")});
    EXPECT_EQ(Items(report.deletedFiles), std::vector<std::string>{T("README.TXT")});
    EXPECT_EQ(Items(report.addedFolders), std::vector<std::string>{T("Docs")});
    EXPECT_EQ(Items(report.deletedFolders), std::vector<std::string>{T("docs")});
}

TEST_P(SyncEngineTest, ReportListsAreInByteOrderWithDotAndNonAsciiNames)
{
    const std::string accented = "\xC3\xA9t\xC3\xA9.txt"; // été.txt
    const std::string latin1 = "caf\xE9";                 // not UTF-8
    for (const std::string& name : {std::string("a.txt"), std::string("Z.txt"), std::string("x.txt"),
                                    std::string(".hidden"), accented, latin1})
        tree.WriteFile(Source(name), name);
    tree.WriteFile(Source("x/inner.txt"), "i");
    tree.MakeFolder(Target("x"));
    Run();
    const std::vector<std::string> expected = {T(".hidden"), T("Z.txt"),       T("a.txt"), T(latin1),
                                               T("x.txt"),   T("x/inner.txt"), T(accented)};
    EXPECT_EQ(Items(report.addedFiles), expected);
    EXPECT_EQ(report.addedFileCount, 7);
    EXPECT_EQ(tree.ReadFile(Target(latin1)), latin1);
}

TEST_P(SyncEngineTest, WalksFilesBeforeFoldersAndShowsTheSevenProgressTexts)
{
    tree.WriteFile(Source("same"), "s", baseTime);
    tree.WriteFile(Target("same"), "s", baseTime);
    tree.WriteFile(Source("changed"), "new", baseTime + 500);
    tree.WriteFile(Target("changed"), "old", baseTime);
    tree.WriteFile(Source("added"), "a");
    tree.WriteFile(Target("gone"), "g");
    tree.WriteFile(Source("sub/f"), "f");
    tree.MakeFolder(Target("sub"));
    tree.MakeFolder(Source("tree"));
    tree.MakeFolder(Target("oldtree"));
    Run();
    const std::vector<std::string> expected = {
        "Adding file: " + T("added"),        "Checking file: " + T("changed"),
        "Overwriting file: " + T("changed"), "Checking file: " + T("same"),
        "Deleting file: " + T("gone"),       "Checking folder: " + T("sub"),
        "Adding file: " + T("sub/f"),        "Checking folder: " + T("tree"),
        "Adding folder: " + T("tree"),       "Deleting folder: " + T("oldtree"),
    };
    EXPECT_EQ(host.ProgressTexts(), expected);
}

TEST_P(SyncEngineTest, LeftoverTemporaryFilesAreNeitherCopiedNorDeleted)
{
    const std::string leftover =
        std::string(temporaryNamePrefix) + "1a2b3c4d5e6f7a8b" + std::string(temporaryNameSuffix);
    tree.WriteFile(Source(leftover), "half");
    tree.WriteFile(Target(leftover), "half");
    tree.WriteFile(Target("sub/" + leftover), "half");
    tree.MakeFolder(Source("sub"));
    Run();
    EXPECT_TRUE(report.addedFiles.empty());
    EXPECT_TRUE(report.deletedFiles.empty());
    EXPECT_TRUE(tree.Exists(Target(leftover)));
    EXPECT_TRUE(tree.Exists(Target("sub/" + leftover)));
}

TEST_P(SyncEngineTest, SymbolicLinksAreCopiedAsLinksAndNeverEntered)
{
    tree.WriteFile("elsewhere/outside.txt", "o");
    tree.MakeSymlink(Source("link"), tree.Path("elsewhere"));
    Run();
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("link")});
    EXPECT_TRUE(report.addedFolders.empty());
    EXPECT_EQ(SideSnapshot("target").at("link"), "-> " + tree.Path("elsewhere"));
}

TEST_P(SyncEngineTest, SecondRunAfterACompleteRunHasNothingToDo)
{
    tree.WriteFile(Source("a.txt"), "a", baseTime);
    tree.WriteFile(Source("d1/d2/b.txt"), "b", baseTime + 7);
    tree.MakeFolder(Source("d1/empty"));
    tree.WriteFile(Source("d1/c.txt"), "c", baseTime + 9);
    tree.WriteFile(Target("a.txt"), "old", baseTime - 1000);
    tree.WriteFile(Target("d1/old.txt"), "o");
    tree.WriteFile(Target("gone/x"), "x");
    Run();
    ASSERT_TRUE(report.problemLog.empty());
    ASSERT_GT(report.addedFileCount + report.overwrittenFileCount + report.deletedFolderCount, 0);
    SyncReport second;
    SyncEngine engine(fileSystem, exclusions, runState, second, host);
    engine.SynchroniseFolder(source, target, WithJobs(unconfirmed));
    EXPECT_EQ(second.overwrittenFileCount + second.addedFileCount + second.deletedFileCount +
                  second.addedFolderCount + second.deletedFolderCount,
              0);
    EXPECT_TRUE(second.problemLog.empty());
    EXPECT_EQ(SideSnapshot("target"), SideSnapshot("source"));
}

TEST_P(SyncEngineTest, StopRequestedBeforeTheRunTouchesNothing)
{
    tree.WriteFile(Source("new.txt"), "n");
    tree.WriteFile(Target("old.txt"), "o");
    runState.RequestStop();
    Run();
    EXPECT_TRUE(host.ProgressTexts().empty());
    EXPECT_FALSE(tree.Exists(Target("new.txt")));
    EXPECT_TRUE(tree.Exists(Target("old.txt")));
}

// A stop asked for at a progress text, at one job only: there the text comes before its copy.
using SyncEngineStopTest = SyncEngineFixture;

TEST_F(SyncEngineStopTest, StopAfterAFileEndsTheRunAtTheNextStopTest)
{
    tree.WriteFile(Source("a"), "a");
    tree.WriteFile(Source("b"), "b");
    tree.WriteFile(Source("dir/c"), "c");
    tree.WriteFile(Target("old"), "o");
    host.OnProgress([&](const std::string& text) {
        if (text == "Adding file: " + T("a"))
            runState.RequestStop();
    });
    // One job: workers copy ahead of the progress texts, so a stop asked for at a text comes later.
    Run({.confirmDeletes = false, .useTrash = false, .jobs = 1});
    // The copy under way completes and counts; nothing after it is done.
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("a")});
    EXPECT_FALSE(tree.Exists(Target("b")));
    EXPECT_FALSE(tree.Exists(Target("dir")));
    EXPECT_TRUE(tree.Exists(Target("old")));
    EXPECT_EQ(host.ProgressTexts().back(), "Adding file: " + T("a"));
}

} // namespace
} // namespace twinfol::test
