// What every layer that writes must leave on the disk, run against the real layer (with unnamed and
// with named temporary files), the fault-injecting layer with nothing armed, and a layer that does
// only the primitives and takes its tree walks and folder paths from the interface's defaults: copied
// content, modes and time stamps, what a failed or stopped copy or delete leaves, whole-file
// replacements and locks. What a layer answers, which the trial-run layer must answer alike, is in
// file_system_contract_test.cpp.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/file_system_contract_fixture.h"

namespace twinfol::test {
namespace {

timespec ModifiedExactly(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mtim;
}

// Lowers the largest file this process may write, so that a copy fails after part of its data.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        savedHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, savedHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    sighandler_t savedHandler_ = SIG_DFL;
};

// Whether another process could take the lock on the file right now, without waiting for it.
bool AnotherProcessCouldLock(const std::string& path)
{
    const pid_t child = fork();
    if (child == 0) {
        const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        _exit(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <typename Layer> class FileSystemDiskContract : public FileSystemFixture<Layer> {
};
TYPED_TEST_SUITE_P(FileSystemDiskContract);

// --- Listings ----------------------------------------------------------------------------------

TYPED_TEST_P(FileSystemDiskContract, VisitorMayDeleteTheEntriesItIsHanded)
{
    for (const char* name : {"a", "b", "c", "d", "e"}) {
        this->tree.WriteFile(std::string("all/") + name, name);
    }
    int visited = 0;
    const FsStatus deleting =
        this->Fs().ListFolder(this->tree.Path("all/"), [&](std::string_view name, EntryKind) {
            ++visited;
            EXPECT_TRUE(this->Fs().DeleteFile(this->tree.Path("all/" + std::string(name))));
            return true;
        });
    EXPECT_TRUE(deleting);
    EXPECT_EQ(visited, 5);
    EXPECT_TRUE(this->List("all/").empty());
}

// --- Copying one file --------------------------------------------------------------------------

TYPED_TEST_P(FileSystemDiskContract, CopyAddsFileWithContentTimeStampAndExactMode)
{
    std::string content(300 * 1024, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7919 % 251);
    this->tree.WriteFile("src/data.bin", content);
    this->tree.SetMode("src/data.bin", 02751);
    this->tree.SetModified("src/data.bin", 1000000000, 123456789);
    this->tree.MakeFolder("dst");

    const mode_t savedMask = umask(077); // The copy's mode is the source's, not the umask's.
    const FsStatus copied =
        this->Fs().CopyFile(this->tree.Path("src/data.bin"), this->tree.Path("dst/data.bin"));
    umask(savedMask);

    ASSERT_TRUE(copied) << "errno " << copied.Error();
    EXPECT_EQ(this->tree.ReadFile("dst/data.bin"), content);
    EXPECT_EQ(this->tree.Mode("dst/data.bin"), 02751u);
    const timespec modified = ModifiedExactly(this->tree.Path("dst/data.bin"));
    EXPECT_EQ(modified.tv_sec, 1000000000);
    EXPECT_EQ(modified.tv_nsec, this->onServer ? 0 : 123456789);
    EXPECT_EQ(this->Fs().ReadFileStamp(this->tree.Path("dst/data.bin")),
              this->Fs().ReadFileStamp(this->tree.Path("src/data.bin")).value_or(FileStamp{}));
    this->ExpectNoTemporaryFiles();
}

TYPED_TEST_P(FileSystemDiskContract, CopyReplacesNewerTargetAndEmptyFilesCopyToo)
{
    this->tree.WriteFile("src/a.txt", "new", 1000);
    this->tree.SetMode("src/a.txt", 0644);
    this->tree.WriteFile("dst/a.txt", "old and longer content", 2000000000);
    this->tree.SetMode("dst/a.txt", 0600);
    this->tree.WriteFile("src/empty", "", 5000);
    this->tree.WriteFile("dst/empty", "not empty", 6000);

    ASSERT_TRUE(this->Fs().CopyFile(this->tree.Path("src/a.txt"), this->tree.Path("dst/a.txt")));
    ASSERT_TRUE(this->Fs().CopyFile(this->tree.Path("src/empty"), this->tree.Path("dst/empty")));

    EXPECT_EQ(this->tree.ReadFile("dst/a.txt"), "new");
    EXPECT_EQ(this->tree.Modified("dst/a.txt"), 1000);
    EXPECT_EQ(this->tree.Mode("dst/a.txt"), 0644u);
    EXPECT_EQ(this->tree.ReadFile("dst/empty"), "");
    EXPECT_EQ(this->tree.Modified("dst/empty"), 5000);
    this->ExpectNoTemporaryFiles();
}

TYPED_TEST_P(FileSystemDiskContract, CopyOverALinkReplacesTheLinkNotWhatItPointsTo)
{
    this->tree.WriteFile("src/a.txt", "new");
    this->tree.WriteFile("outside.txt", "outside");
    this->tree.MakeSymlink("dst/a.txt", "../outside.txt");

    ASSERT_TRUE(this->Fs().CopyFile(this->tree.Path("src/a.txt"), this->tree.Path("dst/a.txt")));
    EXPECT_EQ(this->Fs().KindOf(this->tree.Path("dst/a.txt")), EntryKind::File);
    EXPECT_EQ(this->tree.ReadFile("dst/a.txt"), "new");
    EXPECT_EQ(this->tree.ReadFile("outside.txt"), "outside");
}

TYPED_TEST_P(FileSystemDiskContract, FailedCopyPartWayLeavesOldTargetAndNoTemporaryFile)
{
    if (this->onServer)
        GTEST_SKIP() << "the file size limit of this process does not reach the server's writes";
    const std::string big(1024 * 1024, 'n');
    this->tree.WriteFile("src/big.bin", big, 1000);
    this->tree.WriteFile("dst/big.bin", "old", 900);
    this->tree.MakeFolder("added");
    FsStatus overwrite;
    FsStatus add;
    {
        // Writes past 64 KiB fail with EFBIG, after the first 64 KiB of the copy went through.
        const FileSizeLimit limit(64 * 1024);
        overwrite = this->Fs().CopyFile(this->tree.Path("src/big.bin"), this->tree.Path("dst/big.bin"));
        add = this->Fs().CopyFile(this->tree.Path("src/big.bin"), this->tree.Path("added/big.bin"));
    }
    EXPECT_EQ(overwrite.Error(), EFBIG);
    EXPECT_EQ(add.Error(), EFBIG);
    EXPECT_EQ(this->tree.ReadFile("dst/big.bin"), "old");
    EXPECT_EQ(this->tree.Modified("dst/big.bin"), 900);
    EXPECT_FALSE(this->tree.Exists("added/big.bin"));
    this->ExpectNoTemporaryFiles();

    // The same copy succeeds once there is room, which shows the failure came from the limit.
    EXPECT_TRUE(this->Fs().CopyFile(this->tree.Path("src/big.bin"), this->tree.Path("dst/big.bin")));
    EXPECT_EQ(this->tree.ReadFile("dst/big.bin"), big);
}

TYPED_TEST_P(FileSystemDiskContract, AnyWriteBitMakesAFileWritableAndReadOnlySourcesCopy)
{
    this->tree.WriteFile("src/ro.txt", "read-only source", 7000);
    this->tree.SetMode("src/ro.txt", 0444);
    this->tree.WriteFile("dst/ro.txt", "old");
    this->tree.WriteFile("dst/groupWritable.txt", "g");
    this->tree.SetMode("dst/groupWritable.txt", 0464);

    ASSERT_TRUE(this->Fs().CopyFile(this->tree.Path("src/ro.txt"), this->tree.Path("dst/ro.txt")));
    EXPECT_EQ(this->tree.ReadFile("dst/ro.txt"), "read-only source");
    EXPECT_EQ(this->tree.Mode("dst/ro.txt"), 0444u);
    EXPECT_EQ(this->tree.Modified("dst/ro.txt"), 7000);
    ASSERT_TRUE(this->Fs().CopyFile(this->tree.Path("src/ro.txt"), this->tree.Path("dst/added.txt")));
    EXPECT_EQ(this->tree.Mode("dst/added.txt"), 0444u);

    EXPECT_TRUE(this->Fs().DeleteFile(this->tree.Path("dst/groupWritable.txt")));
    EXPECT_FALSE(this->tree.Exists("dst/groupWritable.txt"));
}

// --- Symbolic links ----------------------------------------------------------------------------

TYPED_TEST_P(FileSystemDiskContract, CopiesLinksAsLinks)
{
    this->tree.WriteFile("outside/file.txt", "outside");
    this->tree.MakeSymlink("src/link", "../outside/file.txt");
    this->tree.SetModified("src/link", 777777);
    this->tree.MakeSymlink("src/dangling", "nowhere");
    this->tree.WriteFile("dst/link", "regular file to be replaced");

    ASSERT_TRUE(this->Fs().CopyFile(this->tree.Path("src/link"), this->tree.Path("dst/link")));
    ASSERT_TRUE(this->Fs().CopyFile(this->tree.Path("src/link"), this->tree.Path("dst/added")));
    ASSERT_TRUE(this->Fs().CopyFile(this->tree.Path("src/dangling"), this->tree.Path("dst/dangling")));

    const std::map<std::string, std::string> expected = {
        {"added", "-> ../outside/file.txt"}, {"dangling", "-> nowhere"}, {"link", "-> ../outside/file.txt"}};
    EXPECT_EQ(this->Under("dst/"), expected);
    if (!this->onServer) {
        EXPECT_EQ(this->tree.Modified("dst/link"), 777777);
    }
    EXPECT_EQ(this->tree.ReadFile("outside/file.txt"), "outside");
    this->ExpectNoTemporaryFiles();
}

TYPED_TEST_P(FileSystemDiskContract, DeletesLinksAsLinksAndRefusesFolders)
{
    this->tree.WriteFile("outside/file.txt", "outside");
    this->tree.WriteFile("readOnly.txt", "ro");
    this->tree.SetMode("readOnly.txt", 0444);
    this->tree.MakeSymlink("dir/toFolder", "../outside");
    this->tree.MakeSymlink("dir/toReadOnly", "../readOnly.txt");
    this->tree.MakeFolder("dir/sub");

    EXPECT_TRUE(this->Fs().DeleteFile(this->tree.Path("dir/toFolder")));
    EXPECT_TRUE(this->Fs().DeleteFile(this->tree.Path("dir/toReadOnly")));
    EXPECT_FALSE(this->Fs().DeleteFile(this->tree.Path("dir/sub")));
    EXPECT_FALSE(this->Fs().DeleteFile(this->tree.Path("dir/missing")));

    EXPECT_EQ(this->Under("dir/"), (std::map<std::string, std::string>{{"sub/", ""}}));
    EXPECT_EQ(this->tree.ReadFile("outside/file.txt"), "outside");
    EXPECT_EQ(this->tree.ReadFile("readOnly.txt"), "ro");
}

// --- Folders and trees -------------------------------------------------------------------------

TYPED_TEST_P(FileSystemDiskContract, MakeFolderAcceptsOnlyRealFoldersAndRemoveFolderOnlyEmptyOnes)
{
    this->tree.WriteFile("file", "x");
    this->tree.MakeFolder("outside");
    this->tree.MakeSymlink("toOutside", "outside");
    this->tree.WriteFile("full/x", "x");
    FileSystem& fs = this->Fs();

    EXPECT_TRUE(fs.MakeFolder(this->tree.Path("new/")));
    EXPECT_EQ(fs.KindOf(this->tree.Path("new/")), EntryKind::Folder);
    EXPECT_TRUE(fs.MakeFolder(this->tree.Path("new/")));
    EXPECT_EQ(fs.MakeFolder(this->tree.Path("file/")).Error(), EEXIST);
    EXPECT_EQ(fs.MakeFolder(this->tree.Path("toOutside/")).Error(), EEXIST);
    EXPECT_FALSE(fs.MakeFolder(this->tree.Path("missing/new/")));

    EXPECT_FALSE(fs.RemoveFolder(this->tree.Path("full/")));
    EXPECT_TRUE(this->tree.Exists("full/x"));
    EXPECT_TRUE(fs.RemoveFolder(this->tree.Path("new/")));
    EXPECT_FALSE(this->tree.Exists("new"));
}

TYPED_TEST_P(FileSystemDiskContract, TreeCopyIntoExistingFolderReplacesSameNamesAndKeepsOthers)
{
    this->tree.WriteFile("src/a.txt", "new a", 3000);
    this->tree.WriteFile("src/.hidden", "h", 3500);
    this->tree.WriteFile("src/sub/b.txt", "b", 4000);
    this->tree.MakeFolder("src/sub/empty");
    this->tree.WriteFile("dst/a.txt", "old a", 9000); // Newer, yet a tree copy takes every file.
    this->tree.WriteFile("dst/keep.txt", "keep");
    this->tree.WriteFile("dst/sub/other.txt", "other");

    ASSERT_TRUE(this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("dst/"), this->stop));

    const std::map<std::string, std::string> expected = {
        {".hidden", "h"},   {"a.txt", "new a"}, {"keep.txt", "keep"},      {"sub/", ""},
        {"sub/b.txt", "b"}, {"sub/empty/", ""}, {"sub/other.txt", "other"}};
    EXPECT_EQ(this->Under("dst/"), expected);
    EXPECT_EQ(this->tree.Modified("dst/a.txt"), 3000);
    EXPECT_EQ(this->tree.Modified("dst/sub/b.txt"), 4000);
    this->ExpectNoTemporaryFiles();
}

TYPED_TEST_P(FileSystemDiskContract, TreeCopyKeepsEveryModeWhateverTheUmask)
{
    const std::map<std::string, unsigned> modes = {{"rw-all", 0666},  {"normal", 0644},    {"private", 0600},
                                                   {"exec", 0755},    {"read-only", 0444}, {"none", 0},
                                                   {"setuid", 04755}, {"sticky", 01640}};
    for (const auto& [name, mode] : modes) {
        this->tree.WriteFile("src/" + name, name, 2000);
        this->tree.WriteFile("src/sub/" + name, name, 2000);
        this->tree.SetMode("src/" + name, mode);
        this->tree.SetMode("src/sub/" + name, mode);
    }
    for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{0}}) {
        const std::string target = "dst" + std::to_string(mask) + "/";
        // An existing target folder takes the same way as a new one.
        const std::string old = "old" + std::to_string(mask) + "/";
        this->tree.MakeFolder(old + "sub");
        const mode_t savedMask = umask(mask);
        const FsStatus copied =
            this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path(target), this->stop);
        const FsStatus copiedIntoOld =
            this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path(old), this->stop);
        umask(savedMask);
        ASSERT_TRUE(copied) << "errno " << copied.Error();
        ASSERT_TRUE(copiedIntoOld) << "errno " << copiedIntoOld.Error();
        for (const auto& [name, mode] : modes) {
            EXPECT_EQ(this->tree.Mode(target + name), mode) << target << name;
            EXPECT_EQ(this->tree.Mode(target + "sub/" + name), mode) << target << "sub/" << name;
            EXPECT_EQ(this->tree.Mode(old + name), mode) << old << name;
            EXPECT_EQ(this->tree.Mode(old + "sub/" + name), mode) << old << "sub/" << name;
            EXPECT_EQ(this->tree.Modified(target + "sub/" + name), 2000);
        }
    }
}

