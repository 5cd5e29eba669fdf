// The disk watcher as the user service runs it: the built runner with --watch on a private schedule
// folder, and a real ext4 image with a fixed UUID mounted through a loop device.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "schedule/external_program.h"
#include "support/program_outcome.h"
#include "support/temp_tree.h"
#include "support/test_mount.h"

namespace twinfol {
namespace {

constexpr const char* stickUuid = "0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0";

// twinfol-sync --watch in the background with the test's configuration and state folders, its
// messages in a file; stopped as the user manager stops it, with SIGTERM.
class WatcherProcess {
public:
    WatcherProcess(const test::TempTree& tree, const std::string& logPath)
    {
        pid_ = fork();
        if (pid_ == 0) {
            setenv("XDG_CONFIG_HOME", tree.Path("config").c_str(), 1);
            setenv("XDG_STATE_HOME", tree.Path("state").c_str(), 1);
            const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
            execl(TWINFOL_SYNC_PATH, TWINFOL_SYNC_PATH, "--watch", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~WatcherProcess()
    {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    WatcherProcess(const WatcherProcess&) = delete;
    WatcherProcess& operator=(const WatcherProcess&) = delete;

private:
    pid_t pid_ = -1;
};

// Waits for the condition, looking ten times a second; the bound is generous, far beyond what a run
// on a busy machine takes, so that it only ends a test that went wrong.
bool WaitFor(const std::function<bool()>& condition)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

bool Holds(const test::TempTree& tree, const std::string& file, const std::string& text)
{
    return tree.ReadFile(file).value_or("").find(text) != std::string::npos;
}

TEST(MountWatcher, RunsTheProfileWhenItsDiskIsMountedEvenUnderAnotherPathAndSkipsAMissingFolder)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to mount an ext4 image";
    test::TempTree tree;
    test::TempTree scratch;
    tree.WriteFile("source/notes.txt", "written before the stick came");
    tree.MakeFolder("first");
    tree.MakeFolder("second");
    const std::string image = tree.Path("stick.img");
    const std::string profile = tree.Path("stick.twp");
    {
        test::TestMount first =
            test::TestMount::Ext4Image(image, 16 << 20, std::string("-U ") + stickUuid, tree.Path("first"));
        if (!first.IsMounted())
            GTEST_SKIP() << first.Failure();
        tree.MakeFolder("first/backup");
        tree.WriteFile(
            "stick.twp",
            "twin_fol_version=1.01\r\nlocation1=" + tree.Path("source/") +
                "\r\nlocation2=" + tree.Path("first/backup/") +
                "\r\nadd_files=1\r\nconfirm_deletes=0\r\nauto_start=1\r\nexclusions=\r\nend_exclusions\r\n");
        const test::Outcome scheduled = test::RunCommand(
            {TWINFOL_SYNC_PATH, "--schedule", "on-mount", profile}, scratch,
            {{"XDG_CONFIG_HOME", tree.Path("config")}, {"XDG_STATE_HOME", tree.Path("state")}});
        ASSERT_EQ(scheduled.exitCode, 0) << scheduled.err;
        EXPECT_NE(scheduled.out.find(std::string("UUID ") + stickUuid), std::string::npos) << scheduled.out;
    }
    const std::string log = tree.Path("watch.log");
    WatcherProcess watcher(tree, log);
    ASSERT_TRUE(WaitFor([&] { return Holds(tree, "watch.log", "Watching the mounts"); }))
        << *tree.ReadFile("watch.log");
    {
        // The desktop mounts the stick under another path than the profile names.
        const test::TestMount second = test::TestMount::Ext4ImageAgain(image, tree.Path("second"));
        ASSERT_TRUE(second.IsMounted()) << second.Failure();
        EXPECT_TRUE(WaitFor([&] { return Holds(tree, "second/backup/notes.txt", "before the stick came"); }))
            << *tree.ReadFile("watch.log");
        ASSERT_TRUE(WaitFor([&] { return Holds(tree, "watch.log", "ended with exit status 0"); }))
            << *tree.ReadFile("watch.log");
        // Emptied and taken out: its next appearance finds no backup folder on it.
        ASSERT_TRUE(RunProgram({"rm", "-r", tree.Path("second/backup")}).Succeeded());
    }
    const test::TestMount again = test::TestMount::Ext4ImageAgain(image, tree.Path("first"));
    ASSERT_TRUE(again.IsMounted()) << again.Failure();
    EXPECT_TRUE(WaitFor([&] { return Holds(tree, "watch.log", "backup is not on it"); }))
        << *tree.ReadFile("watch.log");
    EXPECT_FALSE(tree.Exists("first/backup"));
    EXPECT_TRUE(Holds(tree, "watch.log",
                      "Started the run of " + profile + " (its target is " + tree.Path("second/backup")));
}

} // namespace
} // namespace twinfol
