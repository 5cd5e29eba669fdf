// The runner's flow driven in-process over real trees: exit codes, refusals, questions, --yes, dry
// run and the report on standard output.
#include <unistd.h>

#include <chrono>

#include "cli/run_arguments.h"
#include "engine/changes/journal_folder.h"
#include "engine/changes/journal_record.h"
#include "engine/posix/posix_file_system.h"
#include "sync_command_fixture.h"

namespace twinfol::cli {
namespace {

using test::TempTree;

TEST_F(SyncCommandTest, CleanRunExitsZeroAndPrintsTheReport)
{
    tree.WriteFile("source/a.txt", "a");
    EXPECT_EQ(Run({tree.Path("source"), tree.Path("target")}), ExitCode::Finished);
    EXPECT_EQ(tree.ReadFile("target/a.txt"), "a");
    EXPECT_TRUE(out.str().starts_with("=== ")) << out.str();
    EXPECT_TRUE(OutHas("  " + source + " ==>> " + target + "  ("));
    EXPECT_TRUE(OutHas(" seconds)\nSynchronisation done:\n"));
    EXPECT_NE(out.str().find("Synchronisation source: " + source + "\n"), std::string::npos);
    EXPECT_NE(out.str().find("Added files: 1\n"), std::string::npos);
    EXPECT_NE(out.str().find("\n  " + target + "a.txt\n"), std::string::npos);
    EXPECT_EQ(err.str(), "");
}

TEST_F(SyncCommandTest, ProgressLineOnlyOnATerminalAndClearedBeforeTheReport)
{
    tree.WriteFile("source/a.txt", "a");
    EXPECT_EQ(Run({source, target}, Terminal::No, ErrorStream::Terminal), ExitCode::Finished);
    const std::string progress = err.str();
    // A terminal gets a plan first, which is the first thing drawn.
    ASSERT_TRUE(progress.starts_with("\r\x1b[KPlanning: ")) << progress;
    EXPECT_TRUE(progress.ends_with("\r\x1b[K")) << progress;
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
    tree.WriteFile("source/kept.txt", "k");
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
    EXPECT_TRUE(
        OutHas("Could not copy file: " + target + "x (a folder of that name stands at the target)\n"));
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

TEST_F(SyncCommandTest, ProfileRunsItsJobInItsAutoStartDirection)
{
    tree.WriteFile("source/new", "n");
    tree.WriteFile("source/skip", "s");
    tree.WriteFile("target/stale", "s");
    const std::string profile = WriteProfile("1", "0", source + "skip\r\n");
    EXPECT_EQ(Run({profile}), ExitCode::Finished) << err.str();
    EXPECT_TRUE(tree.Exists("target/new"));
    EXPECT_FALSE(tree.Exists("target/skip"));
    EXPECT_FALSE(tree.Exists("target/stale")); // the profile's delete_files=1
    EXPECT_NE(out.str().find("Synchronisation source: " + source + "\n"), std::string::npos);
}

// What an earlier run put in the Trash two days ago, as its journal tells it.
void TrashTwoDaysAgo(const test::TempTree& tree, const UserPlaces& places, const std::string& target)
{
    const auto when = std::chrono::system_clock::now() - std::chrono::hours(48);
    const TrashFolder home{places.homeTrash, ""};
    std::string text = FormatJournalHeader({JournalKind::Run, "/src/", target, true, 0});
    text += FormatTrashFolderLine(0, home);
    tree.WriteFile("home/Trash/files/old", "old");
    PosixFileSystem fileSystem;
    JournalRecord record;
    record.entry = JournalEntry::DeletedFile;
    record.relativePath = "old";
    record.trashFolder = 0;
    record.trashName = "old";
    record.deletionDate = "2020-01-01T00:00:00";
    record.identity = TrashedIdentity::Of(*fileSystem.LookAt(tree.Path("home/Trash/files/old")));
    AppendJournalRecord(text, record);
    tree.WriteFile("home/state/" + JournalFileName(JournalKey(target), when), text);
    const TrashedItem item{home, "old", "2020-01-01T00:00:00", target + "old", record.identity};
    tree.WriteFile("home/Trash/info/old.trashinfo", item.InfoText());
}

TEST_F(SyncCommandTest, AProfileRunUsesTheProfilesTrashAndTheRunnersKeepingDays)
{
    // The source holds something: an empty one would be refused as a disk that is not mounted.
    tree.WriteFile("source/kept", "k");
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
    const std::string profile = WriteProfile("1");
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
    const std::string profile = WriteProfile("0");
    EXPECT_EQ(Run({profile}), ExitCode::Refused);
    EXPECT_NE(err.str().find("--direction"), std::string::npos);
    EXPECT_EQ(Run({"--delete", "--direction", "1to2", profile}), ExitCode::Refused);
    // A profile that confirms deletes needs a terminal or --yes, like the command-line form; the
    // message names the profile's setting, since --confirm cannot be left out of a profile run.
    WriteProfile("1", "1");
    EXPECT_EQ(Run({profile}), ExitCode::Refused);
    EXPECT_TRUE(ErrHas("the profile " + profile + " asks before each delete"));
    EXPECT_TRUE(ErrHas("clear that setting in the profile"));
    EXPECT_FALSE(ErrHas("--confirm"));
    EXPECT_FALSE(tree.Exists("target/new"));
    EXPECT_EQ(Run({"--yes", profile}), ExitCode::Finished);
    EXPECT_TRUE(tree.Exists("target/new"));
}

TEST_F(SyncCommandTest, ConfirmationWithoutATerminalIsRefusedUnlessYesIsGiven)
{
    tree.WriteFile("source/kept.txt", "k");
    tree.WriteFile("target/old.txt", "o");
    EXPECT_EQ(Run({"--delete", "--confirm", source, target}), ExitCode::Refused);
    EXPECT_TRUE(ErrHas("there is no terminal to ask on; give --yes"));
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
    EXPECT_NE(ttyOut.str().find("Delete sub-folder: " + target + "gone\n"), std::string::npos);
    EXPECT_EQ(err.str(), "");
}

TEST_F(SyncCommandTest, CancelAndEndOfInputInterruptWithExitThree)
{
    tree.WriteFile("source/kept", "k");
    tree.WriteFile("target/a", "a");
    tree.WriteFile("target/b", "b");
    in.str("c\n");
    EXPECT_EQ(Run({"--delete", "--confirm", source, target}, Terminal::Yes), ExitCode::Interrupted);
    EXPECT_TRUE(OutHas(")\nSynchronisation interrupted\n"));
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

TEST_F(SyncCommandTest, QuietSaysNothingUnlessSomethingWentWrong)
{
    tree.WriteFile("source/a", "a");
    EXPECT_EQ(
        Run({"-q", "--exclude", source + "missing", source, target}, Terminal::No, ErrorStream::Terminal),
        ExitCode::Finished);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), ""); // no progress line, no warning
    EXPECT_TRUE(tree.Exists("target/a"));

    tree.WriteFile("source/x", "file");
    tree.MakeFolder("target/x");
    EXPECT_EQ(Run({"--quiet", "--json", source, target}), ExitCode::Problems);
    EXPECT_TRUE(OutHas("\"problemLog\": [\"Could not copy file: " + target + "x\"]"));
    EXPECT_EQ(Run({"-q", source, tree.Path("missing")}), ExitCode::Refused);
    EXPECT_TRUE(ErrHas("does not exist"));
}

TEST_F(SyncCommandTest, VerboseListsEachActionButNoCheck)
{
    tree.WriteFile("source/new", "n");
    tree.WriteFile("source/same", "s", 1699956000);
    tree.WriteFile("target/same", "s", 1699956000);
    tree.WriteFile("target/old", "o");
    EXPECT_EQ(Run({"-v", "--delete", source, target}), ExitCode::Finished);
    EXPECT_EQ(err.str(), "Adding file: " + target + "new\nDeleting file: " + target + "old\n");
    // On a dumb terminal the progress is plain lines and the actions stand between them.
    tree.WriteFile("source/second", "2");
    EXPECT_EQ(Run({"-v", "--no-plan", source, target}, Terminal::No, ErrorStream::DumbTerminal),
              ExitCode::Finished);
    EXPECT_EQ(err.str().find('\x1b'), std::string::npos);
    EXPECT_EQ(err.str().find('\r'), std::string::npos);
    EXPECT_TRUE(ErrHas("Adding file: " + target + "second\n"));
}

TEST_F(SyncCommandTest, ReportsSayWhyAndHowMuch)
{
    tree.WriteFile("source/dir/a", "1234");
    tree.WriteFile("source/dir/sub/b", "12");
    tree.WriteFile("source/x", "file");
    tree.MakeFolder("target/x");
    EXPECT_EQ(Run({"--json", source, target}), ExitCode::Problems);
    EXPECT_TRUE(OutHas("\"filesCopied\": 2, \"bytesCopied\": 6"));
    EXPECT_TRUE(OutHas("\"addedFolderContents\": {\"" + target + "dir\": {\"files\": 2, \"bytes\": 6}}"));
    EXPECT_TRUE(OutHas("\"problems\": [{\"line\": \"Could not copy file: " + target +
                       "x\", \"reason\": \"a folder of that name stands at the target\"}]"));
    const std::size_t start = out.str().find("\"startTime\": \"");
    ASSERT_NE(start, std::string::npos);
    // 2026-03-01T14:05:09+01:00
    const std::string time = out.str().substr(start + 14, 25);
    EXPECT_EQ(time[10], 'T') << time;
    EXPECT_EQ(time[22], ':') << time;
    EXPECT_TRUE(OutHas("\", \"durationSeconds\": "));

    tree.WriteFile("source/more", "m");
    EXPECT_EQ(Run({source, target}), ExitCode::Problems);
    EXPECT_TRUE(OutHas("\nFiles copied: 1\nBytes copied: 1\nDuration: "));
    EXPECT_TRUE(
        OutHas("\n  Could not copy file: " + target + "x (a folder of that name stands at the target)\n"));
}

TEST_F(SyncCommandTest, TheLogGetsEveryRunUnderADatedHeader)
{
    const std::string log = tree.Path("runs.log");
    tree.WriteFile("source/a", "a");
    EXPECT_EQ(Run({"-q", "--log-file", log, "--exclude", source + "missing", source, target}),
              ExitCode::Finished);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(Run({"--log-file=" + log, source, tree.Path("missing")}), ExitCode::Refused);
    const std::string text = tree.ReadFile("runs.log").value_or("");
    const std::size_t second = text.find("\n=== ");
    ASSERT_TRUE(text.starts_with("=== ")) << text;
    ASSERT_NE(second, std::string::npos) << text;
    const std::string first = text.substr(0, second);
    EXPECT_NE(first.find("  " + source + " ==>> " + target + "  ("), std::string::npos);
    EXPECT_NE(first.find(" seconds)\nWarning: the exclusion " + source + "missing matches nothing"),
              std::string::npos);
    EXPECT_NE(first.find("\nSynchronisation done:\n"), std::string::npos);
    const std::size_t refused = text.find("(refused)\nRefused: The target folder does not exist");
    ASSERT_NE(refused, std::string::npos) << text;
    EXPECT_GT(refused, second);

    // A log that cannot be written refuses the run before it touches anything.
    tree.WriteFile("source/b", "b");
    EXPECT_EQ(Run({"--log-file", tree.Path("no/such/folder/log"), source, target}), ExitCode::Refused);
    EXPECT_TRUE(ErrHas("cannot write the log file"));
    EXPECT_FALSE(tree.Exists("target/b"));
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