TYPED_TEST_P(FileSystemDiskContract, TreeCopyCreatesTheTargetAndNeverWalksThroughLinks)
{
    this->tree.WriteFile("outside/secret.txt", "s");
    this->tree.WriteFile("src/a.txt", "a");
    this->tree.MakeSymlink("src/toOutside", "../outside");
    this->tree.MakeFolder("dst");

    ASSERT_TRUE(this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("dst/new/"), this->stop));
    const std::map<std::string, std::string> expected = {{"a.txt", "a"}, {"toOutside", "-> ../outside"}};
    EXPECT_EQ(this->Under("dst/new/"), expected);
}

TYPED_TEST_P(FileSystemDiskContract, TreeDeleteEndsAtAReadOnlyFileAndKeepsTheFolder)
{
    for (const char* name : {"f1", "f2", "f3", "f4", "f5"})
        this->tree.WriteFile(std::string("dir/") + name, name);
    const std::vector<std::string> order = this->ListedOrder("dir/");
    ASSERT_EQ(order.size(), 5u);
    this->tree.SetMode("dir/" + order[2], 0444);

    EXPECT_EQ(this->Fs().DeleteFolderTree(this->tree.Path("dir/"), this->stop).Error(), EACCES);

    EXPECT_FALSE(this->tree.Exists("dir/" + order[0]));
    EXPECT_FALSE(this->tree.Exists("dir/" + order[1]));
    for (std::size_t i = 2; i < order.size(); ++i)
        EXPECT_TRUE(this->tree.Exists("dir/" + order[i])) << order[i];
    EXPECT_EQ(this->tree.ReadFile("dir/" + order[2]), order[2]);
}

