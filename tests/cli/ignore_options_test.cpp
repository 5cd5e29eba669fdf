// The runner's ignore rules: --ignore, --ignore-file, the size limits and --delete-ignored as parsed,
// ignore files read in the order given, a profile's rules with the command line's added, and the
// refusals, all before the engine sees any of it.
#include <gtest/gtest.h>

#include "cli/ignore_rules.h"
#include "cli/profile_job.h"
#include "cli/run_arguments.h"
#include "cli/run_output.h"
#include "profile/profile.h"
#include "sync_command_fixture.h"

namespace twinfol::cli {
namespace {

using Kind = IgnoreRule::Kind;

TEST(IgnoreArguments, RulesKeepTheirOrderAndGoWithEitherForm)
{
    for (const std::vector<std::string>& places : {std::vector<std::string>{"/src", "/dst"}, {"job.twp"}}) {
        std::vector<std::string> arguments = {
            "--ignore",   "*.tmp", "--ignore-file=rules.txt", "--ignore=!keep.tmp",
            "--max-size", "1.5G",  "--min-size=512K",         "--delete-ignored"};
        arguments.insert(arguments.end(), places.begin(), places.end());
        const ParsedArguments parsed = ParseArguments(arguments);
        ASSERT_TRUE(parsed.IsOk()) << parsed.error;
        const RunArguments& run = parsed.arguments;
        EXPECT_EQ(run.ignoreRules,
                  (std::vector<IgnoreRule>{
                      {Kind::Pattern, "*.tmp"}, {Kind::File, "rules.txt"}, {Kind::Pattern, "!keep.tmp"}}));
        EXPECT_EQ(run.options.maxFileSize, 1536LL * 1024 * 1024);
        EXPECT_EQ(run.options.minFileSize, 512 * 1024);
        EXPECT_TRUE(run.options.deleteIgnored);
        // They are no job switch: a profile takes them in addition to its own rules.
        EXPECT_TRUE(run.jobSwitches.empty());
        EXPECT_TRUE(run.options.ignorePatterns.empty());
    }
    const RunArguments bare = ParseArguments({"/src", "/dst"}).arguments;
    EXPECT_FALSE(bare.options.maxFileSize || bare.options.minFileSize || bare.options.deleteIgnored);
}

TEST(IgnoreArguments, ValuesThatSayNothingAreUsageErrors)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--max-size", "lots"}, "--max-size needs a size such as 100M"},
        {{"--min-size=-1"}, "--min-size needs a size"},
        {{"--max-size", "12 parsecs"}, "not \"12 parsecs\""},
        {{"--ignore", ""}, "--ignore needs a pattern"},
        {{"--ignore", "# a comment"}, "--ignore needs a pattern, not \"# a comment\""},
        {{"--ignore-file="}, "--ignore-file needs a file"},
        {{"--min-size", "2M", "--max-size", "1M"}, "--min-size 2 MiB is larger than --max-size 1 MiB"},
    };
    for (const auto& [options, message] : refused) {
        std::vector<std::string> arguments = options;
        arguments.insert(arguments.end(), {"/src", "/dst"});
        const ParsedArguments parsed = ParseArguments(arguments);
        EXPECT_NE(parsed.error.find(message), std::string::npos) << parsed.error;
    }
    EXPECT_EQ(ParseArguments({"/src", "/dst", "--ignore"}).error, "--ignore needs a value");
    EXPECT_TRUE(ParseArguments({"--min-size", "1M", "--max-size", "1M", "/src", "/dst"}).IsOk());
    // An undo takes nothing that shapes a run.
    for (const char* option : {"--ignore=*.tmp", "--max-size=1M", "--delete-ignored"})
        EXPECT_FALSE(ParseArguments({option, "--undo", "/dst"}).IsOk()) << option;
}

class IgnoreRulesTest : public SyncCommandTest {};

TEST_F(IgnoreRulesTest, IgnoreFilesAreReadInTheOrderGivenAndNamedAsGiven)
{
    tree.WriteFile("rules/ignore.txt", "# build output\r\nbuild/\n\n*.log\n");
    const std::string absolute = tree.WriteFile("other.txt", "cache/\n");
    const IgnoreRulesResult read = ReadIgnoreRules(faults,
                                                   {{Kind::Pattern, "*.tmp"},
                                                    {Kind::File, "rules/ignore.txt"},
                                                    {Kind::Pattern, "!keep.tmp"},
                                                    {Kind::File, absolute}},
                                                   tree.Root());
    EXPECT_EQ(read.refusal, "");
    EXPECT_EQ(read.patterns, (std::vector<IgnorePattern>{{"*.tmp", "--ignore"},
                                                         {"build/", "rules/ignore.txt"},
                                                         {"*.log", "rules/ignore.txt"},
                                                         {"!keep.tmp", "--ignore"},
                                                         {"cache/", absolute}}));
}

