// What every layer answers, the trial-run layer included: listings, kinds, stamps and resolved paths,
// and each refusal of a copy, a delete, a folder made or removed and a tree walk, with its errno value
// and reason, and what a tree copy tells its progress of. Run against the real layer (with unnamed and
// with named temporary files), the fault-injecting layer with nothing armed, a layer that does only
// the primitives, and the trial-run layer, which must answer as the real layers do while it changes
// nothing. What lands on the disk is the matter of file_system_disk_contract_test.cpp.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/records/refusal_reasons.h"
#include "support/file_system_contract_fixture.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

template <typename Layer> class FileSystemContract : public FileSystemFixture<Layer> {
protected:
    // The sizes a tree copy told its progress of, smallest first.
    std::vector<std::uint64_t> SortedSizes(const RecordedProgress& progress) const
    {
        std::vector<std::uint64_t> sizes = progress.Files();
        std::sort(sizes.begin(), sizes.end());
        return sizes;
    }
};
TYPED_TEST_SUITE_P(FileSystemContract);

// --- Listings, kinds and stamps ----------------------------------------------------------------

TYPED_TEST_P(FileSystemContract, ListsEveryEntryWithItsOwnKindNeverFollowingLinks)
{
    this->tree.WriteFile("dir/plain.txt", "a");
    this->tree.WriteFile("dir/.hidden", "b");
    this->tree.MakeFolder("dir/sub");
    this->tree.MakeFolder("dir/.hiddenSub");
    this->tree.MakeSymlink("dir/toSub", "sub");
    this->tree.MakeSymlink("dir/toFile", "plain.txt");
    this->tree.MakeSymlink("dir/dangling", "nowhere");
    this->tree.MakeFifo("dir/fifo");

    const std::map<std::string, EntryKind> expected = {
        {".hidden", EntryKind::File}, {".hiddenSub", EntryKind::Folder}, {"dangling", EntryKind::Link},
        {"fifo", EntryKind::Other},   {"plain.txt", EntryKind::File},    {"sub", EntryKind::Folder},
        {"toFile", EntryKind::Link},  {"toSub", EntryKind::Link}};
    EXPECT_EQ(this->List("dir/"), expected);
    EXPECT_TRUE(this->List("dir/sub/").empty());
}

TYPED_TEST_P(FileSystemContract, ListingFailsForMissingFolderOrFile)
{
    this->tree.WriteFile("file.txt", "x");
    int visited = 0;
    const auto count = [&](std::string_view, EntryKind) { return ++visited, true; };
    EXPECT_EQ(this->Fs().ListFolder(this->tree.Path("missing/"), count).Error(), ENOENT);
    EXPECT_EQ(this->Fs().ListFolder(this->tree.Path("file.txt/"), count).Error(), ENOTDIR);
    EXPECT_EQ(visited, 0);
}

TYPED_TEST_P(FileSystemContract, VisitorMayEndTheListingEarly)
{
    for (const char* name : {"a", "b", "c", "d", "e"})
        this->tree.WriteFile(std::string("some/") + name, name);
    int visited = 0;
    EXPECT_TRUE(this->Fs().ListFolder(this->tree.Path("some/"), [&](std::string_view, EntryKind) {
        ++visited;
        return false;
    }));
    EXPECT_EQ(visited, 1);
}

TYPED_TEST_P(FileSystemContract, ReadsStampsOfFilesAndLinksInWholeUtcSeconds)
{
    this->tree.WriteFile("leap.txt", "x");
    this->tree.SetModified("leap.txt", 1709251199, 999999999); // 2024-02-29 23:59:59.999 UTC
    this->tree.MakeSymlink("link", "leap.txt");
    this->tree.SetModified("link", 946684800); // 2000-01-01 00:00:00 UTC

    EXPECT_EQ(this->Fs().ReadFileStamp(this->tree.Path("leap.txt")),
              FileStamp::FromCalendar(2024, 2, 29, 23, 59, 59));
    EXPECT_EQ(this->Fs().ReadFileStamp(this->tree.Path("link")),
              FileStamp::FromCalendar(2000, 1, 1, 0, 0, 0));
    EXPECT_EQ(this->Fs().ReadFileStamp(this->tree.Path("missing")).Error(), ENOENT);
}

