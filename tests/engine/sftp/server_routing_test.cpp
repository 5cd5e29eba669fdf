// Whole runs of the engine from this machine onto the loopback server through the routing layer:
// what lands on the server is what a local run makes of the same trees, the report speaks in the
// location's words, and the run's paths reach the server only below the location.
#include <gtest/gtest.h>

#include <libssh/libssh.h>
#include <sys/socket.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "engine/sftp/server_routing_file_system.h"
#include "support/sftp_layer.h"
#include "support/ssh_test_home.h"
#include "support/sync_engine_fixture.h"

namespace twinfol::test {
namespace {

class ServerRunTest : public SyncEngineFixture {
protected:
    void SetUp() override
    {
        if (!server)
            GTEST_SKIP() << failure;
        serverTarget = target;
        target = "sftp://127.0.0.1:" + std::to_string(SharedLoopbackSshd().Port()) + serverTarget;
        routing = std::make_unique<ServerRoutingFileSystem>(fileSystem, *server, target, serverTarget);
    }

    // Fills a side with a tree drawn from the seed: folders, files of a few sizes and times, links.
    void DrawTree(const std::string& side, unsigned seed, int entries) const
    {
        std::mt19937 draw(seed);
        for (int i = 0; i < entries; ++i) {
            const std::string folder = "d" + std::to_string(draw() % 4) + "/" + (draw() % 2 ? "e/" : "");
            const std::string name = side + "/" + folder + "f" + std::to_string(draw() % 12);
            if (draw() % 7 == 0) {
                if (tree.Exists(name + ".link"))
                    continue;
                tree.MakeFolder(side + "/" + folder);
                tree.MakeSymlink(name + ".link", "f" + std::to_string(draw() % 12));
            } else {
                tree.WriteFile(name,
                               std::string(draw() % 3 == 0 ? 200000 : draw() % 300, 'a' + char(draw() % 26)),
                               baseTime - static_cast<std::time_t>(draw() % 5) * 3600);
            }
        }
    }

    std::string failure;
    std::unique_ptr<SftpFileSystem> server = OpenLoopbackSftp(failure);
    std::unique_ptr<ServerRoutingFileSystem> routing;
    std::string serverTarget;
};

TEST_F(ServerRunTest, ARunOntoTheServerMakesWhatALocalRunMakesOfTheSameTrees)
{
    tree.MakeFolder("local");
    for (const unsigned seed : {1u, 2u, 3u}) {
        // The last run takes the pool, whose workers call the layer at once.
        jobs = seed == 3 ? 4 : 1;
        DrawTree("source", seed, 60);
        DrawTree("target", seed + 100, 30);
        DrawTree("local", seed + 100, 30);
        RunWith(*routing);
        const SyncReport onServer = report;
        report = {};
        SyncEngine(fileSystem, exclusions, runState, report, host)
            .Run(source, tree.Path("local/"), WithJobs(unconfirmed));
        EXPECT_EQ(SideSnapshot("target"), SideSnapshot("local")) << "seed " << seed;
        EXPECT_FALSE(onServer.addedFiles.empty());
        EXPECT_EQ(onServer.addedFiles.size(), report.addedFiles.size());
        EXPECT_EQ(onServer.deletedFiles.size(), report.deletedFiles.size());
        EXPECT_TRUE(onServer.problemLog.empty()) << onServer.ProblemLines().front();
        report = {};
        for (const char* side : {"source", "target", "local"}) {
            std::filesystem::remove_all(tree.Path(side));
            tree.MakeFolder(side);
        }
    }
}

TEST_F(ServerRunTest, TheReportNamesTheServersEntriesByTheLocation)
{
    tree.WriteFile(Source("new.txt"), "new", baseTime);
    tree.WriteFile(Source("sub/changed.txt"), "changed", baseTime);
    tree.WriteFile(Target("sub/changed.txt"), "old", baseTime - 3600);
    tree.WriteFile(Target("gone.txt"), "gone", baseTime);
    RunWith(*routing);
    EXPECT_EQ(Items(report.addedFiles), std::vector<std::string>{T("new.txt")});
    EXPECT_EQ(Items(report.overwrittenFiles), std::vector<std::string>{T("sub/changed.txt")});
    EXPECT_EQ(Items(report.deletedFiles), std::vector<std::string>{T("gone.txt")});
    EXPECT_TRUE(T("new.txt").starts_with("sftp://127.0.0.1:"));
    EXPECT_EQ(tree.ReadFile(Target("sub/changed.txt")), "changed");
    EXPECT_EQ(tree.Modified(Target("sub/changed.txt")), baseTime);
    EXPECT_FALSE(tree.Exists(Target("gone.txt")));
}

TEST_F(ServerRunTest, OnlyPathsBelowTheLocationGoToTheServer)
{
    EXPECT_TRUE(routing->OnServer(target));
    EXPECT_TRUE(routing->OnServer(WithoutTrailingSeparator(target)));
    EXPECT_TRUE(routing->OnServer(target + "a/b"));
    EXPECT_FALSE(routing->OnServer(source));
    EXPECT_FALSE(routing->OnServer(WithoutTrailingSeparator(target) + "-other/x"));
    EXPECT_EQ(routing->ServerPath(target + "a/b"), serverTarget + "a/b");
    EXPECT_EQ(routing->ServerPath(WithoutTrailingSeparator(target)), WithoutTrailingSeparator(serverTarget));
    tree.MakeFolder(Target("sub"));
    EXPECT_EQ(routing->ResolvePath(target + "sub/"), target + "sub/");
    EXPECT_EQ(routing->ResolvePath(target + "sub/../").Error(), 0) << "resolves to the location itself";
    EXPECT_EQ(routing->ResolvePath(target + "../").Error(), EXDEV);
    EXPECT_EQ(routing->CopyFile(target + "x", source + "x").Error(), EXDEV);
}

TEST_F(ServerRunTest, AConnectionCutMidRunEndsItAsALostDiskAndDeletesNothingAfterIt)
{
    for (int folder = 10; folder < 40; ++folder) {
        const std::string name = "d" + std::to_string(folder) + "/";
        for (int file = 0; file < 3; ++file)
            tree.WriteFile(Source(name + "f" + std::to_string(file)), "new");
        tree.WriteFile(Target(name + "old"), "only in the target");
    }
    bool cut = false;
    host.OnProgress([&](const std::string& text) {
        // As a dropped network would: the socket goes, the server is not told.
        if (!cut && text.find("d15") != std::string::npos) {
            cut = true;
            shutdown(ssh_get_fd(server->Channel().Connection().Session()), SHUT_RDWR);
        }
    });
    RunWith(*routing);
    ASSERT_TRUE(cut) << "the connection was never cut";
    EXPECT_TRUE(runState.IsStopped());
    ASSERT_FALSE(report.problemLog.empty());
    EXPECT_LE(report.problemLog.size(), 2u) << report.problemLog.back().line;
    EXPECT_NE(report.problemLog[0].reason.find("connection"), std::string::npos)
        << report.problemLog[0].reason;
    // The folders after the cut keep what only the target holds, and nothing after it was added.
    for (int folder = 16; folder < 40; ++folder) {
        EXPECT_TRUE(tree.Exists(Target("d" + std::to_string(folder) + "/old"))) << folder;
        EXPECT_FALSE(tree.Exists(Target("d" + std::to_string(folder) + "/f0"))) << folder;
    }
}

} // namespace
} // namespace twinfol::test
