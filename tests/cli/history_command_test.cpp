// The history of runs through the runner: real runs into a real target leave their reports and
// records in the journal folder, and --history lists them, as text and as JSON.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "base/json_text.h"
#include "cli/sync_command_fixture.h"
#include "engine/changes/kept_report.h"
#include "engine/records/report_json.h"

namespace twinfol::cli {
namespace {

class HistoryCommandTest : public SyncCommandTest {
protected:
    // A run that adds two files, one refused by --max-delete, and the undo of the first.
    void RunRefuseAndUndo()
    {
        tree.WriteFile("source/a", "a");
        tree.WriteFile("source/b", "b");
        ASSERT_EQ(Run({source, target}), ExitCode::Finished) << err.str();
        tree.WriteFile("target/extra", "x");
        ASSERT_EQ(Run({"--delete", "--yes", "--max-delete", "0", source, target}), ExitCode::Refused);
        ASSERT_EQ(Run({"--undo", target}), ExitCode::Finished) << err.str();
    }

    std::vector<JsonValue> HistoryJson(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--history", "--json"});
        EXPECT_EQ(Run(arguments), ExitCode::Finished) << err.str();
        const std::optional<JsonValue> json = ParseJson(out.str());
        EXPECT_TRUE(json && json->type == JsonType::Array) << out.str();
        return json ? json->items : std::vector<JsonValue>{};
    }
};

TEST_F(HistoryCommandTest, ARunARefusedRunAndAnUndoAreListedNewestFirst)
{
    RunRefuseAndUndo();
    const std::vector<JsonValue> runs = HistoryJson({target});
    ASSERT_EQ(runs.size(), 3u) << out.str();

    EXPECT_EQ(runs[0].StringOr("kind"), "undo");
    EXPECT_EQ(runs[0].IntegerOr("trashedCount"), 2);

    EXPECT_EQ(runs[1].StringOr("kind"), "run");
    EXPECT_NE(runs[1].StringOr("refusal").find("more than --max-delete 0 allows"), std::string::npos);
    EXPECT_EQ(runs[1].StringOr("journal"), "");
    EXPECT_FALSE(runs[1].BoolOr("undone"));

    EXPECT_EQ(runs[2].StringOr("refusal"), "");
    EXPECT_EQ(runs[2].IntegerOr("addedFileCount"), 2);
    EXPECT_EQ(runs[2].StringOr("target"), target);
    EXPECT_TRUE(runs[2].BoolOr("undone"));
    EXPECT_FALSE(runs[2].BoolOr("lastOfTarget"));
    // The kept report is the run's own, beside its journal, with its lists.
    const std::string journal = runs[2].StringOr("journal");
    EXPECT_EQ(runs[2].StringOr("report"), KeptReportPath(journal));
    std::string text;
    ASSERT_TRUE(fileSystem.ReadFile(runs[2].StringOr("report"), 1 << 20, text));
    const std::optional<SyncReport> report = ReadReportJson(text);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->addedFiles, (PathSet{target + "a", target + "b"}));
}

TEST_F(HistoryCommandTest, TheTextHasOneLinePerRunAndTheTargetFilters)
{
    RunRefuseAndUndo();
    const std::string other = tree.MakeFolder("other");
    tree.WriteFile("source/c", "c");
    ASSERT_EQ(Run({source, other}), ExitCode::Finished);

    ASSERT_EQ(Run({"--history"}), ExitCode::Finished);
    const std::string all = out.str();
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 4) << all;
    EXPECT_TRUE(all.starts_with("=== ")) << all;
    EXPECT_NE(all.find("==>> " + other +
                       "  (done: 0 overwritten, 3 added, 0 deleted files; 0 added, 0 deleted "
                       "folders; can be undone)"),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("(refused: the run would delete 1 items"), std::string::npos) << all;
    EXPECT_NE(all.find("deleted folders; undone)"), std::string::npos) << all;

    EXPECT_EQ(HistoryJson({other}).size(), 1u);
    EXPECT_EQ(HistoryJson({target + "/"}).size(), 3u);
}

TEST_F(HistoryCommandTest, ARunWithProblemsAndNoChangeLeavesARecordAndACleanOneNone)
{
    tree.WriteFile("source/a", "a");
    faults.FailPath(tree.Path("target/a"), EACCES, test::FsOperation::CopyFile);
    ASSERT_EQ(Run({source, target}), ExitCode::Problems);
    faults.ClearFaults();
    ASSERT_EQ(Run({source, target}), ExitCode::Finished);
    ASSERT_EQ(Run({source, target}), ExitCode::Finished);
    const std::vector<JsonValue> runs = HistoryJson({});
    ASSERT_EQ(runs.size(), 2u) << out.str();
    EXPECT_EQ(runs[0].IntegerOr("addedFileCount"), 1);
    EXPECT_EQ(runs[1].IntegerOr("problemCount"), 1);
    EXPECT_EQ(runs[1].StringOr("journal"), "");
}

TEST_F(HistoryCommandTest, ADryRunKeepsNothingAndHistoryTakesNoRunOptions)
{
    tree.WriteFile("source/a", "a");
    ASSERT_EQ(Run({"--dry-run", source, target}), ExitCode::Finished);
    EXPECT_TRUE(HistoryJson({}).empty());
    EXPECT_EQ(Run({"--history", "--delete"}), ExitCode::Refused);
    EXPECT_EQ(Run({"--history", target, source}), ExitCode::Refused);
    // An undo is no option of the history, in either order.
    EXPECT_EQ(Run({"--history", "--undo", target}), ExitCode::Refused);
    EXPECT_EQ(Run({"--undo", target, "--history"}), ExitCode::Refused);
}

} // namespace
} // namespace twinfol::cli