TYPED_TEST_P(FileSystemContract, ListingForStampsListsAlikeAndReadsCurrentStampsByName)
{
    this->tree.WriteFile("dir/a.txt", "a", 3000);
    this->tree.MakeSymlink("dir/link", "a.txt");
    this->tree.SetModified("dir/link", 946684800);
    this->tree.MakeFolder("dir/sub");
    FileSystem& fs = this->Fs();

    std::unique_ptr<FolderStampReader> stamps;
    std::map<std::string, EntryKind> entries;
    ASSERT_TRUE(fs.ListFolderForStamps(
        this->tree.Path("dir/"),
        [&](std::string_view name, EntryKind kind) {
            entries.emplace(name, kind);
            return true;
        },
        stamps));
    EXPECT_EQ(entries, this->List("dir/"));
    ASSERT_TRUE(stamps);
    EXPECT_EQ(stamps->ReadFileStamp("a.txt"), FileStamp::FromUnixTime(3000));
    EXPECT_EQ(stamps->ReadFileStamp("link"), FileStamp::FromCalendar(2000, 1, 1, 0, 0, 0));
    EXPECT_EQ(stamps->ReadFileStamp("missing").Error(), ENOENT);
    // Read when asked, not remembered from the listing.
    this->tree.SetModified("dir/a.txt", 1709251199);
    EXPECT_EQ(stamps->ReadFileStamp("a.txt"), FileStamp::FromCalendar(2024, 2, 29, 23, 59, 59));

    std::unique_ptr<FolderStampReader> none;
    EXPECT_FALSE(fs.ListFolderForStamps(
        this->tree.Path("missing/"), [](std::string_view, EntryKind) { return true; }, none));
    EXPECT_FALSE(none);
}

TYPED_TEST_P(FileSystemContract, TellsKindsWithoutFollowingLinksAndResolvesPaths)
{
    this->tree.WriteFile("file.txt", "x");
    this->tree.MakeFolder("sub");
    this->tree.MakeSymlink("toSub", "sub");
    this->tree.MakeFifo("fifo");
    FileSystem& fs = this->Fs();

    EXPECT_EQ(fs.KindOf(this->tree.Path("file.txt")), EntryKind::File);
    EXPECT_EQ(fs.KindOf(this->tree.Path("sub/")), EntryKind::Folder);
    EXPECT_EQ(fs.KindOf(this->tree.Path("toSub")), EntryKind::Link);
    EXPECT_EQ(fs.KindOf(this->tree.Path("toSub/")), EntryKind::Link);
    EXPECT_EQ(fs.KindOf(this->tree.Path("fifo")), EntryKind::Other);
    EXPECT_EQ(fs.KindOf(this->tree.Path("missing")), EntryKind::Missing);

    EXPECT_EQ(fs.LookAt(this->tree.Path("missing")).Error(), ENOENT);
    EXPECT_EQ(fs.LookAt(this->tree.Path("toSub/"))->kind, EntryKind::Link);

    const FsResult<std::string> root = fs.ResolvePath(this->tree.Root());
    ASSERT_TRUE(root);
    ASSERT_TRUE(root->ends_with('/'));
    EXPECT_EQ(fs.ResolvePath(this->tree.Path("sub/../toSub/")), *root + "sub/");
    EXPECT_EQ(fs.ResolvePath(this->tree.Path("./file.txt")), *root + "file.txt");
    EXPECT_EQ(fs.ResolvePath(this->tree.Path("missing/")).Error(), ENOENT);
}

// --- Single entries ----------------------------------------------------------------------------

