// On-mount schedules: their files, and finding a disk's folder in a mount table by the disk's name.
#include <gtest/gtest.h>

#include "schedule/mount_schedule.h"

namespace twinfol {
namespace {

MountEntry Mounted(std::uint32_t minor, const std::string& root, const std::string& at)
{
    MountEntry mount;
    mount.deviceMajor = 8;
    mount.deviceMinor = minor;
    mount.root = root;
    mount.mountPoint = at;
    return mount;
}

// Device 8:1 is the stick with the UUID, 8:2 a disk with only a label, 8:3 one that names itself not at all.
DiskIdentity Identify(const MountEntry& mount)
{
    switch (mount.deviceMinor) {
    case 1: return {"0f1e-2d3c", "STICK"};
    case 2: return {"", "PHOTOS"};
    default: return {};
    }
}

TEST(MountSchedule, ItsFileReadsBackAndAFileWithoutADiskIsNoSchedule)
{
    const MountSchedule written{{"/home/ann/job.twp", "2to1", "twinfol-sync-home-ann-job.twp"},
                                {"0f1e-2d3c", "STICK"},
                                "/backups/ann laptop",
                                RunSide::Source};
    const std::optional<MountSchedule> read = ReadMountScheduleText(MountScheduleText(written));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->run.profilePath, written.run.profilePath);
    EXPECT_EQ(read->run.direction, "2to1");
    EXPECT_EQ(read->run.unitName, written.run.unitName);
    EXPECT_EQ(read->disk.uuid, "0f1e-2d3c");
    EXPECT_EQ(read->disk.label, "STICK");
    EXPECT_EQ(read->below, "/backups/ann laptop");
    EXPECT_EQ(read->side, RunSide::Source);
    EXPECT_FALSE(ReadMountScheduleText("profile=/a.twp\nunit=x\nbelow=/b\n"));
    EXPECT_FALSE(ReadMountScheduleText("profile=/a.twp\nunit=x\nuuid=1\nbelow=relative\n"));
}

TEST(MountSchedule, TheFolderIsFoundWhereverItsDiskIsMountedNow)
{
    const std::vector<MountEntry> mounts{Mounted(3, "/", "/"), Mounted(1, "/", "/media/ann/STICK1"),
                                         Mounted(2, "/pictures", "/mnt/pictures")};
    EXPECT_EQ(CurrentPlace(mounts, {"0f1e-2d3c", ""}, "/backup", Identify), "/media/ann/STICK1/backup");
    EXPECT_EQ(CurrentPlace(mounts, {"0f1e-2d3c", ""}, "/", Identify), "/media/ann/STICK1");
    // A mount that shows only a folder of the file system reaches what lies inside that folder.
    EXPECT_EQ(CurrentPlace(mounts, {"", "PHOTOS"}, "/pictures/2026", Identify), "/mnt/pictures/2026");
    EXPECT_FALSE(CurrentPlace(mounts, {"", "PHOTOS"}, "/music", Identify));
    // A UUID decides alone: a disk with the same label and another UUID is another disk.
    EXPECT_FALSE(CurrentPlace(mounts, {"9999-0000", "STICK"}, "/backup", Identify));
    EXPECT_FALSE(CurrentPlace({Mounted(3, "/", "/")}, {"", ""}, "/backup", Identify));
}

TEST(MountSchedule, APathInsideAMountStopsAtWholeNames)
{
    EXPECT_EQ(PathInsideMount("/", "/a/b"), "/a/b");
    EXPECT_EQ(PathInsideMount("/a", "/a"), "/");
    EXPECT_EQ(PathInsideMount("/a/", "/a/b"), "/b");
    EXPECT_FALSE(PathInsideMount("/a", "/ab/c"));
}

} // namespace
} // namespace twinfol