TYPED_TEST_P(FileSystemDiskContract, TreeDeleteRemovesLinksButNotWhatTheyPointTo)
{
    this->tree.WriteFile("outside/file.txt", "outside");
    this->tree.WriteFile("dir/.hidden", "h");
    this->tree.MakeSymlink("dir/toOutside", "../outside");
    this->tree.MakeSymlink("dir/sub/toFile", "../../outside/file.txt");
    this->tree.WriteFile("dir/sub/deeper/x", "x");

    ASSERT_TRUE(this->Fs().DeleteFolderTree(this->tree.Path("dir/"), this->stop));
    EXPECT_FALSE(this->tree.Exists("dir"));
    EXPECT_EQ(this->Under("outside/"), (std::map<std::string, std::string>{{"file.txt", "outside"}}));
}

// Deeper than any number of folders a layer might keep open at once, under a low descriptor limit.
TYPED_TEST_P(FileSystemDiskContract, TreeCopyAndDeleteHandleVeryDeepTrees)
{
    std::string folder = "src/";
    for (int level = 0; level < 70; ++level) {
        this->tree.WriteFile(folder + "f", std::to_string(level), 1000 + level);
        folder += "d/";
    }
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit lowered = saved;
    lowered.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 128);
    setrlimit(RLIMIT_NOFILE, &lowered);
    const FsStatus copied =
        this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("dst/"), this->stop);
    const FsStatus deleted = this->Fs().DeleteFolderTree(this->tree.Path("src/"), this->stop);
    setrlimit(RLIMIT_NOFILE, &saved);

    ASSERT_TRUE(copied) << "errno " << copied.Error();
    ASSERT_TRUE(deleted) << "errno " << deleted.Error();
    EXPECT_FALSE(this->tree.Exists("src"));
    folder = "dst/";
    for (int level = 0; level < 70; ++level) {
        EXPECT_EQ(this->tree.ReadFile(folder + "f"), std::to_string(level)) << folder;
        EXPECT_EQ(this->tree.Modified(folder + "f"), 1000 + level) << folder;
        folder += "d/";
    }
}