TYPED_TEST_P(FileSystemContract, CopyFailsOntoFolderFromFolderAndIntoMissingFolder)
{
    this->tree.WriteFile("src/a.txt", "new");
    this->tree.MakeFolder("dst/a.txt");
    FileSystem& fs = this->Fs();

    const FsStatus ontoFolder = fs.CopyFile(this->tree.Path("src/a.txt"), this->tree.Path("dst/a.txt"));
    EXPECT_EQ(ontoFolder.Error(), EISDIR);
    EXPECT_EQ(ontoFolder.Reason(), folderAtTargetReason);
    EXPECT_EQ(fs.CopyFile(this->tree.Path("src/a.txt"), this->tree.Path("missing/a.txt")).Error(), ENOENT);
    EXPECT_EQ(fs.CopyFile(this->tree.Path("src/none"), this->tree.Path("dst/none")).Error(), ENOENT);
    const FsStatus fromFolder = fs.CopyFile(this->tree.Path("dst/a.txt"), this->tree.Path("dst/b.txt"));
    EXPECT_EQ(fromFolder.Error(), EISDIR);
    EXPECT_EQ(fromFolder.Reason(), sourceIsFolderReason);

    EXPECT_EQ(this->Under("dst/"), (std::map<std::string, std::string>{{"a.txt/", ""}}));
    EXPECT_FALSE(this->tree.Exists("missing"));
}

TYPED_TEST_P(FileSystemContract, SpecialFilesAreRefusedWithoutWaiting)
{
    this->tree.MakeFifo("src/fifo");
    this->tree.MakeSocket("src/socket");
    this->tree.WriteFile("dst/socket", "kept");
    this->tree.MakeFolder("dst");

    // A FIFO without a writer would block a plain open or read for ever.
    for (const char* name : {"fifo", "socket"}) {
        const std::string relative = std::string("/") + name;
        const FsStatus copied =
            this->Fs().CopyFile(this->tree.Path("src" + relative), this->tree.Path("dst" + relative));
        EXPECT_EQ(copied.Error(), EOPNOTSUPP) << name;
        EXPECT_EQ(copied.Reason(), sourceIsSpecialReason) << name;
    }
    EXPECT_EQ(this->Under("dst/"), (std::map<std::string, std::string>{{"socket", "kept"}}));
    this->ExpectNoTemporaryFiles();
}

TYPED_TEST_P(FileSystemContract, ReadOnlyFileIsNeitherOverwrittenNorDeleted)
{
    this->tree.WriteFile("src/ro.txt", "newer", 9000);
    this->tree.WriteFile("dst/ro.txt", "keep", 5000);
    this->tree.SetMode("dst/ro.txt", 0444);

    // Also when running as root, which the kernel would let write anyway.
    const FsStatus copied = this->Fs().CopyFile(this->tree.Path("src/ro.txt"), this->tree.Path("dst/ro.txt"));
    EXPECT_EQ(copied.Error(), EACCES);
    EXPECT_EQ(copied.Reason(), targetReadOnlyReason);
    const FsStatus deleted = this->Fs().DeleteFile(this->tree.Path("dst/ro.txt"));
    EXPECT_EQ(deleted.Error(), EACCES);
    EXPECT_EQ(deleted.Reason(), fileReadOnlyReason);

    EXPECT_EQ(this->tree.ReadFile("dst/ro.txt"), "keep");
    EXPECT_EQ(this->tree.Modified("dst/ro.txt"), 5000);
    EXPECT_EQ(this->tree.Mode("dst/ro.txt"), 0444u);
    this->ExpectNoTemporaryFiles();
}

TYPED_TEST_P(FileSystemContract, DeleteFileTakesLinksAsLinksAndRefusesFoldersAndMissingEntries)
{
    this->tree.WriteFile("outside/file.txt", "outside");
    this->tree.WriteFile("readOnly.txt", "ro");
    this->tree.SetMode("readOnly.txt", 0444);
    this->tree.MakeSymlink("dir/toFolder", "../outside");
    this->tree.MakeSymlink("dir/toReadOnly", "../readOnly.txt");
    this->tree.MakeFolder("dir/sub");
    FileSystem& fs = this->Fs();

    // A link is never read-only itself, whatever it points to.
    EXPECT_TRUE(fs.DeleteFile(this->tree.Path("dir/toFolder")));
    EXPECT_TRUE(fs.DeleteFile(this->tree.Path("dir/toReadOnly")));
    const FsStatus folder = fs.DeleteFile(this->tree.Path("dir/sub"));
    EXPECT_EQ(folder.Error(), EISDIR);
    EXPECT_EQ(folder.Reason(), folderWhereFileReason);
    EXPECT_EQ(fs.DeleteFile(this->tree.Path("dir/missing")).Error(), ENOENT);
    EXPECT_EQ(this->tree.ReadFile("outside/file.txt"), "outside");
    EXPECT_EQ(this->tree.ReadFile("readOnly.txt"), "ro");
}

