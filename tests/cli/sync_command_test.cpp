// The runner's flow driven in-process over real trees: exit codes, refusals, questions, --yes, dry
// run and the report on standard output.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/run_arguments.h"
#include "cli/sync_command.h"
#include "engine/posix_file_system.h"
#include "support/temp_tree.h"

namespace twinfol::cli {
namespace {

using test::TempTree;

class SyncCommandTest : public ::testing::Test {
protected:
    ExitCode Run(std::vector<std::string> arguments, Terminal stdinTerminal = Terminal::No)
    {
        out.str("");
        err.str("");
        CommandEnvironment environment{in, out, err, stdinTerminal, Terminal::No, 80, fileSystem, runState};
        return RunSyncCommand(arguments, environment);
    }

    TempTree tree;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
    PosixFileSystem fileSystem;
    SyncRunState runState;
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(SyncCommandTest, CleanRunExitsZeroAndPrintsTheReport)
{
    tree.WriteFile("source/a.txt", "a");
    EXPECT_EQ(Run({tree.Path("source"), tree.Path("target")}), ExitCode::Finished);
    EXPECT_EQ(tree.ReadFile("target/a.txt"), "a");
    EXPECT_EQ(out.str().substr(0, out.str().find('\n')), "Synchronisation done:");
    EXPECT_NE(out.str().find("Synchronisation source: " + source + "\n"), std::string::npos);
    EXPECT_NE(out.str().find("Added files: 1\n"), std::string::npos);
    EXPECT_NE(out.str().find("\n  " + target + "a.txt\n"), std::string::npos);
    EXPECT_EQ(err.str(), "");
}

TEST_F(SyncCommandTest, DeleteIsOffUnlessAskedFor)
{
    tree.WriteFile("target/old.txt", "o");
    EXPECT_EQ(Run({source, target}), ExitCode::Finished);
    EXPECT_TRUE(tree.Exists("target/old.txt"));
    EXPECT_EQ(Run({"--delete", source, target}), ExitCode::Finished);
    EXPECT_FALSE(tree.Exists("target/old.txt"));
}

TEST_F(SyncCommandTest, ProblemsExitOne)
{
    tree.WriteFile("source/x", "file");
    tree.MakeFolder("target/x");
    EXPECT_EQ(Run({source, target}), ExitCode::Problems);
    EXPECT_NE(out.str().find("Could not copy file: " + target + "x\n"), std::string::npos);
}

TEST_F(SyncCommandTest, RefusalsExitTwoAndTouchNothing)
{
    tree.WriteFile("source/a.txt", "a");
    EXPECT_EQ(Run({source, tree.Path("missing")}), ExitCode::Refused);
    EXPECT_NE(err.str().find("The target folder does not exist: " + tree.Path("missing")), std::string::npos);
    EXPECT_FALSE(tree.Exists("missing"));
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(Run({source, source + "inside"}), ExitCode::Refused);
    EXPECT_EQ(Run({"--bogus", source, target}), ExitCode::Refused);
    EXPECT_NE(err.str().find("--help"), std::string::npos);
    EXPECT_EQ(Run({"", target}), ExitCode::Refused);
    EXPECT_FALSE(tree.Exists("target/a.txt"));
}

TEST_F(SyncCommandTest, ProfileFormIsRefusedForNow)
{
    EXPECT_EQ(Run({"--direction", "1to2", tree.Path("job.twp")}), ExitCode::Refused);
    EXPECT_NE(err.str().find("profiles are not supported yet"), std::string::npos);
}

TEST_F(SyncCommandTest, ConfirmationWithoutATerminalIsRefusedUnlessYesIsGiven)
{
    tree.WriteFile("target/old.txt", "o");
    EXPECT_EQ(Run({"--delete", "--confirm", source, target}), ExitCode::Refused);
    EXPECT_NE(err.str().find("not a terminal"), std::string::npos);
    EXPECT_TRUE(tree.Exists("target/old.txt"));
    // Without --delete no question can come up, so there is nothing to refuse.
    EXPECT_EQ(Run({"--confirm", source, target}), ExitCode::Finished);
    EXPECT_EQ(Run({"--delete", "--confirm", "--yes", source, target}), ExitCode::Finished);
    EXPECT_FALSE(tree.Exists("target/old.txt"));
}

TEST_F(SyncCommandTest, AnswersAtTheTerminalDecideEachDelete)
{
    tree.WriteFile("target/a", "a");
    tree.WriteFile("target/b", "b");
    tree.WriteFile("target/sub/c", "c");
    tree.MakeFolder("source/sub");
    tree.MakeFolder("target/gone");
    in.str("n\na\ny\n");
    EXPECT_EQ(Run({"--delete", "--confirm", source, target}, Terminal::Yes), ExitCode::Finished);
    EXPECT_TRUE(tree.Exists("target/a"));
    EXPECT_FALSE(tree.Exists("target/b"));
    EXPECT_FALSE(tree.Exists("target/sub/c")); // Yes To All for files reaches the sub-folder
    EXPECT_FALSE(tree.Exists("target/gone"));
    EXPECT_NE(err.str().find("Delete sub-folder: " + target + "gone\n"), std::string::npos);
}

TEST_F(SyncCommandTest, CancelAndEndOfInputInterruptWithExitThree)
{
    tree.WriteFile("target/a", "a");
    tree.WriteFile("target/b", "b");
    in.str("c\n");
    EXPECT_EQ(Run({"--delete", "--confirm", source, target}, Terminal::Yes), ExitCode::Interrupted);
    EXPECT_EQ(out.str().substr(0, out.str().find('\n')), "Synchronisation interrupted");
    EXPECT_TRUE(tree.Exists("target/a"));
    EXPECT_TRUE(tree.Exists("target/b"));

    runState.ResetForRun();
    in.clear();
    in.str("");
    EXPECT_EQ(Run({"--delete", "--confirm", source, target}, Terminal::Yes), ExitCode::Interrupted);
    EXPECT_TRUE(tree.Exists("target/a"));
}

TEST_F(SyncCommandTest, StopBeforeTheRunReportsInterrupted)
{
    tree.WriteFile("source/a", "a");
    runState.RequestStop();
    EXPECT_EQ(Run({"--json", source, target}), ExitCode::Interrupted);
    EXPECT_NE(out.str().find("\"interrupted\": true"), std::string::npos);
    EXPECT_FALSE(tree.Exists("target/a"));
}

TEST_F(SyncCommandTest, DryRunReportsAndChangesNothing)
{
    tree.WriteFile("source/new", "n");
    tree.WriteFile("source/dir/f", "f");
    tree.WriteFile("target/old", "o");
    const auto before = tree.Snapshot();
    EXPECT_EQ(Run({"--dry-run", "--delete", "--json", source, target}), ExitCode::Finished);
    EXPECT_EQ(tree.Snapshot(), before);
    const std::string json = out.str();
    EXPECT_NE(json.find("\"dryRun\": true"), std::string::npos);
    EXPECT_NE(json.find("\"addedFiles\": [\"" + target + "new\"]"), std::string::npos);
    EXPECT_NE(json.find("\"addedFolders\": [\"" + target + "dir\"]"), std::string::npos);
    EXPECT_NE(json.find("\"deletedFiles\": [\"" + target + "old\"]"), std::string::npos);
    EXPECT_NE(json.find("\"addedFileCount\": 1"), std::string::npos);
}

TEST_F(SyncCommandTest, ExclusionsAndSwitchesReachTheEngine)
{
    tree.WriteFile("source/keep.txt", "k");
    tree.WriteFile("source/skip.txt", "s");
    tree.WriteFile("source/sub/f", "f");
    EXPECT_EQ(Run({"--no-subfolders", "--exclude", source + "skip.txt", source, target}), ExitCode::Finished);
    EXPECT_TRUE(tree.Exists("target/keep.txt"));
    EXPECT_FALSE(tree.Exists("target/skip.txt"));
    EXPECT_FALSE(tree.Exists("target/sub"));
    tree.WriteFile("source/new.txt", "n");
    EXPECT_EQ(Run({"--no-add", source, target}), ExitCode::Finished);
    EXPECT_FALSE(tree.Exists("target/new.txt"));
}

TEST_F(SyncCommandTest, HelpAndVersion)
{
    EXPECT_EQ(Run({"--version"}), ExitCode::Finished);
    EXPECT_EQ(out.str(), "twinfol-sync 1.01\n");
    EXPECT_EQ(Run({"--help"}), ExitCode::Finished);
    EXPECT_EQ(out.str(), HelpText());
}

} // namespace
} // namespace twinfol::cli
