// What the SFTP layer does beyond the contract: a connection lost before or in the middle of a copy
// ends as a lost disk does, with the target's old content in place; the Trash is refused with the
// reason; the home folder is the server's; and no SFTP opens over a connection that has not signed in.
#include <gtest/gtest.h>

#include <libssh/libssh.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

#include "engine/fs/refusal_rules.h"
#include "support/sftp_layer.h"
#include "support/ssh_test_home.h"
#include "support/temp_tree.h"

namespace twinfol::test {
namespace {

class SftpFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs)
            GTEST_SKIP() << failure;
    }

    // Cuts the connection as a dropped network would: the socket goes, the server is not told.
    void CutConnection() { shutdown(ssh_get_fd(fs->Channel().Connection().Session()), SHUT_RDWR); }

    std::string failure;
    std::unique_ptr<SftpFileSystem> fs = OpenLoopbackSftp(failure);
    TempTree tree;
};

// Cuts the connection once the first chunk of a copy has gone over it.
class CuttingProgress : public CopyProgress {
public:
    explicit CuttingProgress(std::function<void()> cut) : cut_(std::move(cut)) {}
    void DataCopied(std::uint64_t, std::uint64_t) override
    {
        if (!cut_)
            return;
        cut_();
        cut_ = nullptr;
    }
    void FileCopied(std::uint64_t) override { ++filesCopied; }
    int filesCopied = 0;

private:
    std::function<void()> cut_;
};

TEST_F(SftpFileSystemTest, ALostConnectionIsTheLossOfTheDiskForEveryCall)
{
    tree.WriteFile("src/a.txt", "a");
    tree.WriteFile("src/sub/b.txt", "b");
    CutConnection();
    EXPECT_EQ(fs->LookAt(tree.Path("src/a.txt")).Error(), ENOTCONN);
    const FsStatus listed =
        fs->ListFolder(tree.Path("src/"), [](std::string_view, EntryKind) { return true; });
    EXPECT_TRUE(IsConnectionLoss(listed)) << listed.Error() << " " << listed.Reason();
    EXPECT_TRUE(listed.Reason().starts_with("the connection to the server: ")) << listed.Reason();
    EXPECT_TRUE(IsConnectionLoss(fs->MakeFolder(tree.Path("new/"))));
    StopFlag stop{false};
    const FsStatus treeCopy = fs->CopyFolderTree(tree.Path("src/"), tree.Path("dst/"), stop);
    EXPECT_TRUE(IsConnectionLoss(treeCopy)) << treeCopy.Reason();
    EXPECT_FALSE(tree.Exists("dst"));
}

TEST_F(SftpFileSystemTest, AConnectionLostMidCopyLeavesTheOldTargetInPlace)
{
    tree.WriteFile("src/big.bin", std::string(2 * 1024 * 1024, 'n'), 1000);
    tree.WriteFile("dst/big.bin", "old", 900);
    CuttingProgress progress([this] { CutConnection(); });
    const FsStatus copied = fs->CopyFile(tree.Path("src/big.bin"), tree.Path("dst/big.bin"), &progress);
    EXPECT_TRUE(IsConnectionLoss(copied)) << copied.Error() << " " << copied.Reason();
    EXPECT_EQ(progress.filesCopied, 0);
    EXPECT_EQ(tree.ReadFile("dst/big.bin"), "old");
    EXPECT_EQ(tree.Modified("dst/big.bin"), 900);
}

TEST_F(SftpFileSystemTest, TheTrashAndLocksAreRefusedWithTheirReasons)
{
    tree.WriteFile("a.txt", "a");
    std::unique_ptr<TrashHold> hold;
    const FsStatus opened =
        fs->OpenTrashFolder({tree.Path("trash/"), "", TrashFolderKind::Home, 0, true}, hold);
    EXPECT_EQ(opened.Error(), EOPNOTSUPP);
    EXPECT_EQ(opened.Reason(), "the Trash is not available on a server");
    EXPECT_FALSE(hold);
    EXPECT_EQ(fs->MoveToTrash(tree.Path("a.txt"), tree.Path("trash/a.txt")).Reason(),
              "the Trash is not available on a server");
    EXPECT_EQ(fs->LinkToTrash(tree.Path("a.txt"), tree.Path("t"), tree.Path("a.txt")).Error(), EOPNOTSUPP);
    std::unique_ptr<FileLock> lock;
    EXPECT_EQ(fs->LockFile(tree.Path("a.lock"), lock).Reason(), "a server keeps no locks on files");
    EXPECT_EQ(tree.ReadFile("a.txt"), "a");
    EXPECT_FALSE(tree.Exists("trash"));
    EXPECT_FALSE(tree.Exists("a.lock"));
}

TEST_F(SftpFileSystemTest, AnAddNeverTakesANameThatIsTakenAndAppendsGoToTheEnd)
{
    tree.WriteFile("a.txt", "a");
    tree.WriteFile("b.txt", "b");
    EXPECT_EQ(fs->Respell(tree.Path("a.txt"), "b.txt").Error(), EEXIST);
    EXPECT_EQ(tree.ReadFile("a.txt"), "a");
    EXPECT_EQ(tree.ReadFile("b.txt"), "b");
    EXPECT_EQ(fs->CreateNewFile(tree.Path("b.txt"), "new", 0600).Error(), EEXIST);
    ASSERT_TRUE(fs->AppendFile(tree.Path("log"), "one\n", 0600));
    ASSERT_TRUE(fs->AppendFile(tree.Path("log"), "two\n", 0600));
    EXPECT_EQ(tree.ReadFile("log"), "one\ntwo\n");
}