TYPED_TEST_P(FileSystemContract, MakeFolderAndRemoveFolderRefuseWhatStandsInTheirWay)
{
    this->tree.WriteFile("file", "x");
    this->tree.MakeFolder("kept");
    this->tree.MakeFolder("empty");
    this->tree.MakeSymlink("toKept", "kept");
    this->tree.WriteFile("full/x", "x");
    FileSystem& fs = this->Fs();

    EXPECT_TRUE(fs.MakeFolder(this->tree.Path("new/")));
    EXPECT_TRUE(fs.MakeFolder(this->tree.Path("kept/")));
    for (const char* taken : {"file/", "toKept/"}) {
        const FsStatus made = fs.MakeFolder(this->tree.Path(taken));
        EXPECT_EQ(made.Error(), EEXIST) << taken;
        EXPECT_EQ(made.Reason(), fileWhereFolderReason) << taken;
    }
    EXPECT_EQ(fs.MakeFolder(this->tree.Path("missing/new/")).Error(), ENOENT);

    EXPECT_EQ(fs.RemoveFolder(this->tree.Path("full/")).Error(), ENOTEMPTY);
    EXPECT_EQ(fs.RemoveFolder(this->tree.Path("missing/")).Error(), ENOENT);
    EXPECT_EQ(fs.RemoveFolder(this->tree.Path("file")).Error(), ENOTDIR);
    EXPECT_EQ(fs.RemoveFolder(this->tree.Path("toKept")).Error(), ENOTDIR);
    EXPECT_TRUE(fs.RemoveFolder(this->tree.Path("empty/")));
    EXPECT_TRUE(this->tree.Exists("full/x"));
    EXPECT_TRUE(this->tree.Exists("kept"));
}

// --- Tree walks --------------------------------------------------------------------------------

TYPED_TEST_P(FileSystemContract, TreeCopyOntoAFileOrALinkOfTheSameNameFails)
{
    this->tree.WriteFile("src/a.txt", "a");
    this->tree.WriteFile("dst/x", "a file called x");
    this->tree.MakeFolder("outside");
    this->tree.MakeSymlink("dst/y", "../outside");

    for (const char* name : {"x/", "y/"}) {
        const FsStatus copied = this->Fs().CopyFolderTree(
            this->tree.Path("src/"), this->tree.Path(std::string("dst/") + name), this->stop);
        EXPECT_EQ(copied.Error(), EEXIST) << name;
        EXPECT_EQ(copied.Reason(), fileWhereFolderReason) << name;
    }
    EXPECT_EQ(this->tree.ReadFile("dst/x"), "a file called x");
    EXPECT_TRUE(this->Under("outside/").empty());
}

// A tree copy into a folder already there replaces files by the rules of a single copy.
TYPED_TEST_P(FileSystemContract, TreeCopyIntoAnExistingFolderMeetsWhatStandsThere)
{
    this->tree.WriteFile("src/ro.txt", "newer");
    this->tree.WriteFile("src/sub/x", "x");
    this->tree.WriteFile("ro/ro.txt", "keep");
    this->tree.SetMode("ro/ro.txt", 0444);
    this->tree.WriteFile("folder/ro.txt/inside", "kept");
    this->tree.WriteFile("file/sub", "a file where the source has a folder");

    const FsStatus readOnly =
        this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("ro/"), this->stop);
    EXPECT_EQ(readOnly.Error(), EACCES);
    EXPECT_EQ(readOnly.Reason(), targetReadOnlyReason);
    const FsStatus folder =
        this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("folder/"), this->stop);
    EXPECT_EQ(folder.Error(), EISDIR);
    EXPECT_EQ(folder.Reason(), folderAtTargetReason);
    const FsStatus file =
        this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("file/"), this->stop);
    EXPECT_EQ(file.Error(), EEXIST);
    EXPECT_EQ(file.Reason(), fileWhereFolderReason);
    EXPECT_EQ(this->tree.ReadFile("ro/ro.txt"), "keep");
    EXPECT_EQ(this->tree.ReadFile("folder/ro.txt/inside"), "kept");
    EXPECT_EQ(this->tree.ReadFile("file/sub"), "a file where the source has a folder");
}

