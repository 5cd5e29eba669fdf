// The built twinfol-sync program with ignore rules: what is left out of the copy, what stays in the
// target although deletes are on, and how the report names each item with its rule.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/posix/posix_file_system.h"
#include "profile/profile.h"
#include "support/program_outcome.h"
#include "support/temp_tree.h"

namespace twinfol::cli {
namespace {

using test::Outcome;
using test::TempTree;

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class TwinfolSyncIgnore : public ::testing::Test {
protected:
    Outcome Run(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), TWINFOL_SYNC_PATH);
        return test::RunCommand(
            std::move(arguments), scratch,
            {{"XDG_STATE_HOME", scratch.Path("state")}, {"XDG_DATA_HOME", scratch.Path("data")}});
    }

    TempTree scratch;
    TempTree tree;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
};

TEST_F(TwinfolSyncIgnore, IgnoredItemsAreNeitherCopiedNorDeletedUnlessAsked)
{
    tree.WriteFile("source/keep.txt", "keep");
    tree.WriteFile("source/node_modules/lib.js", "lib");
    tree.WriteFile("source/big.bin", std::string(3000, 'b'));
    tree.WriteFile("source/notes.tmp", "tmp");
    tree.WriteFile("target/stale.txt", "stale");
    tree.WriteFile("target/old.log", "log");
    const std::string rules = tree.WriteFile("rules.txt", "# what the backup never needs\n*.log\n*.tmp\n");

    Outcome result = Run({"--json", "--delete", "--ignore", "node_modules/", "--ignore-file", rules,
                          "--max-size", "2K", source, target});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(tree.ReadFile("target/keep.txt"), "keep");
    for (const char* left : {"target/node_modules", "target/big.bin", "target/notes.tmp", "target/stale.txt"})
        EXPECT_FALSE(tree.Exists(left)) << left;
    // Found only in the target, but ignored: deletes pass it by.
    EXPECT_EQ(tree.ReadFile("target/old.log"), "log");
    EXPECT_TRUE(Has(result.out, "\"ignoredCount\": 4")) << result.out;
    EXPECT_TRUE(Has(result.out, "(from --ignore)")) << result.out;
    EXPECT_TRUE(Has(result.out, "(from " + rules + ")")) << result.out;
    EXPECT_TRUE(Has(result.out, "larger than 2 KiB")) << result.out;

    result = Run({"--json", "--delete", "--delete-ignored", "--ignore-file", rules, source, target});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(tree.Exists("target/old.log"));
    // Ignored in the source, and so still not copied.
    EXPECT_FALSE(tree.Exists("target/notes.tmp"));
}

TEST_F(TwinfolSyncIgnore, AFolderFoundOnlyInTheTargetIsDeletedAroundWhatIsIgnored)
{
    tree.WriteFile("source/new.txt", "new");
    tree.WriteFile("target/old/a.txt", "a");
    tree.WriteFile("target/old/keep.log", "log");
    tree.WriteFile("target/gone/b.txt", "b");
    const Outcome result = Run({"--delete", "--ignore", "*.log", source, target});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(tree.ReadFile("target/old/keep.log"), "log");
    EXPECT_FALSE(tree.Exists("target/old/a.txt"));
    EXPECT_FALSE(tree.Exists("target/gone"));
}

TEST_F(TwinfolSyncIgnore, APlanWithVerboseOutputNamesTheRuleOfEachItemLeftOut)
{
    tree.WriteFile("source/a.tmp", "a");
    tree.WriteFile("source/cache/x", "x");
    tree.WriteFile("target/old/b.tmp", "b");
    const Outcome result = Run(
        {"--plan", "-v", "--dry-run", "--delete", "--ignore", "*.tmp", "--ignore", "cache/", source, target});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Has(result.err, "Left out: a.tmp (excluded by pattern `*.tmp` (from --ignore))"))
        << result.err;
    EXPECT_TRUE(Has(result.err, "Left out: cache/ (excluded by pattern `cache/` (from --ignore))"))
        << result.err;
    EXPECT_TRUE(Has(result.err, "Left out: old/b.tmp")) << result.err;
    EXPECT_TRUE(tree.Exists("target/old/b.tmp"));
}

TEST_F(TwinfolSyncIgnore, AProfilesRulesComeWithItAndTheCommandLineAddsToThem)
{
    tree.WriteFile("source/a.tmp", "a");
    tree.WriteFile("source/b.bak", "b");
    tree.WriteFile("source/c.txt", "c");
    Profile profile;
    profile.SetLocation1(source);
    profile.SetLocation2(target);
    profile.options.confirmDeletes = false;
    profile.options.autoStart = AutoStart::Location1ToLocation2;
    profile.options.ignorePatterns = {{"*.tmp", ""}};
    PosixFileSystem fileSystem;
    ASSERT_TRUE(profile.WriteFile(fileSystem, tree.Path("job.twp")));

    const Outcome result = Run({"-v", "--ignore", "*.bak", tree.Path("job.twp")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(tree.ReadFile("target/c.txt"), "c");
    EXPECT_FALSE(tree.Exists("target/a.tmp"));
    EXPECT_FALSE(tree.Exists("target/b.bak"));
    EXPECT_TRUE(Has(result.out, "Ignored items: 2\n")) << result.out;
    const std::size_t listStart = result.out.find("\nIgnored Items:\n");
    ASSERT_NE(listStart, std::string::npos) << result.out;
    const std::string list = result.out.substr(listStart);
    EXPECT_TRUE(Has(list, "a.tmp (") && Has(list, "(from job.twp)")) << list;
    EXPECT_TRUE(Has(list, "b.bak (") && Has(list, "(from --ignore)")) << list;
}

} // namespace
} // namespace twinfol::cli
