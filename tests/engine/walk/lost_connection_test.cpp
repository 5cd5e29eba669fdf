// A connection cut under a real sshfs source in the middle of a run with deletes on: the run ends with
// one problem line naming the source, is marked interrupted and deletes nothing after the cut (root
// only, with sshfs onto a loopback sshd of the test's own; skipped with the reason otherwise).
#include <dirent.h>
#include <signal.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "support/loopback_sshd.h"
#include "support/sync_engine_fixture.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

// Kills every process whose command line names the text: the sshfs daemon and its ssh client, which
// name the server's key file. Answers how many it killed.
int KillProcessesNaming(const std::string& text)
{
    int killed = 0;
    DIR* processes = opendir("/proc");
    if (processes == nullptr)
        return 0;
    while (const dirent* entry = readdir(processes)) {
        const std::string name = entry->d_name;
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream file("/proc/" + name + "/cmdline", std::ios::binary);
        const std::string commandLine{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        if (commandLine.find(text) != std::string::npos && kill(std::stoi(name), SIGKILL) == 0)
            ++killed;
    }
    closedir(processes);
    return killed;
}

class LostConnectionTest : public SyncEngineFixture {
protected:
    void SetUp() override
    {
        const std::string backing = tree.MakeFolder("backing");
        for (int folder = 10; folder < 40; ++folder) {
            const std::string name = "d" + std::to_string(folder) + "/";
            for (int file = 0; file < 3; ++file)
                tree.WriteFile("backing/" + name + "f" + std::to_string(file), "new");
            tree.WriteFile(Target(name + "old"), "only in the target");
        }
        server_.emplace(tree.MakeFolder("sshd"));
        mount_.emplace(TestMount::Sshfs(*server_, backing, source));
        if (!mount_->IsMounted())
            GTEST_SKIP() << mount_->Failure();
    }

    std::optional<LoopbackSshd> server_;
    std::optional<TestMount> mount_;
};

TEST_F(LostConnectionTest, ACutUnderTheSourceEndsTheRunWithOneLineAndNoDeleteAfterIt)
{
    int killed = 0;
    host.OnProgress([&](const std::string& text) {
        if (killed == 0 && text.find("d15") != std::string::npos)
            killed = KillProcessesNaming(server_->UserKey());
    });
    Run();
    ASSERT_GT(killed, 0) << "the connection was never cut";
    ASSERT_EQ(report.problemLog.size(), 1u)
        << (report.problemLog.empty() ? "" : report.problemLog[1 % report.problemLog.size()].line);
    EXPECT_EQ(report.problemLog[0].line, "Could not read folder: " + source.substr(0, source.size() - 1));
    EXPECT_EQ(report.problemLog[0].reason, "the disk or connection was lost");
    EXPECT_TRUE(runState.IsStopped());
    // The folders after the cut keep what only the target holds.
    for (int folder = 16; folder < 40; ++folder)
        EXPECT_TRUE(tree.Exists(Target("d" + std::to_string(folder) + "/old"))) << folder;
}

} // namespace
} // namespace twinfol::test