// Deleted and replaced files may be let go of after the operation returns; names never linger.
TYPED_TEST_P(FileSystemDiskContract, ManyDeletesAndReplacementsOfFilesWithDataLeaveNothingBehind)
{
    const std::string data(20000, 'x');
    for (int index = 0; index < 400; ++index) {
        const std::string name = "f" + std::to_string(index);
        this->tree.WriteFile("src/" + name, "new " + name, 5000);
        this->tree.WriteFile("dst/" + name, data, 1000);
        this->tree.WriteFile("gone/" + name, data, 1000);
    }
    sync(); // Gives the files blocks on the disk, which is what makes freeing them slow.

    for (int index = 0; index < 400; ++index) {
        const std::string name = "f" + std::to_string(index);
        ASSERT_TRUE(this->Fs().CopyFile(this->tree.Path("src/" + name), this->tree.Path("dst/" + name)));
        if (index % 2 == 0) {
            ASSERT_TRUE(this->Fs().DeleteFile(this->tree.Path("gone/" + name)));
        }
    }
    ASSERT_TRUE(this->Fs().DeleteFolderTree(this->tree.Path("gone/"), this->stop));

    EXPECT_FALSE(this->tree.Exists("gone"));
    EXPECT_EQ(this->Under("dst/"), this->Under("src/"));
    this->ExpectNoTemporaryFiles();
}

