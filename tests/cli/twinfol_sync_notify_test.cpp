// The built twinfol-sync telling the end of a run on a private session bus: what the notification
// server receives, the window started from the notification's action, and no word at all where there
// is no bus.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/private_session_bus.h"
#include "support/program_copy.h"
#include "support/program_outcome.h"
#include "support/temp_tree.h"

namespace twinfol::cli {
namespace {

using test::NotificationServer;
using test::NotifyCall;
using test::Outcome;

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class TwinfolSyncNotify : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!bus.Failure().empty())
            GTEST_SKIP() << bus.Failure();
    }

    Outcome Run(std::vector<std::string> arguments, std::map<std::string, std::string> environment = {},
                const std::string& program = TWINFOL_SYNC_PATH)
    {
        // A minute, far more than any of these runs needs: a runner that kept waiting for an action
        // fails the test with timeout's status rather than holding the suite for ten minutes.
        arguments.insert(arguments.begin(), {"timeout", "60", program});
        environment.emplace("DBUS_SESSION_BUS_ADDRESS", bus.Address());
        environment.emplace("XDG_STATE_HOME", scratch.Path("state"));
        environment.emplace("XDG_DATA_HOME", scratch.Path("data"));
        return test::RunCommand(std::move(arguments), scratch, environment);
    }

    // The arguments a fake window program wrote, one a line; waits for the detached program to write
    // them, and answers empty when it never does.
    std::string WindowArguments() const
    {
        for (int attempt = 0; attempt < 400 && !scratch.Exists("window-arguments"); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return scratch.ReadFile("window-arguments").value_or("");
    }

    // The one report the run kept for the history, under the test's state folder; empty unless there
    // is exactly one.
    std::string KeptReport() const
    {
        std::vector<std::string> kept;
        if (!scratch.Exists("state"))
            return {};
        for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch.Path("state")))
            if (entry.path().string().ends_with(".report.json"))
                kept.push_back(entry.path().string());
        return kept.size() == 1 ? kept[0] : std::string();
    }

    // A "twinfol" in the folder that writes the arguments it was started with.
    void WriteFakeWindow(const std::string& folder) const
    {
        const std::string path = folder + "/twinfol";
        const std::string script =
            "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + scratch.Path("window-arguments.part") + "'\nmv '" +
            scratch.Path("window-arguments.part") + "' '" + scratch.Path("window-arguments") + "'\n";
        ASSERT_TRUE(scratch.WriteFile("fake.sh", script).size() > 0);
        ASSERT_EQ(std::rename(scratch.Path("fake.sh").c_str(), path.c_str()), 0);
        ASSERT_EQ(chmod(path.c_str(), 0755), 0);
    }

    test::PrivateSessionBus bus;
    test::TempTree scratch;
    test::TempTree tree;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
};

TEST_F(TwinfolSyncNotify, ADoneRunAndARefusedOneAreToldOnTheSessionBus)
{
    const NotificationServer server(bus.Address(), {"body", "actions"}, test::ActionAnswer::None);
    ASSERT_EQ(server.Failure(), "");
    tree.WriteFile("source/a", "a");

    const Outcome done = Run({"-q", "--notify", source, target});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(done.err, "");
    std::vector<NotifyCall> calls = server.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].appName, "Twinfol");
    EXPECT_EQ(calls[0].summary, "Synchronisation done");
    EXPECT_EQ(calls[0].body, source + " ==>> " + target + "\nFiles copied: 1 (1 B)");
    // The runner does not stay, so it offers nothing to click.
    EXPECT_TRUE(calls[0].actions.empty());

    const std::string missing = tree.Path("missing");
    const Outcome refused = Run({"-q", "--notify", source, missing});
    EXPECT_EQ(refused.exitCode, 2);
    calls = server.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].summary, "Synchronisation refused");
    ASSERT_TRUE(refused.err.starts_with("twinfol-sync: ")) << refused.err;
    const std::string reason = refused.err.substr(14, refused.err.size() - 15);
    EXPECT_TRUE(Has(calls[1].body, "\nRefused: " + reason)) << calls[1].body;
}

