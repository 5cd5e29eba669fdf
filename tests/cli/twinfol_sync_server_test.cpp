// twinfol-sync with its target on the loopback server: an unknown or changed host key refuses the run
// (exit 2) with the key's fingerprint and writes nothing; a known key and --ssh-key run it; --trash is
// refused for a server.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "support/loopback_sshd.h"
#include "support/program_outcome.h"
#include "support/ssh_test_home.h"
#include "support/temp_tree.h"

namespace twinfol::test {
namespace {

class SyncOntoServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.IsRunning())
            GTEST_SKIP() << server.Failure();
        scratch.MakeFolder("home/.ssh");
        scratch.WriteFile("source/a.txt", "a", 1700000000);
        scratch.WriteFile("source/sub/b.txt", "b", 1700000000);
        scratch.MakeFolder("target");
    }

    std::string Location() const
    {
        return "sftp://127.0.0.1:" + std::to_string(server.Port()) + scratch.Path("target/");
    }

    void KnowKey(const std::string& publicKeyFile) const
    {
        std::ostringstream key;
        key << std::ifstream(publicKeyFile).rdbuf();
        scratch.WriteFile("home/.ssh/known_hosts",
                          "[127.0.0.1]:" + std::to_string(server.Port()) + " " + key.str());
    }

    Outcome Sync(std::vector<std::string> extra = {}) const
    {
        std::vector<std::string> command = {TWINFOL_SYNC_PATH, scratch.Path("source/"), Location()};
        command.insert(command.end(), extra.begin(), extra.end());
        return RunCommand(command, scratch, {{"HOME", scratch.Path("home")}, {"SSH_AUTH_SOCK", ""}});
    }

    bool TargetIsEmpty() const { return !scratch.Exists("target/a.txt") && !scratch.Exists("target/sub"); }

    LoopbackSshd& server = SharedLoopbackSshd();
    TempTree scratch;
};

TEST_F(SyncOntoServer, AnUnknownHostKeyIsRefusedWithItsFingerprintAndNothingIsWritten)
{
    const Outcome outcome = Sync({"--ssh-key", server.UserKey()});
    EXPECT_EQ(outcome.exitCode, 2) << outcome.err;
    EXPECT_NE(
        outcome.err.find("the server 127.0.0.1 is not known: its ssh-ed25519 host key has the fingerprint " +
                         KeyFingerprint(server.HostPublicKeyFile())),
        std::string::npos)
        << outcome.err;
    EXPECT_TRUE(TargetIsEmpty());
    EXPECT_FALSE(scratch.Exists("home/.ssh/known_hosts"));
}

TEST_F(SyncOntoServer, AChangedHostKeyIsRefusedWithAWarningAndNothingIsWritten)
{
    const std::string other = scratch.Path("other_key");
    ASSERT_EQ(std::system(("ssh-keygen -q -t ed25519 -N '' -f '" + other + "' >/dev/null 2>&1").c_str()), 0);
    KnowKey(other + ".pub");
    const Outcome outcome = Sync({"--ssh-key", server.UserKey()});
    EXPECT_EQ(outcome.exitCode, 2) << outcome.err;
    EXPECT_NE(outcome.err.find("WARNING: the host key of 127.0.0.1 is not the one recorded"),
              std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find(KeyFingerprint(server.HostPublicKeyFile())), std::string::npos) << outcome.err;
    EXPECT_TRUE(TargetIsEmpty());
}

TEST_F(SyncOntoServer, AKnownServerAndAKeyFileRunTheCopyOntoIt)
{
    KnowKey(server.HostPublicKeyFile());
    const Outcome withoutKey = Sync();
    EXPECT_EQ(withoutKey.exitCode, 2) << withoutKey.err;
    EXPECT_NE(withoutKey.err.find("accepted none of the keys"), std::string::npos) << withoutKey.err;
    EXPECT_TRUE(TargetIsEmpty());

    const Outcome trash = Sync({"--ssh-key", server.UserKey(), "--trash"});
    EXPECT_EQ(trash.exitCode, 2) << trash.err;
    EXPECT_NE(trash.err.find("the Trash is not available on a server"), std::string::npos) << trash.err;
    EXPECT_TRUE(TargetIsEmpty());

    const Outcome run = Sync({"--ssh-key", server.UserKey()});
    EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
    EXPECT_EQ(scratch.ReadFile("target/a.txt"), "a");
    EXPECT_EQ(scratch.ReadFile("target/sub/b.txt"), "b");
    EXPECT_EQ(scratch.Modified("target/sub/b.txt"), 1700000000);

    // The run's additions stay: an undo on a server is refused before anything is touched.
    const Outcome undo = RunCommand({TWINFOL_SYNC_PATH, "--undo", Location()}, scratch,
                                    {{"HOME", scratch.Path("home")}, {"SSH_AUTH_SOCK", ""}});
    EXPECT_EQ(undo.exitCode, 2) << undo.err;
    EXPECT_NE(undo.err.find("an undo on a server is not supported yet"), std::string::npos) << undo.err;
    EXPECT_EQ(scratch.ReadFile("target/a.txt"), "a");
}

} // namespace
} // namespace twinfol::test
