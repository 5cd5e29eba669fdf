// Unit names from profile paths, checked against systemd's own escaping where systemd-escape is installed.
#include <gtest/gtest.h>

#include "schedule/external_program.h"
#include "schedule/unit_name.h"

namespace twinfol {
namespace {

const std::vector<std::string> awkwardPaths = {
    "/home/ann/job.twp",
    "/home/ann/my jobs/nightly-1.twp",
    "/home/ann/.hidden/a.twp",
    "/srv//backup/",
    "/home/ann/100%_sure.twp",
    "/home/ann/ünïcode/büro.twp",
    "/home/ann/a\\b:c_d.e.twp",
    "/.dot/x.twp",
    "/",
};

TEST(UnitName, EscapesAsSystemdEscapeDoes)
{
    if (!FindProgram("systemd-escape"))
        GTEST_SKIP() << "systemd-escape is not installed (apt-get install systemd)";
    for (const std::string& path : awkwardPaths) {
        const ProgramOutcome systemd = RunProgram({"systemd-escape", "--path", "--", path});
        ASSERT_TRUE(systemd.Succeeded()) << path << ": " << systemd.output;
        EXPECT_EQ(EscapedPath(path), systemd.output.substr(0, systemd.output.size() - 1)) << path;
    }
}

TEST(UnitName, RefusesWhatSystemdRefusesAndNamesTooLongForAUnit)
{
    EXPECT_EQ(EscapedPath("/home/ann/my jobs/nightly-1.twp"), "home-ann-my\\x20jobs-nightly\\x2d1.twp");
    EXPECT_FALSE(EscapedPath("relative/job.twp"));
    EXPECT_FALSE(EscapedPath("/home/ann/../bob/job.twp"));
    EXPECT_FALSE(EscapedPath("/home/./job.twp"));
    EXPECT_EQ(ScheduleUnitName("/a/job.twp"), "twinfol-sync-a-job.twp");
    // 230 bytes of path and the prefix and ".service" pass systemd's 255; a few more do not.
    EXPECT_TRUE(ScheduleUnitName("/" + std::string(229, 'a')));
    EXPECT_FALSE(ScheduleUnitName("/" + std::string(240, 'a')));
}

} // namespace
} // namespace twinfol