TYPED_TEST_P(FileSystemContract, TreeCopyTellsOfEveryFileAndLinkAtEveryDepth)
{
    this->tree.WriteFile("src/a", "123");
    this->tree.WriteFile("src/sub/b", "12345");
    this->tree.WriteFile("src/sub/deeper/c", "1234567");
    this->tree.MakeSymlink("src/sub/link", "b");
    this->tree.MakeFolder("src/empty");
    RecordedProgress progress;

    ASSERT_TRUE(
        this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("dst/"), this->stop, &progress));
    // A link has no data of its own to tell of.
    EXPECT_EQ(this->SortedSizes(progress), (std::vector<std::uint64_t>{0, 3, 5, 7}));
}

// Files of a new folder may be made ready ahead of their turn; an entry refused among them leaves out
// only itself.
TYPED_TEST_P(FileSystemContract, TreeCopyLeavesOutARefusedEntryAndCopiesTheRest)
{
    for (int index = 0; index < 40; ++index)
        this->tree.WriteFile("src/f" + std::to_string(index), "content", 1000);
    this->tree.MakeFifo("src/pipe");
    const std::vector<std::string> order = this->ListedOrder("src/");
    const auto failing = std::find(order.begin(), order.end(), "pipe");
    ASSERT_NE(failing, order.end());
    RecordedProgress progress;

    const FsStatus copied =
        this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("dst/"), this->stop, &progress);
    EXPECT_EQ(copied.Error(), EOPNOTSUPP);
    EXPECT_EQ(copied.Reason(), sourceIsSpecialReason);
    EXPECT_EQ(progress.Files().size(), 40u);
    EXPECT_EQ(progress.NotCopied(), (std::vector<std::pair<std::string, std::string>>{
                                        {this->tree.Path("src/pipe"), sourceIsSpecialReason}}));
}

TYPED_TEST_P(FileSystemContract, StopEndsATreeCopyAfterTheCurrentEntryWithSuccess)
{
    for (const char* folder : {"src/", "src/d1/", "src/d2/"})
        for (const char* name : {"x", "y", "z"})
            this->tree.WriteFile(std::string(folder) + name, name);
    this->stop = true;
    RecordedProgress progress;

    // The current entry may be a sub-folder: the stop then ends the walk inside it too.
    EXPECT_TRUE(
        this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("dst/"), this->stop, &progress));
    EXPECT_EQ(progress.Files().size(), 1u);
}

TYPED_TEST_P(FileSystemContract, TreeCopyLeavesOutEverythingOfTheTemporaryShape)
{
    this->tree.WriteFile("src/a.txt", "a");
    this->tree.WriteFile("src/.twinfol-00aa11bb22cc33dd.part", "half a file");
    this->tree.WriteFile("src/sub/.twinfol-0123456789abcdef.part/inside", "x");
    this->tree.WriteFile("src/sub/.twinfol-notes.part", "the user's notes");
    RecordedProgress progress;

    ASSERT_TRUE(
        this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("dst/"), this->stop, &progress));
    EXPECT_EQ(this->SortedSizes(progress), (std::vector<std::uint64_t>{1, 16}));
}

