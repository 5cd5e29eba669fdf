// The volumes the folder browser lists beside "/", picked from a mount table given as data.
#include "reports/user_volumes.h"

#include <gtest/gtest.h>

namespace twinfol {
namespace {

std::vector<std::pair<std::string, std::string>> Listed(const std::vector<Volume>& volumes)
{
    std::vector<std::pair<std::string, std::string>> listed;
    for (const Volume& volume : volumes)
        listed.emplace_back(volume.label, volume.path);
    return listed;
}

TEST(UserVolumes, ListsTheDesktopsAndHandMountedDisksByLabel)
{
    const std::vector<Volume> mounted = {
        {"/", ""},
        {"/proc", ""},
        {"/boot/efi", "EFI"},
        {"/media/ann/USB STICK", "USB STICK"},
        {"/run/media/ann/9C33-6BBD", ""},
        {"/media/ann/USB STICK", "USB STICK"}, // the same mount listed twice
        {"/media/bob/HIS", "HIS"},             // another person's disk
        {"/run/media/bob/HIS2", "HIS2"},
        {"/mnt/backup", "archive"},
        {"/mnt/deep/down/under", "NESTED"}, // not where disks are mounted
        {"/media/cdrom0", "Debian 12"},
        {"/home", "home"},
    };
    EXPECT_EQ(Listed(UserVolumes(mounted, "ann")),
              (std::vector<std::pair<std::string, std::string>>{{"9C33-6BBD", "/run/media/ann/9C33-6BBD/"},
                                                                {"archive", "/mnt/backup/"},
                                                                {"Debian 12", "/media/cdrom0/"},
                                                                {"USB STICK", "/media/ann/USB STICK/"}}));
    EXPECT_TRUE(UserVolumes({{"/", ""}, {"/home", ""}}, "ann").empty());
    EXPECT_EQ(Listed(UserVolumes({{"/mnt", ""}}, "")),
              (std::vector<std::pair<std::string, std::string>>{{"mnt", "/mnt/"}}));
}

TEST(UserVolumes, VolumesWithTheSameLabelShowTheirPaths)
{
    const std::vector<Volume> mounted = {{"/media/ann/UNTITLED1", "UNTITLED"},
                                         {"/media/ann/UNTITLED", "UNTITLED"},
                                         {"/media/ann/other", "Other"}};
    EXPECT_EQ(Listed(UserVolumes(mounted, "ann")),
              (std::vector<std::pair<std::string, std::string>>{
                  {"Other", "/media/ann/other/"},
                  {"UNTITLED (/media/ann/UNTITLED)", "/media/ann/UNTITLED/"},
                  {"UNTITLED (/media/ann/UNTITLED1)", "/media/ann/UNTITLED1/"}}));
}

} // namespace
} // namespace twinfol