// Files of a new folder may be made ready ahead of their turn; a failure among them leaves out only
// its own entry.
TYPED_TEST_P(FileSystemDiskContract, TreeCopyLeavesOutOnlyTheFailedEntry)
{
    for (int index = 0; index < 40; ++index)
        this->tree.WriteFile("src/f" + std::to_string(index), "content " + std::to_string(index), 1000);
    this->tree.MakeFifo("src/pipe");
    const std::vector<std::string> order = this->ListedOrder("src/");
    const auto failing = std::find(order.begin(), order.end(), "pipe");
    ASSERT_NE(failing, order.end());

    EXPECT_EQ(this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("dst/"), this->stop).Error(),
              EOPNOTSUPP);

    std::map<std::string, std::string> expected;
    for (auto name = order.begin(); name != order.end(); ++name)
        if (name != failing)
            expected[*name] = *this->tree.ReadFile("src/" + *name);
    EXPECT_EQ(this->Under("dst/"), expected);
    this->ExpectNoTemporaryFiles();
}

TYPED_TEST_P(FileSystemDiskContract, StopEndsTreeCopyAfterTheCurrentEntryWithSuccess)
{
    for (const char* name : {"a", "b", "c", "d"})
        this->tree.WriteFile(std::string("src/") + name, name);
    const std::vector<std::string> order = this->ListedOrder("src/");
    this->stop = true;

    EXPECT_TRUE(this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("dst/"), this->stop));
    EXPECT_EQ(this->Under("dst/"), (std::map<std::string, std::string>{{order[0], order[0]}}));
}

