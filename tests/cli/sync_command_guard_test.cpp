// The runner's guards in front of deletes and its exclusions, end to end over real trees: what is
// refused touches nothing, what is limited never goes past its limit, and an exclusion protects what
// the person named however it was spelled.
#include "sync_command_fixture.h"

#include <algorithm>

namespace twinfol::cli {
namespace {

// The tree without the journal folder, where a refused run leaves the record of its refusal.
std::map<std::string, std::string> OutsideHome(const test::TempTree& tree)
{
    std::map<std::string, std::string> entries = tree.Snapshot();
    std::erase_if(entries, [](const auto& entry) { return entry.first.starts_with("home/"); });
    return entries;
}

TEST_F(SyncCommandTest, AnEmptySourceIsRefusedBeforeAnythingIsTouched)
{
    tree.WriteFile("target/photos/1.jpg", "1");
    tree.WriteFile("target/notes", "n");
    const std::string profile = WriteProfile("1");
    const auto before = tree.Snapshot();
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--delete", source, target},
                                                      {"--delete", "--dry-run", source, target},
                                                      {profile}}) {
        EXPECT_EQ(Run(arguments), ExitCode::Refused);
        EXPECT_TRUE(ErrHas("the source folder is empty: is its disk mounted?")) << err.str();
        EXPECT_TRUE(ErrHas("holds 2 items that the run would delete"));
        EXPECT_TRUE(ErrHas("--allow-empty-source"));
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(OutsideHome(tree), before);
    }
    // The two real runs left the record of their refusal; the dry run none.
    const std::map<std::string, std::string> after = tree.Snapshot();
    EXPECT_EQ(std::count_if(after.begin(), after.end(),
                            [](const auto& entry) { return entry.first.ends_with(".report.json"); }),
              2);
    // Nothing to delete, nothing to refuse.
    EXPECT_EQ(Run({source, target}), ExitCode::Finished);
    EXPECT_EQ(
        Run({"--delete", "--exclude", target + "photos", "--exclude", target + "notes", source, target}),
        ExitCode::Finished);
    EXPECT_EQ(Run({"--delete", "--allow-empty-source", source, target}), ExitCode::Finished);
    EXPECT_FALSE(tree.Exists("target/photos"));
    EXPECT_FALSE(tree.Exists("target/notes"));
}

// A plan that finds the target's disk too small warns on standard error, under -q too, and the run
// goes on as scripts expect; without a plan nothing is said.
TEST_F(SyncCommandTest, APlanThatWillNotFitWarnsEvenWhenQuietAndRunsOn)
{
    tree.WriteFile("source/big", std::string(10000, 'b'));
    faults.ReportSpace(SpaceFigures{.freeBytes = 4096, .blockSize = 4096});
    EXPECT_EQ(Run({"--plan", "-q", source, target}), ExitCode::Finished);
    EXPECT_EQ(err.str(), "twinfol-sync: warning: the run will not fit on the target's disk: needs 12.0 KiB, "
                         "4.0 KiB free\n");
    EXPECT_TRUE(tree.Exists("target/big")) << "the run went on";

    // A dry run, a plan itself, says so too; a run without a plan says nothing.
    tree.WriteFile("source/more", std::string(10000, 'm'));
    EXPECT_EQ(Run({"--dry-run", "-q", source, target}), ExitCode::Finished);
    EXPECT_TRUE(ErrHas("the run will not fit on the target's disk: needs 12.0 KiB, 4.0 KiB free"))
        << err.str();
    EXPECT_FALSE(tree.Exists("target/more"));
    EXPECT_EQ(Run({"-q", source, target}), ExitCode::Finished);
    EXPECT_EQ(err.str(), "");
}

// The empty-source refusal tells what the items hold.
TEST_F(SyncCommandTest, AnEmptySourceRefusalCountsTheFilesAndBytesInsideTheItems)
{
    for (int index = 0; index < 5; ++index)
        tree.WriteFile("target/photos/" + std::to_string(index) + ".jpg", std::string(1024, 'p'));
    tree.WriteFile("target/notes", "n");
    EXPECT_EQ(Run({"--delete", source, target}), ExitCode::Refused);
    EXPECT_TRUE(ErrHas("holds 2 items that the run would delete (6 files, 5.0 KiB)")) << err.str();
}

TEST_F(SyncCommandTest, MaxDeleteRefusesAPlanThatDeletesTooMuch)
{
    tree.WriteFile("source/kept", "k");
    for (const char* name : {"a", "b", "c"})
        tree.WriteFile(std::string("target/") + name, name);
    tree.WriteFile("target/tree/deep/x", "x");
    const auto before = tree.Snapshot();
    EXPECT_EQ(Run({"--delete", "--max-delete", "3", source, target}), ExitCode::Refused);
    EXPECT_TRUE(ErrHas("the run would delete 4 items, more than --max-delete 3 allows")) << err.str();
    EXPECT_EQ(OutsideHome(tree), before);
    EXPECT_EQ(Run({"--delete", "--max-delete=x", source, target}), ExitCode::Refused);
    EXPECT_EQ(Run({"--delete", "--max-delete", "4", source, target}), ExitCode::Finished);
    EXPECT_FALSE(tree.Exists("target/tree"));
}

