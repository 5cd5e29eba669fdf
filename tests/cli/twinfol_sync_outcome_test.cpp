// The built twinfol-sync program where its outcome is at stake: the report and log of an undo (its own
// heading, counts and start time), a log file that fills up after the run began, and root inside a
// user namespace copying files whose owner the namespace does not map.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "support/program_outcome.h"
#include "support/temp_tree.h"
#include "support/test_mount.h"

namespace twinfol::cli {
namespace {

using test::Outcome;
using test::TempTree;

// Runs the command with the journals and home trash in the scratch tree.
Outcome RunCommand(std::vector<std::string> command, const TempTree& scratch)
{
    return test::RunCommand(
        std::move(command), scratch,
        {{"XDG_STATE_HOME", scratch.Path("state")}, {"XDG_DATA_HOME", scratch.Path("data")}});
}

Outcome RunProgram(std::vector<std::string> arguments, const TempTree& scratch)
{
    arguments.insert(arguments.begin(), TWINFOL_SYNC_PATH);
    return RunCommand(std::move(arguments), scratch);
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class TwinfolSyncOutcome : public ::testing::Test {
protected:
    TempTree scratch;
    TempTree tree;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
};

TEST_F(TwinfolSyncOutcome, AnUndoReportsItsOwnCountsAndTheTimeItStarted)
{
    tree.WriteFile("source/new", "new");
    tree.WriteFile("target/stale", "stale");
    ASSERT_EQ(RunProgram({"--delete", "--trash", source, target}, scratch).exitCode, 0);
    const std::string log = scratch.Path("undo.log");

    const Outcome json = RunProgram({"--json", "--log-file", log, "--undo", target}, scratch);
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_TRUE(Has(json.out, "\"undo\": true")) << json.out;
    EXPECT_FALSE(Has(json.out, "addedFile") || Has(json.out, "deletedFile")) << json.out;
    // The year of the undo, not of 1970, in the JSON and in the log's header.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string year = std::to_string(1900 + local.tm_year);
    EXPECT_TRUE(Has(json.out, "\"startTime\": \"" + year + "-")) << json.out;
    const std::string logText = scratch.ReadFile("undo.log").value_or("");
    EXPECT_EQ(logText.rfind("=== " + year + "-", 0), 0u) << logText;
    EXPECT_TRUE(Has(logText, "\nUndo done:\n")) << logText;
    EXPECT_TRUE(Has(logText, "\nRestored: 1\nMoved to the Trash: 1\nLeft alone: 0\n")) << logText;
    EXPECT_FALSE(Has(logText, "Added") || Has(logText, "Deleted")) << logText;
    EXPECT_EQ(tree.ReadFile("target/stale"), "stale");
}

// The cron example relies on the log: a run whose report cannot be written to it must not pass for one
// that finished well. A log that cannot even be opened still refuses the run before anything is done.
TEST_F(TwinfolSyncOutcome, ALogThatCannotBeWrittenAfterTheRunBeganMakesTheExitStatusOne)
{
    tree.WriteFile("source/a", "a");
    Outcome result = RunProgram({"-q", "--log-file", "/dev/full", source, target}, scratch);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(Has(result.err, "twinfol-sync: cannot write the log file /dev/full (")) << result.err;
    // With -q the report still goes to standard output: the one record of the run that is left.
    EXPECT_TRUE(Has(result.out, "Synchronisation done:\n")) << result.out;
    EXPECT_EQ(tree.ReadFile("target/a"), "a");

    result = RunProgram({"-q", "--log-file", tree.Path("no/such/folder/log"), source, target}, scratch);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Has(result.err, "cannot write the log file")) << result.err;

    // A real disk that fills up: a tmpfs of its own, filled to the last byte after the log was opened
    // empty would be a race, so it is filled first, with the log file already in it.
    tree.MakeFolder("logdisk");
    const test::TestMount disk = test::TestMount::Tmpfs(tree.Path("logdisk"), 64 * 1024);
    if (!disk.IsMounted())
        GTEST_SKIP() << disk.Failure();
    const std::string log = tree.Path("logdisk/sync.log");
    tree.WriteFile("logdisk/sync.log", "");
    const int filler = open(tree.Path("logdisk/filler").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(filler, 0);
    const std::string block(4096, 'x');
    while (write(filler, block.data(), block.size()) > 0) {
    }
    EXPECT_EQ(errno, ENOSPC);
    close(filler);
    tree.WriteFile("source/b", "b");
    result = RunProgram({"-q", "--log-file", log, source, target}, scratch);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(Has(result.err, "cannot write the log file " + log + " (No space left on device)"))
        << result.err;
    EXPECT_EQ(tree.ReadFile("target/b"), "b");
    // A refusal stays a refusal when its entry cannot be written to the log either.
    result = RunProgram({"--log-file", log, "--undo", tree.Path("source")}, scratch);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(Has(result.err, "has a journal to undo")) << result.err;
}

// Root in a user namespace sees an owner the namespace does not map as the overflow user, and cannot
// give a copy that owner (the kernel answers EINVAL): the copy is made without it, as cp -a makes it.
TEST_F(TwinfolSyncOutcome, RootInAUserNamespaceCopiesFilesOfAnUnmappedOwner)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to give the source file an owner of its own";
    tree.WriteFile("source/theirs.txt", "their data");
    tree.WriteFile("source/sub/deeper", "deeper");
    for (const char* item : {"source/theirs.txt", "source/sub", "source/sub/deeper"})
        ASSERT_EQ(chown(tree.Path(item).c_str(), 12345, 12345), 0);
    const Outcome probe = RunCommand({"unshare", "--user", "--map-root-user", "true"}, scratch);
    if (probe.exitCode != 0)
        GTEST_SKIP() << "unshare --user is not allowed here: " << probe.err;

    const Outcome result =
        RunCommand({"unshare", "--user", "--map-root-user", TWINFOL_SYNC_PATH, source, target}, scratch);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_FALSE(Has(result.out, "Invalid argument")) << result.out;
    EXPECT_EQ(tree.ReadFile("target/theirs.txt"), "their data");
    EXPECT_EQ(tree.ReadFile("target/sub/deeper"), "deeper");
    struct stat copy {};
    ASSERT_EQ(stat(tree.Path("target/theirs.txt").c_str(), &copy), 0);
    EXPECT_EQ(copy.st_uid, 0u);
}

} // namespace
} // namespace twinfol::cli
