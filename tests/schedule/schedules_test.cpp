// Schedules as user units in a private configuration folder: what is written, what the user manager's
// own checker says of it, what the listing shows, and which profiles are refused.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "schedule/external_program.h"
#include "schedule/schedule_files.h"
#include "schedule/schedules.h"
#include "schedule/unit_files.h"
#include "support/program_outcome.h"
#include "support/temp_tree.h"

namespace twinfol {
namespace {

class SchedulesTest : public ::testing::Test {
protected:
    std::string WriteProfile(const std::string& name, const std::string& autoStart,
                             const std::string& confirm = "0")
    {
        return tree.WriteFile(name, "twin_fol_version=1.01\r\nlocation1=" + tree.Path("source/") +
                                        "\r\nlocation2=" + tree.Path("target/") +
                                        "\r\ndelete_files=1\r\nconfirm_deletes=" + confirm +
                                        "\r\nauto_start=" + autoStart +
                                        "\r\nexclusions=\r\nend_exclusions\r\n");
    }

    std::string Unit(const std::string& profile, const std::string& suffix) const
    {
        for (const std::string& name : NamesEndingWith(places.unitFolder, suffix))
            if (name.find(profile) != std::string::npos)
                return places.unitFolder + name;
        return {};
    }

    std::string Text(const std::string& path) const { return ReadSmallFile(path).value_or(""); }

    // systemd-analyze's verdict on the units, run as the user manager would read them.
    test::Outcome Verify(const std::vector<std::string>& units) const
    {
        std::vector<std::string> command{"systemd-analyze", "--user", "verify"};
        command.insert(command.end(), units.begin(), units.end());
        return test::RunCommand(command, scratch,
                                {{"XDG_RUNTIME_DIR", runtime}, {"XDG_CONFIG_HOME", tree.Path("config")}});
    }

    test::TempTree tree;
    test::TempTree scratch;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
    std::string runtime = tree.MakeFolder("runtime");
    SchedulePlaces places{tree.Path("config/systemd/user/"), tree.Path("config/twinfol/on-mount/"),
                          tree.Path("state/twinfol/"), TWINFOL_SYNC_PATH};
};

TEST_F(SchedulesTest, ADailyScheduleWritesAOneShotServiceAndAPersistentTimerLinkedToStart)
{
    const std::string profile = WriteProfile("nightly job.twp", "1");
    const ScheduleOutcome outcome = ScheduleProfile(places, {profile, "daily", ""}, UserManager::Absent);
    ASSERT_TRUE(outcome.IsOk()) << outcome.error;
    const std::string service = Text(Unit("nightly\\x20job", ".service"));
    const std::string timer = Text(Unit("nightly\\x20job", ".timer"));
    EXPECT_NE(service.find("ExecStart=\"" + std::string(TWINFOL_SYNC_PATH) +
                           "\" \"-q\" \"--notify\" \"--log-file\""),
              std::string::npos)
        << service;
    EXPECT_NE(service.find("\"" + profile + "\"\n"), std::string::npos) << service;
    EXPECT_EQ(service.find("--direction"), std::string::npos);
    EXPECT_NE(service.find("Type=oneshot"), std::string::npos);
    EXPECT_NE(timer.find("OnCalendar=daily\n"), std::string::npos) << timer;
    EXPECT_NE(timer.find("Persistent=true\n"), std::string::npos) << timer;
    // No user manager runs here: the timer is linked as "systemctl enable" links it, and the note says so.
    const std::string timerName = Unit("nightly", ".timer").substr(places.unitFolder.size());
    const std::string link = places.unitFolder + "timers.target.wants/" + timerName;
    char pointsTo[4096] = {};
    ASSERT_GT(readlink(link.c_str(), pointsTo, sizeof pointsTo - 1), 0) << link;
    EXPECT_EQ(std::string(pointsTo), "../" + timerName);
    EXPECT_NE(outcome.notes.back().find("No user manager is running"), std::string::npos);
}

TEST_F(SchedulesTest, EveryUnitWrittenPassesSystemdAnalyzeVerify)
{
    if (!FindProgram("systemd-analyze"))
        GTEST_SKIP() << "systemd-analyze is not installed (apt-get install systemd)";
    chmod(runtime.c_str(), 0700);
    const std::string awkward = WriteProfile("100% \"quoted\" $HOME\\job.twp", "0");
    ASSERT_TRUE(
        ScheduleProfile(places, {awkward, "Mon..Fri *-*-* 18:30", "2to1"}, UserManager::Absent).IsOk());
    // The watcher's unit, written as an on-mount schedule would write it.
    ASSERT_TRUE(WriteWholeFile(places.unitFolder + watchUnitName, WatchServiceText(places)).empty());
    const std::vector<std::string> units{Unit("quoted", ".service"), Unit("quoted", ".timer"),
                                         places.unitFolder + watchUnitName};
    const test::Outcome verdict = Verify(units);
    EXPECT_EQ(verdict.exitCode, 0) << verdict.out << verdict.err;
    EXPECT_EQ(verdict.err, "");
    EXPECT_NE(Text(units[0]).find("\"--direction\" \"2to1\""), std::string::npos);
}

TEST_F(SchedulesTest, TheListingSaysTheNextRunIsUnknownWithoutAManagerAndUnscheduleRemovesAll)
{
    const std::string first = WriteProfile("first.twp", "1");
    const std::string second = WriteProfile("second.twp", "2");
    ASSERT_TRUE(ScheduleProfile(places, {first, "hourly", ""}, UserManager::Absent).IsOk());
    ASSERT_TRUE(ScheduleProfile(places, {second, "weekly", "1to2"}, UserManager::Absent).IsOk());
    std::vector<ScheduleEntry> entries = ListSchedules(places, UserManager::Absent);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].profilePath, first);
    EXPECT_EQ(entries[0].when, "hourly");
    EXPECT_EQ(entries[0].next, nextRunUnknown);
    EXPECT_EQ(entries[1].direction, "1to2");
    EXPECT_EQ(ScheduleOfProfile(places, second, UserManager::Absent)->when, "weekly");

