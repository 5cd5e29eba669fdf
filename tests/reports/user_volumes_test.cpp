// The volumes the folder browser lists beside "/", picked from a mount table given as data.
#include "reports/user_volumes.h"

#include <gtest/gtest.h>

namespace twinfol {
namespace {

using Listing = std::vector<std::pair<std::string, std::string>>;

Listing Listed(const std::vector<Volume>& volumes)
{
    Listing listed;
    for (const Volume& volume : volumes)
        listed.emplace_back(volume.label, volume.path);
    return listed;
}

TEST(UserVolumes, ListsTheDesktopsAndHandMountedDisksByLabel)
{
    const std::vector<Volume> mounted = {
        {"/", ""},
        {"/boot/efi", "EFI"},
        {"/media/ann/USB STICK", "USB STICK"},
        {"/run/media/ann/9C33-6BBD", ""},
        {"/media/ann/USB STICK", "USB STICK"}, // the same mount listed twice
        {"/media/bob/HIS", "HIS"},             // another person's disk
        {"/mnt/backup", "archive"},
        {"/mnt/deep/down/under", "NESTED"}, // not where disks are mounted
        {"/media/cdrom0", "Debian 12"},
        {"/media/ann/UNTITLED1", "UNTITLED"},
        {"/media/ann/UNTITLED", "UNTITLED"},
    };
    EXPECT_EQ(Listed(UserVolumes(mounted, "ann")),
              (Listing{{"9C33-6BBD", "/run/media/ann/9C33-6BBD/"},
                       {"archive", "/mnt/backup/"},
                       {"Debian 12", "/media/cdrom0/"},
                       {"UNTITLED (/media/ann/UNTITLED)", "/media/ann/UNTITLED/"},
                       {"UNTITLED (/media/ann/UNTITLED1)", "/media/ann/UNTITLED1/"},
                       {"USB STICK", "/media/ann/USB STICK/"}}));
    EXPECT_EQ(Listed(UserVolumes({{"/mnt", ""}, {"/home", "home"}}, "")), (Listing{{"mnt", "/mnt/"}}));
}

} // namespace
} // namespace twinfol