TYPED_TEST_P(FileSystemDiskContract, StopEndsTreeDeleteAndLeavesTheFolderWithFailure)
{
    for (const char* name : {"a", "b", "c", "d"})
        this->tree.WriteFile(std::string("dir/") + name, name);
    const std::vector<std::string> order = this->ListedOrder("dir/");
    this->stop = true;

    EXPECT_FALSE(this->Fs().DeleteFolderTree(this->tree.Path("dir/"), this->stop));
    EXPECT_FALSE(this->tree.Exists("dir/" + order[0]));
    EXPECT_EQ(this->Under("dir/").size(), 3u);
}

// A copy's own leftover temporary file, or a folder of that reserved shape, is never copied; a user's
// file that only looks alike is.
TYPED_TEST_P(FileSystemDiskContract, TreeCopyLeavesOutEverythingOfTheTemporaryShape)
{
    this->tree.WriteFile("src/a.txt", "a");
    this->tree.WriteFile("src/.twinfol-00aa11bb22cc33dd.part", "half a file");
    this->tree.WriteFile("src/sub/.twinfol-0123456789abcdef.part/inside", "x");
    this->tree.WriteFile("src/sub/.twinfol-notes.part", "the user's notes");

    ASSERT_TRUE(this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("dst/"), this->stop));
    const std::map<std::string, std::string> expected = {
        {"a.txt", "a"}, {"sub/", ""}, {"sub/.twinfol-notes.part", "the user's notes"}};
    EXPECT_EQ(this->Under("dst/"), expected);
}

// A stop ends the walk after the current entry at every level, not only the one it came in.
TYPED_TEST_P(FileSystemDiskContract, StopInsideASubFolderEndsTheWholeTreeCopy)
{
    for (const char* folder : {"src/d1/", "src/d2/"})
        for (const char* name : {"x", "y", "z"})
            this->tree.WriteFile(std::string(folder) + name, name);
    const std::string first = this->ListedOrder("src/").front();
    const std::string firstFile = this->ListedOrder("src/" + first + "/").front();
    this->stop = true;

    EXPECT_TRUE(this->Fs().CopyFolderTree(this->tree.Path("src/"), this->tree.Path("dst/"), this->stop));
    const std::map<std::string, std::string> expected = {{first + "/", ""},
                                                         {first + "/" + firstFile, firstFile}};
    EXPECT_EQ(this->Under("dst/"), expected);
}