TEST_F(SftpFileSystemTest, TheHomeFolderIsTheSignedInUsersOnTheServer)
{
    const passwd* user = getpwuid(geteuid());
    ASSERT_NE(user, nullptr);
    SftpChannel& channel = fs->Channel();
    auto lock = channel.Lock();
    const FsResult<std::string> home = channel.HomeFolder();
    ASSERT_TRUE(home);
    EXPECT_EQ(*home, WithTrailingSeparator(user->pw_dir));
    EXPECT_EQ(SftpLocation({"", "h", 0, "/~/backup/"}).PathOnServer(*home), *home + "backup/");
}

TEST_F(SftpFileSystemTest, ASecondRunIntoTheSameServerFolderIsRefusedUntilTheFirstEnds)
{
    tree.MakeFolder("source");
    tree.MakeFolder("target");
    std::unique_ptr<RunScope> first = fs->BeginRun(tree.Path("source/"), tree.Path("target/"));
    ASSERT_TRUE(first->Status()) << first->Status().Reason();
    EXPECT_TRUE(tree.Exists("target.twinfol-lock"));
    EXPECT_TRUE(tree.Snapshot().count("target/") == 1 && !tree.Exists("target/.twinfol-lock"));

    std::string otherFailure;
    std::unique_ptr<SftpFileSystem> other = OpenLoopbackSftp(otherFailure);
    ASSERT_TRUE(other) << otherFailure;
    std::unique_ptr<RunScope> second = other->BeginRun(tree.Path("source/"), tree.Path("target/"));
    EXPECT_EQ(second->Status().Error(), EWOULDBLOCK);
    EXPECT_EQ(second->Status().Reason(), "Another synchronisation is writing to this folder");
    second.reset();
    EXPECT_TRUE(tree.Exists("target.twinfol-lock")) << "a refused run leaves the holder's lock";
    first.reset();
    EXPECT_FALSE(tree.Exists("target.twinfol-lock"));
    std::unique_ptr<RunScope> third = other->BeginRun(tree.Path("source/"), tree.Path("target/"));
    EXPECT_TRUE(third->Status());
}

TEST_F(SftpFileSystemTest, AStaleLockOfAGoneProcessHereIsTakenOverOneFromElsewhereIsNot)
{
    tree.MakeFolder("target");
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    tree.WriteFile("target.twinfol-lock",
                   "host=" + std::string(host) + "\npid=" + std::to_string(gone) + "\n");
    std::unique_ptr<RunScope> takenOver = fs->BeginRun(tree.Path("source/"), tree.Path("target/"));
    EXPECT_TRUE(takenOver->Status()) << takenOver->Status().Reason();
    EXPECT_NE(tree.ReadFile("target.twinfol-lock")->find("pid=" + std::to_string(getpid())),
              std::string::npos);
    takenOver.reset();

    tree.WriteFile("target.twinfol-lock", "host=another-machine\npid=" + std::to_string(gone) + "\n");
    std::unique_ptr<RunScope> refused = fs->BeginRun(tree.Path("source/"), tree.Path("target/"));
    EXPECT_EQ(refused->Status().Error(), EWOULDBLOCK);
    refused.reset();
    EXPECT_EQ(tree.ReadFile("target.twinfol-lock"),
              "host=another-machine\npid=" + std::to_string(gone) + "\n");
}

TEST_F(SftpFileSystemTest, TheRoomIsTheServersDisks)
{
    tree.MakeFolder("folder");
    const FsResult<SpaceFigures> space = fs->ReadSpace(tree.Path("folder/"));
    ASSERT_TRUE(space) << space.Status().Reason();
    // The loopback server's disk is this machine's: the same unit, and nearly the same free room.
    struct statvfs local {};
    ASSERT_EQ(statvfs(tree.Path("folder/").c_str(), &local), 0);
    EXPECT_EQ(space->blockSize, local.f_frsize);
    const auto localFree = static_cast<double>(local.f_bavail) * static_cast<double>(local.f_frsize);
    EXPECT_NEAR(static_cast<double>(space->freeBytes), localFree, 256.0 * 1024 * 1024);
    EXPECT_EQ(fs->ReadSpace(tree.Path("missing/")).Error(), ENOENT);
}

TEST(SftpChannel, NoSftpOpensOverAConnectionThatHasNotSignedIn)
{
    LoopbackSshd& server = SharedLoopbackSshd();
    if (!server.IsRunning())
        GTEST_SKIP() << server.Failure();
    SshTestHome home;
    std::unique_ptr<SshConnection> connection;
    ASSERT_TRUE(
        SshConnection::Connect({"", "127.0.0.1", server.Port(), "/"}, {"", server.UserKey()}, connection));
    ASSERT_EQ(connection->HostKey().state, HostKeyState::Unknown);
    EXPECT_FALSE(connection->Authenticate());
    std::unique_ptr<SftpChannel> channel;
    const SshStatus opened = SftpChannel::Open(std::move(connection), channel);
    EXPECT_EQ(opened.Text(), "the SSH connection has not signed in");
    EXPECT_FALSE(channel);
}

} // namespace
} // namespace twinfol::test
