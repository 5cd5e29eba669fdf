// SSH connections against a real sshd on the loopback interface, with a home folder of the test's
// own: host keys unknown, trusted, changed and hashed; ~/.ssh/config aliases; and each way of signing
// in. Skips where the server cannot start.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "engine/sftp/ssh_connection.h"
#include "support/ssh_test_home.h"

namespace twinfol::test {
namespace {

class SshConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.IsRunning())
            GTEST_SKIP() << server.Failure();
    }

    SftpLocation Loopback() const { return {"", "127.0.0.1", server.Port(), "/"}; }

    std::unique_ptr<SshConnection> Connected(const SftpLocation& location, const SshSettings& settings = {})
    {
        std::unique_ptr<SshConnection> connection;
        const SshStatus status = SshConnection::Connect(location, settings, connection);
        EXPECT_TRUE(status) << status.Text();
        return connection;
    }

    std::string KnownHosts() const
    {
        std::ostringstream content;
        content << std::ifstream(home.SshFolder() + "known_hosts").rdbuf();
        return content.str();
    }

    LoopbackSshd& server = SharedLoopbackSshd();
    SshTestHome home;
};

TEST_F(SshConnectionTest, AnUnknownHostKeyIsRefusedWithItsFingerprintUntilTrusted)
{
    home.InstallDefaultKey(server);
    std::unique_ptr<SshConnection> first = Connected(Loopback());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->HostKey().state, HostKeyState::Unknown);
    EXPECT_EQ(first->HostKey().fingerprint, KeyFingerprint(server.HostPublicKeyFile()));
    EXPECT_TRUE(first->HostKey().fingerprint.starts_with("SHA256:"));
    EXPECT_EQ(first->HostKey().keyType, "ssh-ed25519");
    const SshStatus refused = first->Authenticate();
    EXPECT_EQ(refused.Text(), "the identity of 127.0.0.1 is not confirmed: nothing is sent to it");
    EXPECT_FALSE(first->IsAuthenticated());

    ASSERT_TRUE(first->TrustHostKey());
    EXPECT_NE(KnownHosts().find("[127.0.0.1]:" + std::to_string(server.Port())), std::string::npos);
    const SshStatus signedIn = first->Authenticate();
    EXPECT_TRUE(signedIn) << signedIn.Text();

    std::unique_ptr<SshConnection> second = Connected(Loopback());
    ASSERT_TRUE(second);
    EXPECT_EQ(second->HostKey().state, HostKeyState::Known);
    EXPECT_TRUE(second->Authenticate());
}

TEST_F(SshConnectionTest, AChangedHostKeyIsNeverTrustedNorSignedInTo)
{
    home.InstallDefaultKey(server);
    home.KnowOtherKeyForServer(server);
    const std::string before = KnownHosts();
    std::unique_ptr<SshConnection> connection = Connected(Loopback());
    ASSERT_TRUE(connection);
    EXPECT_EQ(connection->HostKey().state, HostKeyState::Changed);
    EXPECT_EQ(connection->HostKey().fingerprint, KeyFingerprint(server.HostPublicKeyFile()));
    EXPECT_EQ(connection->TrustHostKey().Text(),
              "the host key of 127.0.0.1 has changed: it is never trusted in its place");
    EXPECT_FALSE(connection->Authenticate());
    EXPECT_FALSE(connection->IsAuthenticated());
    EXPECT_EQ(KnownHosts(), before);
}

TEST_F(SshConnectionTest, AHashedKnownHostsEntryCounts)
{
    home.InstallDefaultKey(server);
    home.KnowServerKey(server);
    const std::string knownHosts = home.SshFolder() + "known_hosts";
    ASSERT_EQ(std::system(("ssh-keygen -q -H -f '" + knownHosts + "' >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(KnownHosts().find("127.0.0.1"), std::string::npos) << KnownHosts();
    ASSERT_TRUE(KnownHosts().starts_with("|1|"));
    std::unique_ptr<SshConnection> connection = Connected(Loopback());
    ASSERT_TRUE(connection);
    EXPECT_EQ(connection->HostKey().state, HostKeyState::Known);
    EXPECT_TRUE(connection->Authenticate());
}

TEST_F(SshConnectionTest, AConfigAliasGivesHostNamePortUserAndIdentityFile)
{
    home.KnowServerKey(server);
    home.WriteConfig("Host elsewhere\n  Port 1\nHost backup\n  HostName 127.0.0.1\n  Port " +
                     std::to_string(server.Port()) + "\n  User root\n  IdentityFile " + server.UserKey() +
                     "\n");
    std::unique_ptr<SshConnection> connection = Connected({"", "backup", 0, "/~/"});
    ASSERT_TRUE(connection);
    EXPECT_EQ(connection->HostKey().state, HostKeyState::Known);
    EXPECT_EQ(connection->UserName(), "root");
    const SshStatus signedIn = connection->Authenticate();
    EXPECT_TRUE(signedIn) << signedIn.Text();

    // What the location names itself wins over the configuration, as on ssh's command line.
    std::unique_ptr<SshConnection> otherUser = Connected({"nobody", "backup", 0, "/"});
    ASSERT_TRUE(otherUser);
    EXPECT_EQ(otherUser->UserName(), "nobody");
    EXPECT_FALSE(otherUser->Authenticate());
}

TEST_F(SshConnectionTest, AKeyFileNamedByThePersonSignsInAfterTheDefaultsFail)
{
    home.KnowServerKey(server);
    std::unique_ptr<SshConnection> withoutKey = Connected(Loopback());
    ASSERT_TRUE(withoutKey);
    const SshStatus refused = withoutKey->Authenticate();
    EXPECT_NE(refused.Text().find("accepted none of the keys for root"), std::string::npos) << refused.Text();
    EXPECT_NE(refused.Text().find(home.SshFolder()), std::string::npos) << refused.Text();

    std::unique_ptr<SshConnection> withKey = Connected(Loopback(), {"", server.UserKey()});
    ASSERT_TRUE(withKey);
    const SshStatus signedIn = withKey->Authenticate();
    EXPECT_TRUE(signedIn) << signedIn.Text();
}

TEST_F(SshConnectionTest, NoServerOnThePortIsAFailureThatNamesTheServer)
{
    std::unique_ptr<SshConnection> connection;
    const SshStatus status =
        SshConnection::Connect({"", "127.0.0.1", FreeLoopbackPort(), "/"}, {}, connection);
    EXPECT_FALSE(connection);
    EXPECT_TRUE(status.Text().starts_with("could not connect to 127.0.0.1: ")) << status.Text();
}

TEST(SshHomeFolder, IsHomeWhenAbsoluteElseThePasswordDatabases)
{
    SshTestHome home;
    EXPECT_EQ(SshHomeFolder(), home.Folder());
    setenv("HOME", "relative", 1);
    const std::string fromDatabase = SshHomeFolder();
    unsetenv("HOME");
    EXPECT_EQ(SshHomeFolder(), fromDatabase);
    EXPECT_TRUE(fromDatabase.starts_with("/"));
    EXPECT_NE(fromDatabase, "relative");
}

} // namespace
} // namespace twinfol::test