// --- Whole files -------------------------------------------------------------------------------

TYPED_TEST_P(FileSystemDiskContract, ReplaceFileGivesNewFilesTheirModeAndKeepsAnExistingMode)
{
    this->tree.WriteFile("private.conf", "old");
    this->tree.SetMode("private.conf", 0600);
    this->tree.WriteFile("real.twp", "old");
    this->tree.MakeSymlink("link.twp", "real.twp");
    const mode_t savedMask = umask(022);
    const FsStatus added = this->Fs().ReplaceFile(this->tree.Path("new.conf"), "fresh", 0666);
    const FsStatus replaced = this->Fs().ReplaceFile(this->tree.Path("private.conf"), "new", 0666);
    const FsStatus throughLink = this->Fs().ReplaceFile(this->tree.Path("link.twp"), "linked", 0666);
    umask(savedMask);

    ASSERT_TRUE(added) << added.Reason();
    ASSERT_TRUE(replaced) << replaced.Reason();
    ASSERT_TRUE(throughLink) << throughLink.Reason();
    EXPECT_EQ(this->tree.ReadFile("new.conf"), "fresh");
    EXPECT_EQ(this->tree.Mode("new.conf"), 0644u);
    EXPECT_EQ(this->tree.ReadFile("private.conf"), "new");
    EXPECT_EQ(this->tree.Mode("private.conf"), 0600u);
    EXPECT_EQ(this->tree.Snapshot().at("link.twp"), "-> real.twp");
    EXPECT_EQ(this->tree.ReadFile("real.twp"), "linked");
    this->ExpectNoTemporaryFiles();
}

TYPED_TEST_P(FileSystemDiskContract, ReplaceFileNeverReplacesAReadOnlyFileOrAFolder)
{
    this->tree.WriteFile("ro.twp", "keep");
    this->tree.SetMode("ro.twp", 0444);
    this->tree.WriteFile("none.twp", "keep too");
    this->tree.SetMode("none.twp", 0); // root could write it, and still it is read-only
    this->tree.MakeFolder("folder.twp");

    const FsStatus readOnly = this->Fs().ReplaceFile(this->tree.Path("ro.twp"), "new", 0666);
    EXPECT_EQ(readOnly.Error(), EACCES);
    EXPECT_EQ(readOnly.Reason(), "the file is read-only");
    EXPECT_EQ(this->Fs().ReplaceFile(this->tree.Path("none.twp"), "new", 0666).Error(), EACCES);
    EXPECT_EQ(this->Fs().ReplaceFile(this->tree.Path("folder.twp"), "new", 0666).Error(), EISDIR);
    EXPECT_EQ(this->Fs().ReplaceFile(this->tree.Path("missing/x.twp"), "new", 0666).Error(), ENOENT);
    EXPECT_EQ(this->tree.ReadFile("ro.twp"), "keep");
    EXPECT_EQ(this->tree.Mode("ro.twp"), 0444u);
    this->tree.SetMode("none.twp", 0644);
    EXPECT_EQ(this->tree.ReadFile("none.twp"), "keep too");
    this->ExpectNoTemporaryFiles();
}

TYPED_TEST_P(FileSystemDiskContract, ReplaceFileFailingPartWayLeavesTheOldFileAndNoTemporaryFile)
{
    if (this->onServer)
        GTEST_SKIP() << "the file size limit of this process does not reach the server's writes";
    this->tree.WriteFile("settings.conf", "old");
    FsStatus replaced;
    {
        const FileSizeLimit limit(64 * 1024);
        replaced =
            this->Fs().ReplaceFile(this->tree.Path("settings.conf"), std::string(1024 * 1024, 'n'), 0600);
    }
    EXPECT_EQ(replaced.Error(), EFBIG);
    EXPECT_EQ(this->tree.ReadFile("settings.conf"), "old");
    this->ExpectNoTemporaryFiles();
}

