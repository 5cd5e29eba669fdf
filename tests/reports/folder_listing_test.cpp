// Reading folders for the folder browser, on real temporary trees: which entries count as folders,
// their order, existence checks without regard to case, and links that lead back up their path.
#include "reports/folder_listing.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "engine/posix/posix_file_system.h"
#include "support/fault_injecting_file_system.h"
#include "support/temp_tree.h"

namespace twinfol {
namespace {

std::vector<std::string> Names(const std::vector<FolderEntry>& entries)
{
    std::vector<std::string> names;
    for (const FolderEntry& entry : entries)
        names.push_back(entry.name);
    return names;
}

TEST(FolderListing, ListsFoldersHiddenOnesAndLinksToFoldersOnly)
{
    test::TempTree tree;
    PosixFileSystem fs;
    tree.MakeFolder("base/gamma");
    tree.MakeFolder("base/Beta");
    tree.MakeFolder("base/alpha");
    tree.MakeFolder("base/.hidden");
    tree.WriteFile("base/file.txt", "x");
    tree.MakeSymlink("base/linkToFolder", tree.Path("base/gamma"));
    tree.MakeSymlink("base/linkToFile", tree.Path("base/file.txt"));
    tree.MakeSymlink("base/broken", tree.Path("nowhere"));

    const std::vector<FolderEntry> entries = ListSubFolders(fs, tree.Path("base/"));
    EXPECT_EQ(Names(entries),
              (std::vector<std::string>{".hidden", "alpha", "Beta", "gamma", "linkToFolder"}));
    for (const FolderEntry& entry : entries)
        EXPECT_EQ(entry.kind == FolderEntryKind::LinkToFolder, entry.name == "linkToFolder") << entry.name;
}

TEST(FolderListing, NamesEqualButForCaseKeepAFixedOrder)
{
    test::TempTree tree;
    PosixFileSystem fs;
    tree.MakeFolder("data");
    tree.MakeFolder("Data");
    tree.MakeFolder("DATA2");
    EXPECT_EQ(Names(ListSubFolders(fs, tree.Root())), (std::vector<std::string>{"Data", "data", "DATA2"}));
}

TEST(FolderListing, FolderThatCannotBeReadHasNoSubFolders)
{
    test::TempTree tree;
    PosixFileSystem fs;
    EXPECT_TRUE(ListSubFolders(fs, tree.Path("missing/")).empty());
    tree.WriteFile("plain.txt", "x");
    EXPECT_TRUE(ListSubFolders(fs, tree.Path("plain.txt/")).empty());
}

TEST(FolderListing, FolderExistsIgnoresOneTrailingSlashAndMatchesComponentsWithoutCase)
{
    test::TempTree tree;
    PosixFileSystem fs;
    tree.MakeFolder("Data/Work");
    tree.WriteFile("Data/notes.txt", "x");
    EXPECT_TRUE(FolderExists(fs, tree.Path("Data/Work")));
    EXPECT_TRUE(FolderExists(fs, tree.Path("Data/Work/")));
    EXPECT_TRUE(FolderExists(fs, tree.Path("Data/notes.txt")));
    EXPECT_TRUE(FolderExists(fs, tree.Path("data/WORK")));
    EXPECT_TRUE(FolderExists(fs, tree.Path("DATA/Notes.TXT")));
    EXPECT_TRUE(FolderExists(fs, "/"));
    EXPECT_FALSE(FolderExists(fs, tree.Path("Data/Missing")));
    EXPECT_FALSE(FolderExists(fs, tree.Path("data/missing/")));
    EXPECT_FALSE(FolderExists(fs, ""));
    EXPECT_FALSE(FolderExists(fs, "relative/path"));
}

TEST(FolderListing, PathInAnotherCaseIsFoundUnderTheSpellingThatHoldsTheRest)
{
    test::TempTree tree;
    PosixFileSystem fs;
    tree.MakeFolder("data");
    tree.MakeFolder("Data/Work/Deep");
    tree.MakeFolder("DATA");
    EXPECT_EQ(FindPathAsSpelt(fs, tree.Path("DATA/work")), tree.Path("Data/Work"));
    EXPECT_EQ(FindPathAsSpelt(fs, tree.Path("data/WORK/deep/")), tree.Path("Data/Work/Deep"));
    // As spelt when it exists: no folder is read then.
    test::FaultInjectingFileSystem counted(fs);
    EXPECT_EQ(FindPathAsSpelt(counted, tree.Path("Data/Work/")), tree.Path("Data/Work"));
    EXPECT_EQ(counted.CallCount(test::FsOperation::List), 0);
    EXPECT_EQ(FindPathAsSpelt(fs, tree.Path("DATA")), tree.Path("DATA"));
    EXPECT_EQ(FindPathAsSpelt(fs, "/"), "/");
    EXPECT_EQ(FindPathAsSpelt(fs, tree.Path("data/Work/Missing")), std::nullopt);
}

TEST(FolderListing, LinksLeadingBackUpTheirPathAreLoops)
{
    test::TempTree tree;
    PosixFileSystem fs;
    tree.MakeFolder("a/b");
    tree.MakeFolder("elsewhere/c");
    tree.MakeSymlink("a/b/toA", tree.Path("a"));
    tree.MakeSymlink("a/b/toSelfFolder", tree.Path("a/b"));
    tree.MakeSymlink("a/b/toRoot", "/");
    tree.MakeSymlink("a/b/toElsewhere", tree.Path("elsewhere"));
    tree.MakeSymlink("a/b/toChild", tree.Path("elsewhere/c"));
    EXPECT_TRUE(IsLoopingFolderLink(fs, tree.Path("a/b/toA/")));
    EXPECT_TRUE(IsLoopingFolderLink(fs, tree.Path("a/b/toSelfFolder/")));
    EXPECT_TRUE(IsLoopingFolderLink(fs, tree.Path("a/b/toRoot/")));
    EXPECT_FALSE(IsLoopingFolderLink(fs, tree.Path("a/b/toElsewhere/")));
    EXPECT_FALSE(IsLoopingFolderLink(fs, tree.Path("a/b/toChild/")));
    // Reached through another link, the path passes the folder the second link points back to.
    tree.MakeSymlink("elsewhere/backToA", tree.Path("a"));
    EXPECT_TRUE(IsLoopingFolderLink(fs, tree.Path("a/b/toElsewhere/backToA/")));
}

TEST(FolderListing, ReadsOnlyThroughTheFileSystemLayer)
{
    test::TempTree tree;
    tree.MakeFolder("base/sub");
    tree.MakeSymlink("base/link", tree.Path("base/sub"));
    PosixFileSystem posix;
    test::FaultInjectingFileSystem fs(posix);
    fs.FailPath(tree.Path("base/"), EACCES, test::FsOperation::List);
    fs.FailPath(tree.Path("base/link"), EIO, test::FsOperation::Resolve);
    EXPECT_TRUE(ListSubFolders(fs, tree.Path("base/")).empty());
    EXPECT_TRUE(IsLoopingFolderLink(fs, tree.Path("base/link"))); // a link that cannot be resolved
    fs.ClearFaults();
    EXPECT_EQ(Names(ListSubFolders(fs, tree.Path("base/"))), (std::vector<std::string>{"link", "sub"}));
    EXPECT_FALSE(IsLoopingFolderLink(fs, tree.Path("base/link")));
    EXPECT_GE(fs.CallCount(test::FsOperation::List), 2);
}

TEST(FolderListing, CompletedPathEndsInOneSlash)
{
    EXPECT_EQ(CompleteFolderPath(""), "/");
    EXPECT_EQ(CompleteFolderPath("/"), "/");
    EXPECT_EQ(CompleteFolderPath("/srv/data"), "/srv/data/");
    EXPECT_EQ(CompleteFolderPath("/srv/data/"), "/srv/data/");
}

} // namespace
} // namespace twinfol
