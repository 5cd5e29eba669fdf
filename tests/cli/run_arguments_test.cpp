// Parsing the runner's command line: defaults, every option, the two forms and the refusals.
#include <gtest/gtest.h>

#include "cli/run_arguments.h"
#include "support/option_forms.h"

namespace twinfol::cli {
namespace {

TEST(RunArguments, DefaultsAddOnDeleteOffSubFoldersOnConfirmOff)
{
    const ParsedArguments parsed = ParseArguments({"/src", "/dst"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    const RunArguments& run = parsed.arguments;
    EXPECT_EQ(run.invocation, Invocation::Folders);
    EXPECT_EQ(run.source, "/src");
    EXPECT_EQ(run.target, "/dst");
    EXPECT_TRUE(run.options.addMissing);
    EXPECT_FALSE(run.options.deleteMissing);
    EXPECT_TRUE(run.options.checkSubFolders);
    EXPECT_FALSE(run.options.confirmDeletes);
    EXPECT_FALSE(run.dryRun);
    EXPECT_FALSE(run.json);
    EXPECT_FALSE(run.answerYesToAll);
    EXPECT_TRUE(run.exclusions.empty());
}

TEST(RunArguments, EachJobFlagIsItsSwitchAloneAndComesOnlyWithFolders)
{
    const SyncOptions bare = ParseArguments({"/src", "/dst"}).arguments.options;
    for (const test::OptionForms& form : test::everyJobFlag) {
        SCOPED_TRACE(form.flag);
        EXPECT_EQ(bare.*form.option, !form.flagGives);
        const ParsedArguments parsed = ParseArguments({form.flag, "/src", "/dst"});
        ASSERT_TRUE(parsed.IsOk()) << parsed.error;
        SyncOptions expected = bare;
        expected.*form.option = form.flagGives;
        EXPECT_EQ(parsed.arguments.options, expected);
        EXPECT_EQ(parsed.arguments.jobSwitches, std::vector<std::string>{form.flag});
        EXPECT_FALSE(ParseArguments({form.flag, "job.twp"}).IsOk());
    }
}

TEST(RunArguments, EveryOptionInAnyPosition)
{
    const ParsedArguments parsed =
        ParseArguments({"--no-add", "/src", "--delete", "--no-subfolders", "--confirm", "--yes", "--dry-run",
                        "--json", "--exclude", "/src/a b", "--exclude=/dst/c/", "/dst"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    const RunArguments& run = parsed.arguments;
    EXPECT_FALSE(run.options.addMissing);
    EXPECT_TRUE(run.options.deleteMissing);
    EXPECT_FALSE(run.options.checkSubFolders);
    EXPECT_TRUE(run.options.confirmDeletes);
    EXPECT_TRUE(run.answerYesToAll);
    EXPECT_TRUE(run.dryRun);
    EXPECT_TRUE(run.json);
    EXPECT_EQ(run.exclusions, (std::vector<std::string>{"/src/a b", "/dst/c/"}));
    EXPECT_EQ(run.source, "/src");
    EXPECT_EQ(run.target, "/dst");
}

TEST(RunArguments, DoubleDashAllowsFolderNamesStartingWithADash)
{
    const ParsedArguments parsed = ParseArguments({"--delete", "--", "-src", "--dst"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    EXPECT_EQ(parsed.arguments.source, "-src");
    EXPECT_EQ(parsed.arguments.target, "--dst");
}

TEST(RunArguments, ProfileFormWithDirection)
{
    ParsedArguments parsed = ParseArguments({"--direction", "2to1", "job.twp"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    EXPECT_EQ(parsed.arguments.invocation, Invocation::Profile);
    EXPECT_EQ(parsed.arguments.profilePath, "job.twp");
    EXPECT_EQ(parsed.arguments.direction, SyncDirection::Location2ToLocation1);
    parsed = ParseArguments({"job.twp", "--direction=1to2"});
    EXPECT_EQ(parsed.arguments.direction, SyncDirection::Location1ToLocation2);
    parsed = ParseArguments({"job.twp"});
    EXPECT_FALSE(parsed.arguments.direction.has_value());
}

TEST(RunArguments, TheTrashIsAJobSwitchItsDaysAreNotAndUndoTakesOnlyItsFolder)
{
    ParsedArguments parsed = ParseArguments({"--trash", "--trash-days", "0", "/src", "/dst"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    EXPECT_TRUE(parsed.arguments.options.useTrash);
    EXPECT_EQ(parsed.arguments.options.trashKeepDays, 0);
    EXPECT_FALSE(ParseArguments({"/src", "/dst"}).arguments.options.useTrash);
    EXPECT_EQ(ParseArguments({"/src", "/dst"}).arguments.options.trashKeepDays, 30);
    // A profile holds whether it uses the Trash; how long the Trash keeps things is the runner's.
    EXPECT_FALSE(ParseArguments({"--trash", "job.twp"}).IsOk());
    parsed = ParseArguments({"--trash-days=7", "job.twp"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    EXPECT_EQ(parsed.arguments.options.trashKeepDays, 7);

    // The hour shift is the job's too: a profile keeps it.
    EXPECT_TRUE(ParseArguments({"--ignore-hour-shift", "/src", "/dst"}).arguments.options.ignoreHourShift);
    EXPECT_FALSE(ParseArguments({"/src", "/dst"}).arguments.options.ignoreHourShift);
    EXPECT_FALSE(ParseArguments({"--ignore-hour-shift", "job.twp"}).IsOk());

    parsed = ParseArguments({"--dry-run", "--json", "--undo", "/dst"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    EXPECT_EQ(parsed.arguments.invocation, Invocation::Undo);
    EXPECT_EQ(parsed.arguments.undoTarget, "/dst");
    EXPECT_TRUE(parsed.arguments.dryRun && parsed.arguments.json);
    for (const std::vector<std::string>& wrong :
         std::vector<std::vector<std::string>>{{"--undo", "/dst", "/src"},
                                               {"--undo", "/dst", "--delete"},
                                               {"--undo", "/dst", "--trash-days", "3"},
                                               {"--undo"},
                                               {"--undo="},
                                               {"--trash-days", "-1", "/a", "/b"},
                                               {"--trash-days", "x", "/a", "/b"},
                                               {"--trash-days", "36501", "/a", "/b"}})
        EXPECT_FALSE(ParseArguments(wrong).IsOk()) << ::testing::PrintToString(wrong);
}

TEST(RunArguments, HelpAndVersionWinOverEverythingElse)
{
    EXPECT_EQ(ParseArguments({"--help"}).arguments.invocation, Invocation::Help);
    EXPECT_EQ(ParseArguments({"/a", "-h", "--bogus"}).arguments.invocation, Invocation::Help);
    EXPECT_EQ(ParseArguments({"--version"}).arguments.invocation, Invocation::Version);
}

TEST(RunArguments, RefusesWrongCommandLines)
{
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"/only-one-folder"},
        {"/a", "/b", "/c"},
        {"--bogus", "/a", "/b"},
        {"/a", "/b", "--exclude"},
        {"/a", "/b", "--exclude="},
        {"job.twp", "--direction", "sideways"},
        {"job.twp", "--direction"},
        {"--direction", "1to2", "/a", "/b"},
        {"-x", "/a", "/b"},
        {"--delete", "job.twp"},
        {"job.twp", "--exclude", "/a/"},
    };
    for (const auto& arguments : wrong) {
        const ParsedArguments parsed = ParseArguments(arguments);
        EXPECT_FALSE(parsed.IsOk()) << ::testing::PrintToString(arguments);
    }
}

TEST(RunArguments, ShortFormsOutputAndSafetyOptionsGoWithEitherForm)
{
    ParsedArguments parsed =
        ParseArguments({"-n", "-q", "--max-delete", "0", "--allow-empty-source", "--no-plan",
                        "--log-file=/var/log/t.log", "--direction", "2to1", "job.twp"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    EXPECT_TRUE(parsed.arguments.dryRun);
    EXPECT_EQ(parsed.arguments.verbosity, Verbosity::Quiet);
    EXPECT_EQ(parsed.arguments.options.maxDeletes, 0);
    EXPECT_EQ(parsed.arguments.options.emptySource, EmptySource::Allow);
    EXPECT_EQ(parsed.arguments.plan, PlanChoice::Never);
    EXPECT_EQ(parsed.arguments.logFile, "/var/log/t.log");
    parsed = ParseArguments({"-v", "--plan", "--max-delete=12", "/src", "/dst"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    EXPECT_EQ(parsed.arguments.verbosity, Verbosity::Verbose);
    EXPECT_EQ(parsed.arguments.plan, PlanChoice::Always);
    EXPECT_EQ(parsed.arguments.options.maxDeletes, 12);
    EXPECT_EQ(parsed.arguments.options.emptySource, EmptySource::Refuse);
    EXPECT_EQ(ParseArguments({"/src", "/dst"}).arguments.plan, PlanChoice::WhenCheap);
    for (const char* value : {"-1", "12x", "", "1234567890123456789"})
        EXPECT_FALSE(ParseArguments({"--max-delete", value, "/src", "/dst"}).IsOk()) << value;
    EXPECT_FALSE(ParseArguments({"--log-file=", "/src", "/dst"}).IsOk());
    EXPECT_EQ(ParseArguments({"/src", "/dst"}).arguments.options.jobs, 0);
    EXPECT_EQ(ParseArguments({"-j", "3", "/src", "/dst"}).arguments.options.jobs, 3);
    EXPECT_EQ(ParseArguments({"--jobs=1", "job.twp"}).arguments.options.jobs, 1);
    for (const char* value : {"0", "65", "two", ""})
        EXPECT_FALSE(ParseArguments({"--jobs", value, "/src", "/dst"}).IsOk()) << value;
}

TEST(RunArguments, ShortOptionsJoinAsInOtherTools)
{
    ParsedArguments parsed = ParseArguments({"-qn", "-j4", "/src", "/dst"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    EXPECT_EQ(parsed.arguments.verbosity, Verbosity::Quiet);
    EXPECT_TRUE(parsed.arguments.dryRun);
    EXPECT_EQ(parsed.arguments.options.jobs, 4);
    parsed = ParseArguments({"-nvj", "2", "/src", "/dst"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    EXPECT_EQ(parsed.arguments.verbosity, Verbosity::Verbose);
    EXPECT_EQ(parsed.arguments.options.jobs, 2);
    EXPECT_EQ(ParseArguments({"-nh"}).arguments.invocation, Invocation::Help);
    // A letter no short option has keeps the whole group unknown; after "--" nothing is split.
    EXPECT_FALSE(ParseArguments({"-qx", "/src", "/dst"}).IsOk());
    EXPECT_FALSE(ParseArguments({"-j0", "/src", "/dst"}).IsOk());
    parsed = ParseArguments({"--", "-qn", "/dst"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    EXPECT_FALSE(parsed.arguments.dryRun);
}

TEST(RunArguments, HelpDocumentsExitCodesAndJsonBytes)
{
    const std::string help = HelpText();
    for (const char* needle :
         {"--no-add", "--delete", "--no-subfolders", "--confirm", "--exclude", "--yes", "--dry-run", "--json",
          "--direction", "--version", "--trash", "--trash-days", "--undo TARGET",
          "Could not move to the Trash", "\\u00XX", "Latin-1", "  3  interrupted", "  2  refused"})
        EXPECT_NE(help.find(needle), std::string::npos) << needle;
}

TEST(RunArguments, TheScheduleFormsTakeTheirProfileAndNoRunOptions)
{
    ParsedArguments parsed = ParseArguments({"--schedule", "Mon..Fri 18:00", "--direction=2to1", "job.twp"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    EXPECT_EQ(parsed.arguments.invocation, Invocation::Schedule);
    EXPECT_EQ(parsed.arguments.scheduleWhen, "Mon..Fri 18:00");
    EXPECT_EQ(parsed.arguments.profilePath, "job.twp");
    EXPECT_EQ(parsed.arguments.direction, SyncDirection::Location2ToLocation1);
    EXPECT_EQ(ParseArguments({"--unschedule", "job.twp"}).arguments.invocation, Invocation::Unschedule);
    EXPECT_EQ(ParseArguments({"--schedules"}).arguments.invocation, Invocation::Schedules);
    EXPECT_EQ(ParseArguments({"--watch"}).arguments.invocation, Invocation::Watch);

    EXPECT_EQ(ParseArguments({"--schedule", "daily", "-q", "job.twp"}).error,
              "--schedule takes only --direction besides its profile, not -q");
    EXPECT_EQ(ParseArguments({"--unschedule", "--direction", "1to2", "job.twp"}).error,
              "--unschedule takes no option besides its profile, not --direction");
    EXPECT_EQ(ParseArguments({"--schedule", "daily", "src", "dst"}).error,
              "--schedule needs one profile file ending in .twp");
    EXPECT_EQ(ParseArguments({"--schedules", "job.twp"}).error, "--schedules takes no folder or profile");
    EXPECT_EQ(ParseArguments({"--schedule="}).error,
              "--schedule needs hourly, daily, weekly, on-mount or a calendar expression");
}

TEST(RunArguments, AScheduledRunsCommandLineIsAccepted)
{
    // The line a unit or the disk watcher starts, with a folder moved to where its disk is mounted now.
    const ParsedArguments parsed = ParseArguments({"-q", "--notify", "--log-file", "/l.log", "--direction",
                                                   "1to2", "--target-at", "/media/S/b", "/j.twp"});
    ASSERT_TRUE(parsed.IsOk()) << parsed.error;
    EXPECT_EQ(parsed.arguments.invocation, Invocation::Profile);
    EXPECT_EQ(parsed.arguments.notify, Notify::Send);
    EXPECT_EQ(parsed.arguments.targetAt, "/media/S/b");
    EXPECT_EQ(ParseArguments({"--source-at", "/x", "a", "b"}).error,
              "--source-at and --target-at apply only to a profile");
}

} // namespace
} // namespace twinfol::cli