TEST_F(TwinfolSyncNotify, WithoutASessionBusNothingIsSentAndNothingSaid)
{
    const std::string noRuntime = scratch.MakeFolder("runtime");
    for (const std::string& address : {std::string(), std::string("unix:path=") + noRuntime + "none"}) {
        const std::map<std::string, std::string> noBus{{"DBUS_SESSION_BUS_ADDRESS", address},
                                                       {"XDG_RUNTIME_DIR", noRuntime}};
        for (const std::string& to : {target, tree.Path("missing")}) {
            const Outcome plain = Run({"-q", source, to}, noBus);
            const Outcome told =
                Run({"-q", "--notify-wait", "--log-file", scratch.Path("log"), source, to}, noBus);
            EXPECT_EQ(told.exitCode, plain.exitCode) << address;
            EXPECT_EQ(told.err, plain.err) << address;
            EXPECT_EQ(told.out, plain.out) << address;
        }
    }
}

// The window is looked for beside the runner first: the runner is copied into a folder that holds a
// fake one.
TEST_F(TwinfolSyncNotify, TheActionStartsTheWindowOnTheReport)
{
    const NotificationServer server(bus.Address(), {"actions", "body"}, test::ActionAnswer::InvokeFirst);
    ASSERT_EQ(server.Failure(), "");
    const test::ProgramCopy runner(TWINFOL_SYNC_PATH);
    WriteFakeWindow(runner.Path().substr(0, runner.Path().rfind('/')));
    tree.WriteFile("source/a", "a");

    const Outcome outcome = Run(
        {"-q", "--notify-wait", "--log-file", scratch.Path("run.log"), source, target}, {}, runner.Path());
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    const std::vector<NotifyCall> calls = server.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].actions, (std::vector<std::string>{"open-report", "Open report"}));
    ASSERT_NE(KeptReport(), "");
    EXPECT_EQ(WindowArguments(), "--report\n" + KeptReport() + "\n");
}

// Without a window beside it, the runner finds one in PATH.
TEST_F(TwinfolSyncNotify, TheWindowIsFoundInPath)
{
    const NotificationServer server(bus.Address(), {"actions"}, test::ActionAnswer::InvokeFirst);
    ASSERT_EQ(server.Failure(), "");
    const test::ProgramCopy runner(TWINFOL_SYNC_PATH);
    const std::string folder = scratch.MakeFolder("bin");
    WriteFakeWindow(folder);
    const std::string path = folder + ":" + std::getenv("PATH");
    tree.WriteFile("source/a", "a");
    const Outcome outcome =
        Run({"-q", "--notify-wait", "--log-file", scratch.Path("run.log"), source, target}, {{"PATH", path}},
            runner.Path());
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    ASSERT_NE(KeptReport(), "");
    EXPECT_EQ(WindowArguments(), "--report\n" + KeptReport() + "\n");
}

// A server that shows no actions gets none, and the runner does not stay for one.
TEST_F(TwinfolSyncNotify, AServerWithoutActionsGetsNone)
{
    const NotificationServer server(bus.Address(), {"body"}, test::ActionAnswer::InvokeFirst);
    ASSERT_EQ(server.Failure(), "");
    const Outcome outcome =
        Run({"-q", "--notify-wait", "--log-file", scratch.Path("run.log"), source, target});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    ASSERT_EQ(server.Calls().size(), 1u);
    EXPECT_TRUE(server.Calls()[0].actions.empty());
}

// A dismissed notification ends the wait: the runner exits with the run's status and starts nothing.
TEST_F(TwinfolSyncNotify, ClosingTheNotificationEndsTheWait)
{
    const NotificationServer server(bus.Address(), {"actions"}, test::ActionAnswer::Close);
    ASSERT_EQ(server.Failure(), "");
    const test::ProgramCopy runner(TWINFOL_SYNC_PATH);
    WriteFakeWindow(runner.Path().substr(0, runner.Path().rfind('/')));
    tree.WriteFile("source/a", "a");
    const Outcome outcome = Run(
        {"-q", "--notify-wait", "--log-file", scratch.Path("run.log"), source, target}, {}, runner.Path());
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    ASSERT_EQ(server.Calls().size(), 1u);
    EXPECT_FALSE(server.Calls()[0].actions.empty());
    EXPECT_FALSE(scratch.Exists("window-arguments"));
}

} // namespace
} // namespace twinfol::cli
