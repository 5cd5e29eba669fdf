// The built twinfol-sync program, run by root, against another user's traps around the Trash and the
// journal: a trash folder replaced before an undo, another user's HOME, and an undo while a run holds
// the target.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/posix/posix_target_lock.h"
#include "support/ordinary_user.h"
#include "support/program_outcome.h"
#include "support/temp_tree.h"
#include "support/test_mount.h"

namespace twinfol::test {
namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class TrashAttackProgram : public ::testing::Test {
protected:
    // Runs the program with the environment's variables replaced as given (an empty value removes
    // one), standard input from /dev/null and both outputs to files of the scratch tree.
    Outcome Run(std::vector<std::string> arguments, const std::map<std::string, std::string>& environment)
    {
        arguments.insert(arguments.begin(), TWINFOL_SYNC_PATH);
        return RunCommand(std::move(arguments), scratch, environment);
    }
    // Journals and the home trash in the scratch tree, root's own.
    Outcome Run(std::vector<std::string> arguments)
    {
        return Run(std::move(arguments),
                   {{"XDG_STATE_HOME", scratch.Path("state")}, {"XDG_DATA_HOME", scratch.Path("data")}});
    }
    // Gives everything below the tree's folder to the ordinary user.
    void GiveAllToHer(const std::string& relative)
    {
        GiveToOrdinaryUser(tree.Path(relative), 0700);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(tree.Path(relative)))
            GiveToOrdinaryUser(entry.path(), entry.is_directory() ? 0700 : 0600);
    }

    TempTree scratch;
    TempTree tree;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
};

// After root's run kept the old content of "config" in the disk's trash folder, she (who owns the disk's
// top) puts her own folder in its place, holding a file "config" of hers: the undo leaves it alone.
TEST_F(TrashAttackProgram, AnUndoTakesNothingFromAnotherUsersFolderInTheTrashFoldersPlace)
{
    if (geteuid() != 0)
        GTEST_SKIP() << needsRootMessage;
    const TestMount disk = TestMount::Tmpfs(tree.MakeFolder("disk"), 1 << 20);
    if (!disk.IsMounted())
        GTEST_SKIP() << disk.Failure();
    GiveToOrdinaryUser(tree.Path("disk"), 0755);
    target = tree.MakeFolder("disk/target");
    tree.WriteFile("source/config", "new", 1700000000);
    tree.WriteFile("disk/target/config", "old", 1600000000);
    ASSERT_EQ(Run({"--trash", source, target}).exitCode, 0);
    const std::string trash = "disk/.Trash-" + std::to_string(geteuid());
    ASSERT_EQ(tree.ReadFile(trash + "/files/config"), "old");

    ASSERT_EQ(std::rename(tree.Path(trash).c_str(), tree.Path("disk/away").c_str()), 0);
    tree.WriteFile(trash + "/files/config", "hers", 1600000000);
    std::filesystem::copy(tree.Path("disk/away/info"), tree.Path(trash + "/info"));
    GiveAllToHer(trash);
    const Outcome undo = Run({"--undo", target});
    EXPECT_EQ(undo.exitCode, 1) << undo.out << undo.err;
    EXPECT_TRUE(Has(undo.out, "\nLeft Alone:\n  Could not undo: " + target + "config (") &&
                Has(undo.out, "(the trash folder belongs to another user))\n"))
        << undo.out;
    EXPECT_EQ(tree.ReadFile("disk/target/config"), "new");
    EXPECT_EQ(tree.ReadFile(trash + "/files/config"), "hers");
}