TYPED_TEST_P(FileSystemDiskContract, MakeFoldersMakesEveryMissingFolderWithTheMode)
{
    this->tree.MakeFolder("kept");
    this->tree.SetMode("kept", 0755);
    this->tree.WriteFile("file", "x");
    const mode_t savedMask = umask(0);
    const FsStatus made = this->Fs().MakeFolders(this->tree.Path("kept/a/b/"), 0700);
    const FsStatus again = this->Fs().MakeFolders(this->tree.Path("kept/a/b"), 0700);
    umask(savedMask);

    ASSERT_TRUE(made) << made.Reason();
    EXPECT_TRUE(again);
    EXPECT_EQ(this->tree.Mode("kept"), 0755u);
    EXPECT_EQ(this->tree.Mode("kept/a"), 0700u);
    EXPECT_EQ(this->tree.Mode("kept/a/b"), 0700u);
    EXPECT_FALSE(this->Fs().MakeFolders(this->tree.Path("file/sub/"), 0700));
    EXPECT_FALSE(this->Fs().MakeFolders(this->tree.Path("file/"), 0700));
}

TYPED_TEST_P(FileSystemDiskContract, LockFileIsExclusiveAcrossProcessesUntilLetGo)
{
    if (this->onServer)
        GTEST_SKIP() << "SFTP has no locks on files: the layer refuses LockFile";
    const std::string path = this->tree.Path("settings.conf.lock");
    {
        std::unique_ptr<FileLock> lock;
        ASSERT_TRUE(this->Fs().LockFile(path, lock));
        ASSERT_TRUE(lock);
        EXPECT_EQ(this->tree.Mode("settings.conf.lock"), 0600u);
        EXPECT_FALSE(AnotherProcessCouldLock(path));
    }
    EXPECT_TRUE(AnotherProcessCouldLock(path));
}

REGISTER_TYPED_TEST_SUITE_P(
    FileSystemDiskContract, VisitorMayDeleteTheEntriesItIsHanded,
    CopyAddsFileWithContentTimeStampAndExactMode, CopyReplacesNewerTargetAndEmptyFilesCopyToo,
    CopyOverALinkReplacesTheLinkNotWhatItPointsTo, FailedCopyPartWayLeavesOldTargetAndNoTemporaryFile,
    AnyWriteBitMakesAFileWritableAndReadOnlySourcesCopy, CopiesLinksAsLinks,
    DeletesLinksAsLinksAndRefusesFolders, MakeFolderAcceptsOnlyRealFoldersAndRemoveFolderOnlyEmptyOnes,
    TreeCopyIntoExistingFolderReplacesSameNamesAndKeepsOthers, TreeCopyKeepsEveryModeWhateverTheUmask,
    TreeCopyCreatesTheTargetAndNeverWalksThroughLinks, TreeDeleteEndsAtAReadOnlyFileAndKeepsTheFolder,
    TreeDeleteRemovesLinksButNotWhatTheyPointTo, TreeCopyAndDeleteHandleVeryDeepTrees,
    ManyDeletesAndReplacementsOfFilesWithDataLeaveNothingBehind, TreeCopyLeavesOutOnlyTheFailedEntry,
    StopEndsTreeCopyAfterTheCurrentEntryWithSuccess, StopEndsTreeDeleteAndLeavesTheFolderWithFailure,
    TreeCopyLeavesOutEverythingOfTheTemporaryShape, StopInsideASubFolderEndsTheWholeTreeCopy,
    ReplaceFileGivesNewFilesTheirModeAndKeepsAnExistingMode, ReplaceFileNeverReplacesAReadOnlyFileOrAFolder,
    ReplaceFileFailingPartWayLeavesTheOldFileAndNoTemporaryFile,
    MakeFoldersMakesEveryMissingFolderWithTheMode, LockFileIsExclusiveAcrossProcessesUntilLetGo);
INSTANTIATE_TYPED_TEST_SUITE_P(Local, FileSystemDiskContract, WritingLayers, LayerNames);
INSTANTIATE_TYPED_TEST_SUITE_P(Server, FileSystemDiskContract, ServerLayers, LayerNames);

} // namespace
} // namespace twinfol::test