TEST_F(SyncCommandTest, MaxDeleteNeverDeletesOneItemMoreWhenTheTreeChangesAfterThePlan)
{
    tree.WriteFile("source/kept", "k");
    tree.WriteFile("target/a", "a");
    tree.WriteFile("target/b", "b");
    // The target root is listed by the check of the roots, by the plan and by the run; before the
    // run lists it, three more items appear.
    int listings = 0;
    faults.OnCall(test::FsOperation::List, [&](const test::FsCall& call) {
        if (call.path == target && ++listings == 3) {
            tree.WriteFile("target/c", "c");
            tree.WriteFile("target/d", "d");
            tree.WriteFile("target/e/inner", "e");
        }
    });
    EXPECT_EQ(Run({"--delete", "--max-delete", "2", "--json", source, target}), ExitCode::Problems);
    EXPECT_EQ(listings, 3);
    EXPECT_TRUE(OutHas("\"deletedFileCount\": 2, \"addedFolderCount\": 0, \"deletedFolderCount\": 0"));
    // source/, source/kept, target/ with kept, c, d, e/ and e/inner: a and b alone were deleted (the
    // run's journal under home/ aside).
    const auto entries = tree.Snapshot();
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                            [](const auto& entry) { return !entry.first.starts_with("home/"); }),
              8);
    EXPECT_FALSE(tree.Exists("target/a"));
    EXPECT_FALSE(tree.Exists("target/b"));
    for (const char* line : {"Could not delete file: ", "Could not delete folder: "})
        EXPECT_TRUE(OutHas(std::string("{\"line\": \"") + line)) << line;
    EXPECT_TRUE(OutHas("\"reason\": \"the run has reached its limit of 2 deletes\""));
}

// A trial run of the cases a person meets first exits as the real run does, with the same lines.
TEST_F(SyncCommandTest, ADryRunExitsAsTheRealRunDoes)
{
    tree.WriteFile("source/locked", "new", 1699956500);
    tree.WriteFile("target/locked", "old", 1699956000);
    tree.SetMode("target/locked", 0444);
    tree.WriteFile("source/x", "file");
    tree.WriteFile("target/x/inside", "folder");
    tree.MakeFifo("source/pipe");
    tree.WriteFile("target/gone/keep", "k");
    tree.SetMode("target/gone/keep", 0400);
    EXPECT_EQ(Run({"--dry-run", "--delete", source, target}), ExitCode::Problems);
    const std::string trial = out.str();
    EXPECT_EQ(Run({"--delete", source, target}), ExitCode::Problems);
    const auto problems = [](const std::string& text) { return text.substr(text.find("Problem Log:")); };
    EXPECT_EQ(problems(trial), problems(out.str()));
    EXPECT_NE(trial.find("Overwritten files: 0\nAdded files: 0\nDeleted files: 0\nAdded Folders: 0\n"
                         "Deleted Folders: 1\n"),
              std::string::npos)
        << trial;
}

TEST_F(SyncCommandTest, ExclusionsProtectWhatThePersonNamedHoweverItIsSpelled)
{
    tree.WriteFile("target/keep/k", "k");
    tree.WriteFile("target/keep2/k", "k");
    tree.WriteFile("target/file.txt", "f");
    tree.WriteFile("target/gone/g", "g");
    tree.WriteFile("source/doc/d", "d");
    tree.WriteFile("source/other", "o");
    // Relative to the working folder, without the trailing "/", against a target typed with a
    // stray "/./"; and absolute against a source typed with "//".
    const std::string typedTarget = tree.Root() + "./target";
    const std::string typedSource = tree.Root() + "/source";
    EXPECT_EQ(Run({"--delete", "--exclude", "target/keep", "--exclude", "./target/keep2/", "--exclude",
                   tree.Root() + "target/file.txt", "--exclude", tree.Root() + "source/doc", typedSource,
                   typedTarget}),
              ExitCode::Finished)
        << err.str();
    EXPECT_TRUE(tree.Exists("target/keep/k"));
    EXPECT_TRUE(tree.Exists("target/keep2/k"));
    EXPECT_TRUE(tree.Exists("target/file.txt"));
    EXPECT_FALSE(tree.Exists("target/gone"));
    EXPECT_FALSE(tree.Exists("target/doc"));
    EXPECT_TRUE(tree.Exists("target/other"));

    // A refused exclusion refuses the run before anything is touched.
    tree.WriteFile("source/new", "n");
    EXPECT_EQ(Run({"--exclude", "*.log", source, target}), ExitCode::Refused);
    EXPECT_FALSE(tree.Exists("target/new"));

    // A profile's entries are used as they stand, with the same warnings.
    const std::string profile = WriteProfile("1", "0", tree.Root() + "target/keep\r\n");
    EXPECT_EQ(Run({profile}), ExitCode::Finished);
    EXPECT_TRUE(ErrHas("lacks the trailing \"/\""));
    EXPECT_FALSE(tree.Exists("target/keep"));
}

} // namespace
} // namespace twinfol::cli