// Root with her HOME (sudo -E, su without -): her journal names an old item in her home trash, whose
// files/ she has made a link to a folder of another person's. Root's --trash and --undo are refused,
// naming her; a plain run writes no journal, says why, and deletes nothing through the link.
TEST_F(TrashAttackProgram, RootWithAnotherUsersHomeTrustsNeitherHerJournalsNorHerTrash)
{
    if (geteuid() != 0)
        GTEST_SKIP() << needsRootMessage;
    const std::map<std::string, std::string> herHome = {
        {"HOME", tree.Path("her")}, {"XDG_STATE_HOME", ""}, {"XDG_DATA_HOME", ""}};
    tree.WriteFile("source/kept", "kept");
    tree.WriteFile("target/adv-victim", "victim's");
    ASSERT_EQ(Run({"--delete", "--trash", source, target}, herHome).exitCode, 0);
    // Her journal, dated long ago so that its items are due for the purge.
    const std::string journals = tree.Path("her/.local/state/twinfol/");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(journals))
        if (entry.path().extension() == ".journal")
            names.push_back(entry.path().filename());
    ASSERT_EQ(names.size(), 1u);
    const std::string oldName = names[0].substr(0, 17) + "2000" + names[0].substr(21);
    ASSERT_EQ(std::rename((journals + names[0]).c_str(), (journals + oldName).c_str()), 0);
    const std::string herTrash = tree.Path("her/.local/share/Trash/");
    std::filesystem::remove_all(herTrash + "files");
    tree.WriteFile("victim/adv-victim", "victim's");
    GiveAllToHer("her");
    ASSERT_EQ(symlink(tree.Path("victim").c_str(), (herTrash + "files").c_str()), 0);
    ASSERT_EQ(lchown((herTrash + "files").c_str(), ordinaryUser, ordinaryGroup), 0);
    tree.WriteFile("target/stale", "stale");
    const auto herState = tree.Snapshot();

    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"--delete", "--trash", source, target},
          std::vector<std::string>{"--undo", target}}) {
        const Outcome outcome = Run(refused, herHome);
        EXPECT_EQ(outcome.exitCode, 2) << refused[0] << ": " << outcome.out << outcome.err;
        EXPECT_TRUE(Has(outcome.err, "belongs to nobody")) << outcome.err;
        EXPECT_EQ(tree.Snapshot(), herState);
    }
    const Outcome plain = Run({"--delete", source, target}, herHome);
    EXPECT_EQ(plain.exitCode, 0) << plain.out << plain.err;
    EXPECT_TRUE(Has(plain.out, "No run journal was written and the Trash was not tidied")) << plain.out;
    EXPECT_EQ(tree.ReadFile("victim/adv-victim"), "victim's");
    EXPECT_FALSE(tree.Exists("target/stale"));
    // Her journal and the report of her run, and nothing root wrote.
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(journals), std::filesystem::directory_iterator()),
        2);
}

// An undo while a run holds the target's lock changes nothing, and leaves the journal to a later undo.
TEST_F(TrashAttackProgram, AnUndoIsRefusedWhileARunHoldsTheTarget)
{
    tree.WriteFile("source/added", "added");
    tree.WriteFile("target/stale", "stale");
    ASSERT_EQ(Run({"--delete", "--trash", source, target}).exitCode, 0);
    const auto before = tree.Snapshot();
    // The journal and the home trash, without the outputs of the runs.
    const auto places = [&] {
        auto entries = scratch.Snapshot();
        entries.erase("stdout.txt");
        entries.erase("stderr.txt");
        return entries;
    };
    const auto journalAndTrash = places();
    {
        const PosixTargetLock running(target);
        ASSERT_TRUE(running.Status().IsOk());
        const Outcome undo = Run({"--undo", target});
        EXPECT_EQ(undo.exitCode, 2) << undo.out << undo.err;
        EXPECT_TRUE(Has(undo.err, targetBusyReason)) << undo.err;
        EXPECT_EQ(tree.Snapshot(), before);
        EXPECT_EQ(places(), journalAndTrash);
    }
    EXPECT_EQ(Run({"--undo", target}).exitCode, 0);
    EXPECT_EQ(tree.ReadFile("target/stale"), "stale");
    EXPECT_FALSE(tree.Exists("target/added"));
}

} // namespace
} // namespace twinfol::test