TEST_F(IgnoreRulesTest, AnIgnoreFileThatCannotBeUsedRefusesTheRunBeforeAnythingIsTouched)
{
    tree.WriteFile("source/new.txt", "new");
    tree.MakeFolder("a-folder");
    tree.WriteFile("huge.txt", std::string(maxIgnoreFileBytes + 1, 'x'));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"missing.txt", "cannot read the ignore file missing.txt (No such file or directory)"},
        {"a-folder", "cannot read the ignore file a-folder (Is a directory)"},
        {"huge.txt", "the ignore file huge.txt is larger than 4 MiB"},
    };
    for (const auto& [file, message] : cases) {
        EXPECT_EQ(Run({"--ignore-file", file, source, target}), ExitCode::Refused);
        EXPECT_TRUE(ErrHas(message)) << err.str();
        WriteProfile("1");
        EXPECT_EQ(Run({"--ignore-file", file, tree.Path("job.twp")}), ExitCode::Refused);
        EXPECT_TRUE(ErrHas(message)) << err.str();
    }
    EXPECT_FALSE(tree.Exists("target/new.txt"));
}

TEST_F(IgnoreRulesTest, TheCommandLineAddsToAProfilesRules)
{
    Profile profile;
    profile.SetLocation1(source);
    profile.SetLocation2(target);
    profile.options.autoStart = AutoStart::Location1ToLocation2;
    profile.options.ignorePatterns = {{"*.tmp", ""}, {"build/", ""}};
    profile.options.maxFileSize = 1000;
    profile.options.minFileSize = 10;
    ASSERT_TRUE(profile.WriteFile(faults, tree.Path("job.twp")));

    const RunArguments arguments =
        ParseArguments({"--max-size", "2000", "--delete-ignored", "--ignore", "*.bak", tree.Path("job.twp")})
            .arguments;
    const ProfileJobResult loaded = LoadProfileJob(faults, arguments);
    ASSERT_TRUE(loaded.job) << loaded.error;
    const SyncOptions& options = loaded.job->options;
    // The command line's own patterns come when the run starts, after these.
    EXPECT_EQ(options.ignorePatterns,
              (std::vector<IgnorePattern>{{"*.tmp", "job.twp"}, {"build/", "job.twp"}}));
    EXPECT_EQ(options.maxFileSize, 2000);
    EXPECT_EQ(options.minFileSize, 10);
    EXPECT_TRUE(options.deleteIgnored);

    // Together the two can leave no file size at all.
    tree.WriteFile("source/new.txt", "new");
    EXPECT_EQ(Run({"--max-size", "5", tree.Path("job.twp")}), ExitCode::Refused);
    EXPECT_TRUE(ErrHas("the smallest file size to copy, 10 B, is larger than the largest, 5 B")) << err.str();
    EXPECT_FALSE(tree.Exists("target/new.txt"));
}

TEST_F(IgnoreRulesTest, VerboseListsTheIgnoredItemsInTheReportAndTheLog)
{
    SyncReport report;
    report.ignoredItems = {{target + "node_modules/", "excluded by pattern `node_modules/` (from --ignore)"},
                           {source + "big\x1B.iso", "larger than 1 MiB"}};
    report.RecordRun(source, target, false);
    const auto printed = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"--log-file", tree.Path("run.log"), source, target});
        const RunArguments run = ParseArguments(arguments).arguments;
        CommandEnvironment environment{
            out,      err,     in, ttyOut, Terminal::No, ErrorStream::NotATerminal, 80, tree.Root(), faults,
            runState, &places, {}, {}};
        out.str("");
        RunOutput output(environment, run);
        EXPECT_EQ(output.OpenLog(), "");
        EXPECT_EQ(output.Report(report, ExitCode::Finished), ExitCode::Finished);
        return out.str();
    };
    const std::string list = "\nIgnored Items:\n  " + target +
                             "node_modules/ (excluded by pattern `node_modules/` (from --ignore))\n  " +
                             source + "big\\x1b.iso (larger than 1 MiB)\n";
    const std::string plain = printed({});
    EXPECT_NE(plain.find("Deleted Folders: 0\nIgnored items: 2\n"), std::string::npos) << plain;
    EXPECT_EQ(plain.find("Ignored Items:"), std::string::npos) << plain;
    const std::string verbose = printed({"-v"});
    EXPECT_NE(verbose.find(list), std::string::npos) << verbose;
    EXPECT_NE(tree.ReadFile("run.log")->find(list), std::string::npos);
}

} // namespace
} // namespace twinfol::cli