TYPED_TEST_P(FileSystemContract, TreeDeleteEndsAtAReadOnlyFileAtAnyDepth)
{
    this->tree.WriteFile("flat/a", "a");
    this->tree.WriteFile("flat/ro", "ro");
    this->tree.SetMode("flat/ro", 0444);
    this->tree.WriteFile("nested/sub/deeper/ro", "ro");
    this->tree.SetMode("nested/sub/deeper/ro", 0444);

    for (const char* folder : {"flat/", "nested/"}) {
        const FsStatus deleted = this->Fs().DeleteFolderTree(this->tree.Path(folder), this->stop);
        EXPECT_EQ(deleted.Error(), EACCES) << folder;
        EXPECT_EQ(deleted.Reason(), fileReadOnlyReason) << folder;
    }
    EXPECT_EQ(this->tree.ReadFile("nested/sub/deeper/ro"), "ro");
}

TYPED_TEST_P(FileSystemContract, TreeDeleteRefusesALinkOrAFileWhereTheFolderWas)
{
    this->tree.WriteFile("outside/kept", "k");
    this->tree.MakeSymlink("link", "outside");
    this->tree.WriteFile("file", "f");
    FileSystem& fs = this->Fs();

    const FsStatus link = fs.DeleteFolderTree(this->tree.Path("link/"), this->stop);
    EXPECT_EQ(link.Error(), ELOOP);
    EXPECT_EQ(link.Reason(), linkWhereFolderWas);
    EXPECT_EQ(fs.DeleteFolderTree(this->tree.Path("file/"), this->stop).Error(), ENOTDIR);
    EXPECT_EQ(fs.DeleteFolderTree(this->tree.Path("missing/"), this->stop).Error(), ENOENT);
    EXPECT_EQ(this->tree.ReadFile("outside/kept"), "k");
    EXPECT_EQ(this->tree.ReadFile("file"), "f");
}

TYPED_TEST_P(FileSystemContract, StopEndsATreeDeleteWithTheFolderLeftInPlace)
{
    for (const char* name : {"a", "b", "c", "d"})
        this->tree.WriteFile(std::string("dir/") + name, name);
    this->stop = true;

    EXPECT_EQ(this->Fs().DeleteFolderTree(this->tree.Path("dir/"), this->stop).Error(), ENOTEMPTY);
    EXPECT_TRUE(this->tree.Exists("dir"));
}

TYPED_TEST_P(FileSystemContract, TreeDeleteLeavesAFileSystemMountedInsideItWhole)
{
    if (this->onServer)
        GTEST_SKIP() << "SFTP tells no mounts: a tree delete on a server cannot see one";
    this->tree.WriteFile("dir/a", "a");
    this->tree.MakeFolder("dir/mnt");
    this->tree.WriteFile("elsewhere/kept", "k");
    const TestMount mount = TestMount::Bind(this->tree.Path("elsewhere"), this->tree.Path("dir/mnt"));
    if (!mount.IsMounted())
        GTEST_SKIP() << mount.Failure();

    const FsStatus deleted = this->Fs().DeleteFolderTree(this->tree.Path("dir/"), this->stop);
    EXPECT_EQ(deleted.Error(), EXDEV);
    EXPECT_EQ(deleted.Reason(), mountedInside);
    EXPECT_EQ(this->tree.ReadFile("elsewhere/kept"), "k");
}

// --- Whole files -------------------------------------------------------------------------------

TYPED_TEST_P(FileSystemContract, ReadFileReadsUpToTheBoundThroughLinks)
{
    this->tree.WriteFile("profile.twp", "0123456789");
    this->tree.MakeSymlink("link.twp", "profile.twp");
    std::string bytes = "left over";
    ASSERT_TRUE(this->Fs().ReadFile(this->tree.Path("profile.twp"), 100, bytes));
    EXPECT_EQ(bytes, "0123456789");
    ASSERT_TRUE(this->Fs().ReadFile(this->tree.Path("link.twp"), 4, bytes));
    EXPECT_EQ(bytes, "0123");
    this->tree.WriteFile("empty", "");
    ASSERT_TRUE(this->Fs().ReadFile(this->tree.Path("empty"), 4, bytes));
    EXPECT_EQ(bytes, "");
}

