// The runner's schedule forms as a person types them, with a private configuration folder and no user
// manager: what they print and what a scheduled profile's run finds.
#include <gtest/gtest.h>

#include "support/program_outcome.h"
#include "support/temp_tree.h"

namespace twinfol {
namespace {

class ScheduleCommandTest : public ::testing::Test {
protected:
    test::Outcome Run(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), TWINFOL_SYNC_PATH);
        // No user manager answers at a runtime folder of the test's own.
        return test::RunCommand(arguments, scratch,
                                {{"XDG_CONFIG_HOME", tree.Path("config")},
                                 {"XDG_STATE_HOME", tree.Path("state")},
                                 {"XDG_RUNTIME_DIR", runtime},
                                 {"DBUS_SESSION_BUS_ADDRESS", ""}});
    }

    test::TempTree tree;
    test::TempTree scratch;
    std::string runtime = tree.MakeFolder("runtime");
    std::string profile = tree.WriteFile(
        "job.twp", "twin_fol_version=1.01\r\nlocation1=" + tree.MakeFolder("a") +
                       "\r\nlocation2=" + tree.MakeFolder("b") + "\r\nconfirm_deletes=0\r\nauto_start=0\r\n");
};

TEST_F(ScheduleCommandTest, ScheduleListAndUnscheduleSayWhatTheyDid)
{
    test::Outcome outcome = Run({"--schedule", "daily", profile});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_NE(outcome.err.find("give --direction 1to2 or --direction 2to1"), std::string::npos)
        << outcome.err;

    outcome = Run({"--schedule", "daily", "--direction", "1to2", profile});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("No user manager is running"), std::string::npos) << outcome.out;
    outcome = Run({"--schedules"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_NE(outcome.out.find(profile + "  daily  --direction 1to2"), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("next run unknown without a user manager"), std::string::npos) << outcome.out;

    EXPECT_EQ(Run({"--unschedule", profile}).exitCode, 0);
    EXPECT_EQ(Run({"--schedules"}).out, "No schedules.\n");
    EXPECT_EQ(Run({"--unschedule", profile}).exitCode, 2);
}

} // namespace
} // namespace twinfol
