// The runner's flow driven in-process over real trees: exit codes, refusals, questions, --yes, dry
// run and the report on standard output.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <sstream>

#include "cli/run_arguments.h"
#include "cli/sync_command.h"
#include "engine/journal_folder.h"
#include "engine/journal_record.h"
#include "engine/posix_file_system.h"
#include "support/temp_tree.h"

namespace twinfol::cli {
namespace {

using test::TempTree;

class SyncCommandTest : public ::testing::Test {
protected:
    ExitCode Run(std::vector<std::string> arguments, Terminal stdinTerminal = Terminal::No,
                 Terminal stderrTerminal = Terminal::No)
    {
        out.str("");
        err.str("");
        CommandEnvironment environment{in, out,        err,      stdinTerminal, stderrTerminal,
                                       40, fileSystem, runState, &places};
        return RunSyncCommand(arguments, environment);
    }

    TempTree tree;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
    PosixFileSystem fileSystem;
    SyncRunState runState;
    UserPlaces places{tree.Path("home/Trash/"), tree.Path("home/state/"),
                      static_cast<std::uint32_t>(geteuid())};
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

TEST_F(SyncCommandTest, ProgressLineOnlyOnATerminalAndClearedBeforeTheReport)
{
    tree.WriteFile("source/a.txt", "a");
    EXPECT_EQ(Run({source, target}, Terminal::No, Terminal::Yes), ExitCode::Finished);
    const std::string progress = err.str();
    ASSERT_TRUE(progress.starts_with("\r\x1b[KAdding file:...")) << progress;
    EXPECT_TRUE(progress.ends_with("a.txt\r\x1b[K")) << progress;
    // Each drawing fits the 40 columns given, one kept free.
    for (std::size_t start = progress.find("\x1b[K"); start != std::string::npos;) {
        const std::size_t end = progress.find('\r', start);
        if (end != std::string::npos) {
            EXPECT_LE(end - start - 3, 39u);
        }
        start = progress.find("\x1b[K", start + 3);
    }
    tree.WriteFile("source/b.txt", "b");
    EXPECT_EQ(Run({source, target}), ExitCode::Finished);
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

// Writes a profile whose Location 1 is the source folder and Location 2 the target folder.
std::string WriteProfile(const TempTree& tree, const std::string& autoStart, const std::string& confirm = "0",
                         const std::string& exclusions = "")
{
    const std::string text = "twin_fol_version=1.01\r\nlocation1=" + tree.Path("source/") +
                             "\r\nlocation2=" + tree.Path("target/") +
                             "\r\ndelete_files=1\r\nconfirm_deletes=" + confirm +
                             "\r\nadd_files=1\r\ncheck_sub_folders=1\r\nauto_start=" + autoStart +
                             "\r\nexclusions=\r\n" + exclusions + "end_exclusions\r\n";
    return tree.WriteFile("job.twp", text);
}

TEST_F(SyncCommandTest, ProfileRunsItsJobInItsAutoStartDirection)
{
    tree.WriteFile("source/new", "n");
    tree.WriteFile("source/skip", "s");
    tree.WriteFile("target/stale", "s");
    const std::string profile = WriteProfile(tree, "1", "0", source + "skip\r\n");
    EXPECT_EQ(Run({profile}), ExitCode::Finished) << err.str();
    EXPECT_TRUE(tree.Exists("target/new"));
    EXPECT_FALSE(tree.Exists("target/skip"));
    EXPECT_FALSE(tree.Exists("target/stale")); // the profile's delete_files=1
    EXPECT_NE(out.str().find("Synchronisation source: " + source + "\n"), std::string::npos);
}

// What an earlier run put in the Trash two days ago, as its journal tells it.
void TrashTwoDaysAgo(const TempTree& tree, const UserPlaces& places, const std::string& target)
{
    const auto when = std::chrono::system_clock::now() - std::chrono::hours(48);
    const TrashFolder home{places.homeTrash, ""};
    std::string text = FormatJournalHeader({JournalKind::Run, "/src/", target, true, 0});
    text += FormatTrashFolderLine(0, home);
    AppendJournalRecord(text, {JournalEntry::DeletedFile, "old", 0, 0, 0, 0, "old", "2020-01-01T00:00:00"});
    tree.WriteFile("home/state/" + JournalFileName(JournalKey(target), when), text);
    const TrashedItem item{home, "old", "2020-01-01T00:00:00", target + "old"};
    tree.WriteFile("home/Trash/files/old", "old");
    tree.WriteFile("home/Trash/info/old.trashinfo", item.InfoText());
}

TEST_F(SyncCommandTest, AProfileRunUsesTheProfilesTrashAndTheRunnersKeepingDays)
{
    tree.WriteFile("target/stale", "s");
    TrashTwoDaysAgo(tree, places, target);
    const std::string profile = tree.WriteFile(
        "trash.twp", "twin_fol_version=1.01\r\nlocation1=" + source + "\r\nlocation2=" + target +
                         "\r\ndelete_files=1\r\nconfirm_deletes=0\r\nauto_start=1\r\nuse_trash=1\r\n");
    EXPECT_EQ(Run({"--trash-days", "3", profile}), ExitCode::Finished) << err.str();
    EXPECT_EQ(tree.ReadFile("home/Trash/files/stale"), "s");
    EXPECT_TRUE(tree.Exists("home/Trash/files/old"));
    EXPECT_EQ(Run({"--trash-days=1", profile}), ExitCode::Finished) << err.str();
    EXPECT_FALSE(tree.Exists("home/Trash/files/old"));
    EXPECT_FALSE(tree.Exists("home/Trash/info/old.trashinfo"));
    EXPECT_TRUE(tree.Exists("home/Trash/files/stale"));
}

TEST_F(SyncCommandTest, DirectionOptionOverridesTheProfile)
{
    tree.WriteFile("target/back", "b");
    tree.WriteFile("source/only-in-source", "o");
    const std::string profile = WriteProfile(tree, "1");
    EXPECT_EQ(Run({"--direction", "2to1", profile}), ExitCode::Finished) << err.str();
    EXPECT_EQ(tree.ReadFile("source/back"), "b");
    EXPECT_FALSE(tree.Exists("source/only-in-source"));
    EXPECT_NE(out.str().find("Synchronisation source: " + target + "\n"), std::string::npos);
}

TEST_F(SyncCommandTest, ProfileRefusals)
{
    EXPECT_EQ(Run({tree.Path("absent.twp")}), ExitCode::Refused);
    EXPECT_NE(err.str().find("Could not open file: " + tree.Path("absent.twp")), std::string::npos);
    tree.WriteFile("junk.twp", "this is not a profile\r\n");
    EXPECT_EQ(Run({tree.Path("junk.twp")}), ExitCode::Refused);
    EXPECT_NE(err.str().find(tree.Path("junk.twp") + " is not a valid Twinfol profile"), std::string::npos);
    tree.WriteFile("source/new", "n");
    const std::string profile = WriteProfile(tree, "0");
    EXPECT_EQ(Run({profile}), ExitCode::Refused);
    EXPECT_NE(err.str().find("--direction"), std::string::npos);
    EXPECT_EQ(Run({"--delete", "--direction", "1to2", profile}), ExitCode::Refused);
    // A profile that confirms deletes needs a terminal or --yes, like the command-line form.
    WriteProfile(tree, "1", "1");
    EXPECT_EQ(Run({profile}), ExitCode::Refused);
    EXPECT_FALSE(tree.Exists("target/new"));
    EXPECT_EQ(Run({"--yes", profile}), ExitCode::Finished);
    EXPECT_TRUE(tree.Exists("target/new"));
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
    EXPECT_EQ(out.str(), "1.01\n");
    EXPECT_EQ(Run({"--help"}), ExitCode::Finished);
    EXPECT_EQ(out.str(), HelpText());
}

} // namespace
} // namespace twinfol::cli