TYPED_TEST_P(FileSystemContract, ReadFileRefusesAnythingButARegularFileWithoutWaiting)
{
    this->tree.MakeFolder("folder.twp");
    const std::string fifo = this->tree.MakeFifo("pipe.twp");
    std::string bytes;
    EXPECT_EQ(this->Fs().ReadFile(this->tree.Path("folder.twp"), 100, bytes).Error(), EISDIR);
    EXPECT_EQ(this->Fs().ReadFile(this->tree.Path("missing.twp"), 100, bytes).Error(), ENOENT);
    // Opening a FIFO for reading would wait for a writer for ever.
    auto reading = std::async(std::launch::async, [&] {
        std::string ignored;
        return this->Fs().ReadFile(fifo, 100, ignored);
    });
    if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK); // lets the stuck open go
        if (writer >= 0)
            close(writer);
        ADD_FAILURE() << "reading a FIFO waited for a writer";
    }
    const FsStatus read = reading.get();
    EXPECT_FALSE(read);
    EXPECT_FALSE(read.Reason().empty());
}

TYPED_TEST_P(FileSystemContract, MakeFoldersGoesThroughLinksToFoldersAndRefusesAFileOnTheWay)
{
    this->tree.MakeFolder("kept");
    this->tree.MakeSymlink("toKept", "kept");
    this->tree.WriteFile("file", "x");
    FileSystem& fs = this->Fs();

    EXPECT_TRUE(fs.MakeFolders(this->tree.Path("toKept/a/b/"), 0700));
    EXPECT_TRUE(fs.MakeFolders(this->tree.Path("kept"), 0700));
    EXPECT_EQ(fs.MakeFolders(this->tree.Path("file/sub/"), 0700).Error(), ENOTDIR);
    const FsStatus onFile = fs.MakeFolders(this->tree.Path("file/"), 0700);
    EXPECT_EQ(onFile.Error(), ENOTDIR);
    EXPECT_EQ(onFile.Reason(), fileWhereFoldersBelong);
    EXPECT_EQ(this->tree.ReadFile("file"), "x");
}

REGISTER_TYPED_TEST_SUITE_P(
    FileSystemContract, ListsEveryEntryWithItsOwnKindNeverFollowingLinks, ListingFailsForMissingFolderOrFile,
    VisitorMayEndTheListingEarly, ReadsStampsOfFilesAndLinksInWholeUtcSeconds,
    ListingForStampsListsAlikeAndReadsCurrentStampsByName, TellsKindsWithoutFollowingLinksAndResolvesPaths,
    CopyFailsOntoFolderFromFolderAndIntoMissingFolder, SpecialFilesAreRefusedWithoutWaiting,
    ReadOnlyFileIsNeitherOverwrittenNorDeleted, DeleteFileTakesLinksAsLinksAndRefusesFoldersAndMissingEntries,
    MakeFolderAndRemoveFolderRefuseWhatStandsInTheirWay, TreeCopyOntoAFileOrALinkOfTheSameNameFails,
    TreeCopyIntoAnExistingFolderMeetsWhatStandsThere, TreeCopyTellsOfEveryFileAndLinkAtEveryDepth,
    TreeCopyLeavesOutARefusedEntryAndCopiesTheRest, StopEndsATreeCopyAfterTheCurrentEntryWithSuccess,
    TreeCopyLeavesOutEverythingOfTheTemporaryShape, TreeDeleteEndsAtAReadOnlyFileAtAnyDepth,
    TreeDeleteRefusesALinkOrAFileWhereTheFolderWas, StopEndsATreeDeleteWithTheFolderLeftInPlace,
    TreeDeleteLeavesAFileSystemMountedInsideItWhole, ReadFileReadsUpToTheBoundThroughLinks,
    ReadFileRefusesAnythingButARegularFileWithoutWaiting,
    MakeFoldersGoesThroughLinksToFoldersAndRefusesAFileOnTheWay);
INSTANTIATE_TYPED_TEST_SUITE_P(Local, FileSystemContract, EveryLayer, LayerNames);
INSTANTIATE_TYPED_TEST_SUITE_P(Server, FileSystemContract, ServerLayers, LayerNames);

} // namespace
} // namespace twinfol::test