    ASSERT_TRUE(UnscheduleProfile(places, first, UserManager::Absent).IsOk());
    entries = ListSchedules(places, UserManager::Absent);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].profilePath, second);
    EXPECT_TRUE(NamesEndingWith(places.unitFolder + "timers.target.wants", ".timer").size() == 1);
    EXPECT_FALSE(UnscheduleProfile(places, first, UserManager::Absent).IsOk());
    EXPECT_FALSE(ScheduleOfProfile(places, first, UserManager::Absent));
}

TEST_F(SchedulesTest, AProfileThatAsksOrHasNoDirectionIsRefusedWithTheReason)
{
    const std::string asking = WriteProfile("asking.twp", "1", "1");
    ScheduleOutcome outcome = ScheduleProfile(places, {asking, "daily", ""}, UserManager::Absent);
    EXPECT_NE(outcome.error.find("confirm_deletes=1"), std::string::npos) << outcome.error;
    const std::string still = WriteProfile("still.twp", "0");
    outcome = ScheduleProfile(places, {still, "daily", ""}, UserManager::Absent);
    EXPECT_NE(outcome.error.find("give --direction 1to2 or --direction 2to1"), std::string::npos)
        << outcome.error;
    EXPECT_FALSE(
        ScheduleProfile(places, {tree.Path("missing.twp"), "daily", ""}, UserManager::Absent).IsOk());
    EXPECT_TRUE(NamesEndingWith(places.unitFolder, ".service").empty());
    EXPECT_TRUE(ScheduleProfile(places, {still, "daily", "2to1"}, UserManager::Absent).IsOk());
}

TEST_F(SchedulesTest, ACalendarExpressionIsCheckedBySystemdBeforeAnythingIsWritten)
{
    if (!FindProgram("systemd-analyze"))
        GTEST_SKIP() << "systemd-analyze is not installed (apt-get install systemd)";
    const std::string profile = WriteProfile("job.twp", "1");
    const ScheduleOutcome refused =
        ScheduleProfile(places, {profile, "every evening", ""}, UserManager::Absent);
    EXPECT_NE(refused.error.find("\"every evening\" is not a calendar expression"), std::string::npos)
        << refused.error;
    EXPECT_TRUE(NamesEndingWith(places.unitFolder, ".timer").empty());
    EXPECT_TRUE(ScheduleProfile(places, {profile, "*-*-* 18:00", ""}, UserManager::Absent).IsOk());
}

TEST_F(SchedulesTest, OnMountRefusesAProfileWhoseFoldersLieOnTheDiskOfRoot)
{
    struct stat folder {};
    struct stat root {};
    ASSERT_EQ(stat(source.c_str(), &folder), 0);
    ASSERT_EQ(stat("/", &root), 0);
    if (folder.st_dev != root.st_dev)
        GTEST_SKIP() << "the temporary folder lies on another file system than /";
    const ScheduleOutcome outcome =
        ScheduleProfile(places, {WriteProfile("job.twp", "1"), "on-mount", ""}, UserManager::Absent);
    EXPECT_NE(outcome.error.find("lies on the disk that holds /"), std::string::npos) << outcome.error;
    EXPECT_TRUE(NamesEndingWith(places.mountScheduleFolder, ".on-mount").empty());
    EXPECT_FALSE(ReadSmallFile(places.unitFolder + watchUnitName));
}

} // namespace
} // namespace twinfol
