// The kinds of disk the mount table names, and the names a FAT, exFAT or NTFS disk cannot hold, each
// refused with the reason the Preview and the problem log give.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "engine/fs/disk_kind.h"
#include "engine/fs/refusal_rules.h"

namespace twinfol {
namespace {

TEST(DiskKind, WindowsNameRulesComeFromTheKernelsAndFuseDriversAndTheProbedType)
{
    for (const char* type : {"vfat", "msdos", "fuse.fusefat"})
        EXPECT_EQ(DiskKindOfType(type).names, NameRules::Fat) << type;
    for (const char* type : {"exfat", "fuse.exfat"})
        EXPECT_EQ(DiskKindOfType(type).names, NameRules::Exfat) << type;
    for (const char* type : {"ntfs", "ntfs3", "fuse.ntfs-3g"})
        EXPECT_EQ(DiskKindOfType(type).names, NameRules::Ntfs) << type;
    // A FUSE block mount names no file system: only its probed type does.
    for (const char* type : {"ext4", "btrfs", "tmpfs", "fuseblk", "fuse.sshfs", ""})
        EXPECT_EQ(DiskKindOfType(type).names, NameRules::Posix) << type;
}

TEST(DiskKind, NetworkAndFuseFileSystemsAreLatencyBoundButALocalDisksFuseDriverIsNot)
{
    for (const char* type : {"fuse.sshfs", "fuse.rclone", "fuse", "nfs", "nfs4", "cifs", "smb3", "9p"})
        EXPECT_TRUE(DiskKindOfType(type).latencyBound) << type;
    for (const char* type : {"ext4", "xfs", "tmpfs", "fuseblk", "exfat", "vfat", "overlay", "nfsd"})
        EXPECT_FALSE(DiskKindOfType(type).latencyBound) << type;
}

std::string ReasonFor(const std::string& name, NameRules rules)
{
    const FsStatus status = CheckNewName(name, rules);
    EXPECT_TRUE(status.IsRefusal() || status.IsOk()) << name;
    if (!status) {
        EXPECT_EQ(status.Error(), EINVAL);
    }
    return status.Reason();
}

TEST(CheckNewName, EachForbiddenCharacterIsNamedInTheReason)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a:b.txt", "':'"},   {"why?.txt", "'?'"},  {"say \"hi\".txt", "'\"'"}, {"star*.txt", "'*'"},
        {"less<than", "'<'"}, {"more>than", "'>'"}, {"pipe|d", "'|'"},          {"back\\slash", "'\\'"},
    };
    for (const auto& [name, shown] : cases)
        EXPECT_EQ(ReasonFor(name, NameRules::Exfat),
                  "the target disk (exFAT) cannot hold " + shown + " in a name");
    // The first of several is the one named.
    EXPECT_EQ(ReasonFor("b|c:d", NameRules::Fat), "the target disk (FAT) cannot hold '|' in a name");
}

TEST(CheckNewName, ControlCharactersTrailingDotsAndSpacesAndDeviceNamesAreRefused)
{
    EXPECT_EQ(ReasonFor("tab\there", NameRules::Ntfs),
              "the target disk (NTFS) cannot hold a control character in a name");
    EXPECT_EQ(ReasonFor(std::string("bell\x07"), NameRules::Fat),
              "the target disk (FAT) cannot hold a control character in a name");
    EXPECT_EQ(ReasonFor("notes.", NameRules::Exfat),
              "the target disk (exFAT) cannot hold a dot at the end of a name");
    EXPECT_EQ(ReasonFor("notes ", NameRules::Exfat),
              "the target disk (exFAT) cannot hold a space at the end of a name");
    // With or without an extension, in any case.
    for (const auto& [name, device] : std::vector<std::pair<std::string, std::string>>{{"CON", "CON"},
                                                                                       {"nul.txt", "NUL"},
                                                                                       {"Aux.tar.gz", "AUX"},
                                                                                       {"prn", "PRN"},
                                                                                       {"com1", "COM1"},
                                                                                       {"COM9.log", "COM9"},
                                                                                       {"lpt5", "LPT5"},
                                                                                       {"LPT9.x", "LPT9"}})
        EXPECT_EQ(ReasonFor(name, NameRules::Fat),
                  "the target disk (FAT) cannot hold the device name " + device + " in a name")
            << name;
}

TEST(CheckNewName, OrdinaryNamesAndNamesThatOnlyLookLikeDevicesAreHeld)
{
    for (const char* name : {"report.txt", ".hidden", "console", "CONS.txt", "com10", "LPT0", "nul-x",
                             "a.con", "dots.in.the.middle", " leading space", "über naïve", "résumé.pdf"})
        EXPECT_TRUE(CheckNewName(name, NameRules::Exfat)) << name;
}

TEST(CheckNewName, ADiskWithPosixRulesHoldsEveryName)
{
    for (const char* name : {"a:b", "CON", "trailing.", "trailing ", "q?*<>|\\\""})
        EXPECT_TRUE(CheckNewName(name, NameRules::Posix)) << name;
}

} // namespace
} // namespace twinfol
