// Profile files on disk: opening tells a missing file from one that is no profile, and saving
// replaces the file whole or not at all, never a file the user has made read-only.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>

#include "engine/posix/posix_file_system.h"
#include "profile/profile.h"
#include "support/fault_injecting_file_system.h"
#include "support/ordinary_user.h"
#include "support/temp_tree.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

Profile SampleProfile()
{
    Profile profile;
    profile.SetLocation1("/home/me/work/");
    profile.SetLocation2("/mnt/backup/work/");
    profile.options.confirmDeletes = false;
    profile.options.autoStart = AutoStart::Location2ToLocation1;
    profile.exclusions = ExclusionList({"/home/me/work/notes.txt", "/home/me/work/build/"});
    return profile;
}

class ProfileFile : public testing::Test {
protected:
    TempTree tree;
    PosixFileSystem fs;
};

ino_t InodeOf(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

} // namespace

TEST_F(ProfileFile, SavesCrLfLinesAndReadsThemBack)
{
    Profile profile = SampleProfile();
    ASSERT_TRUE(profile.WriteFile(fs, tree.Path("job.twp")));
    EXPECT_FALSE(profile.modified);
    EXPECT_EQ(tree.ReadFile("job.twp"), profile.ToText());
    EXPECT_TRUE(
        tree.ReadFile("job.twp")->starts_with("twin_fol_version=1.01\r\nlocation1=/home/me/work/\r\n"));

    Profile read;
    EXPECT_EQ(read.ReadFile(fs, tree.Path("job.twp")).status, ProfileLoadStatus::Loaded);
    EXPECT_EQ(read, profile);
    // Only the profile is left in the folder: no temporary file.
    EXPECT_EQ(tree.Snapshot().size(), 1u);
}

TEST_F(ProfileFile, OpeningTellsAMissingFileFromOneThatIsNoProfile)
{
    Profile profile = SampleProfile();
    const ProfileLoadResult missing = profile.ReadFile(fs, tree.Path("missing.twp"));
    EXPECT_EQ(missing.status, ProfileLoadStatus::CannotOpen);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(profile.location1, "/home/me/work/"); // untouched when nothing could be read

    tree.MakeFolder("folder.twp");
    EXPECT_EQ(profile.ReadFile(fs, tree.Path("folder.twp")).status, ProfileLoadStatus::CannotOpen);

    tree.WriteFile("notes.twp", "just some notes\r\n");
    EXPECT_EQ(profile.ReadFile(fs, tree.Path("notes.twp")).status, ProfileLoadStatus::NotAProfile);
    EXPECT_FALSE(profile.valid);
    EXPECT_EQ(profile.location1, "");
}

TEST_F(ProfileFile, AHugeFileIsRejectedWithoutBeingLoadedWhole)
{
    const std::string path = tree.WriteFile("huge.twp", "twin_fol_version=1.01\r\nlocation1=");
    ASSERT_EQ(truncate(path.c_str(), 100 * 1024 * 1024), 0); // sparse: a 100 MB line of zero bytes
    Profile profile;
    const ProfileLoadResult huge = profile.ReadFile(fs, path);
    EXPECT_EQ(huge.status, ProfileLoadStatus::NotAProfile);
    EXPECT_TRUE(huge.pastReaderLimits);
    EXPECT_EQ(profile.location1, "");

    // Within the bounds, a file that is no profile is only that.
    const std::string plain = tree.WriteFile("plain.twp", "location1=/x/\r\n");
    const ProfileLoadResult notAProfile = profile.ReadFile(fs, plain);
    EXPECT_EQ(notAProfile.status, ProfileLoadStatus::NotAProfile);
    EXPECT_FALSE(notAProfile.pastReaderLimits);
}

TEST_F(ProfileFile, AFailedSaveLeavesTheFileAndTheProfileModified)
{
    Profile previous = SampleProfile();
    ASSERT_TRUE(previous.WriteFile(fs, tree.Path("job.twp")));
    const auto before = tree.Snapshot();

    FaultInjectingFileSystem faulty(fs);
    faulty.FailNthCall(FsOperation::ReplaceFile, 1, ENOSPC);
    Profile changed = SampleProfile();
    changed.SetLocation1("/somewhere/else/");
    EXPECT_EQ(changed.WriteFile(faulty, tree.Path("job.twp")).Error(), ENOSPC);
    EXPECT_TRUE(changed.modified);
    EXPECT_EQ(tree.Snapshot(), before);

    faulty.FailNthCall(FsOperation::ReadFile, 1, EIO);
    const ProfileLoadResult unread = changed.ReadFile(faulty, tree.Path("job.twp"));
    EXPECT_EQ(unread.status, ProfileLoadStatus::CannotOpen);
    EXPECT_EQ(unread.error, EIO);
    EXPECT_EQ(changed.location1, "/somewhere/else/");
}

TEST_F(ProfileFile, SavingKeepsTheFileModeAndALinkToIt)
{
    Profile profile = SampleProfile();
    ASSERT_TRUE(profile.WriteFile(fs, tree.Path("real.twp")));
    tree.SetMode("real.twp", 0640);
    tree.MakeSymlink("link.twp", tree.Path("real.twp"));

    profile.SetLocation1("/changed/");
    ASSERT_TRUE(profile.WriteFile(fs, tree.Path("link.twp")));
    EXPECT_EQ(tree.Mode("real.twp"), 0640u);
    EXPECT_EQ(tree.Snapshot().at("link.twp"), "-> " + tree.Path("real.twp"));
    EXPECT_NE(tree.ReadFile("real.twp")->find("location1=/changed/\r\n"), std::string::npos);
}

TEST_F(ProfileFile, AProfileTheFormatCannotHoldIsNotSaved)
{
    Profile profile = SampleProfile();
    ASSERT_TRUE(profile.WriteFile(fs, tree.Path("job.twp")));
    const auto before = tree.Snapshot();
    profile.SetLocation1("/line\nbreak/");
    EXPECT_EQ(profile.WriteFile(fs, tree.Path("job.twp")).Error(), EINVAL);
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST_F(ProfileFile, SavingIntoAMissingFolderFails)
{
    Profile profile = SampleProfile();
    EXPECT_EQ(profile.WriteFile(fs, tree.Path("no/such/folder/job.twp")).Error(), ENOENT);
    EXPECT_TRUE(profile.modified);
    EXPECT_TRUE(tree.Snapshot().empty());
}

TEST_F(ProfileFile, AFifoIsRefusedWithoutWaitingForAWriter)
{
    const std::string fifo = tree.MakeFifo("pipe.twp");
    Profile profile = SampleProfile();
    auto loading = std::async(std::launch::async, [&] { return profile.ReadFile(fs, fifo); });
    if (loading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        // Lets a read stuck in open() go, so that the test can end and report the fault.
        const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            close(writer);
        ADD_FAILURE() << "reading a FIFO as a profile waited for a writer";
    }
    const ProfileLoadResult loaded = loading.get();
    EXPECT_EQ(loaded.status, ProfileLoadStatus::CannotOpen);
    EXPECT_EQ(profile.location1, "/home/me/work/");
}

TEST_F(ProfileFile, AReadOnlyProfileIsNeverReplaced)
{
    Profile profile = SampleProfile();
    ASSERT_TRUE(profile.WriteFile(fs, tree.Path("job.twp")));
    const std::string saved = tree.ReadFile("job.twp").value();
    tree.SetMode("job.twp", 0444);
    profile.SetLocation1("/changed/");
    // No write permission bit at all is read-only even for root, which the kernel would let write.
    EXPECT_EQ(profile.WriteFile(fs, tree.Path("job.twp")).Error(), EACCES);
    EXPECT_TRUE(profile.modified);
    EXPECT_EQ(tree.ReadFile("job.twp"), saved);
    EXPECT_EQ(tree.Mode("job.twp"), 0444u);
    EXPECT_EQ(tree.Snapshot().size(), 1u);
}

TEST_F(ProfileFile, AnOrdinaryUserCannotReplaceAProfileTheyMayNotWrite)
{
    // The user's own folder, so that only the file's permission can stop the save: a rename there
    // would replace any file.
    GiveToOrdinaryUser(tree.Root(), 0755);
    Profile profile = SampleProfile();
    ASSERT_TRUE(profile.WriteFile(fs, tree.Path("mine.twp")));
    ASSERT_TRUE(profile.WriteFile(fs, tree.Path("theirs.twp")));
    GiveToOrdinaryUser(tree.Path("mine.twp"), 0444);            // made read-only by its owner
    ASSERT_EQ(chmod(tree.Path("theirs.twp").c_str(), 0644), 0); // root's, readable by all
    const auto before = tree.Snapshot();

    const std::optional<int> mine = RunAsOrdinaryUser([&] {
        PosixFileSystem layer;
        Profile changed = SampleProfile();
        changed.SetLocation1("/changed/");
        return changed.WriteFile(layer, tree.Path("mine.twp")).Error();
    });
    if (!mine)
        GTEST_SKIP() << needsRootMessage;
    const std::optional<int> theirs = RunAsOrdinaryUser([&] {
        PosixFileSystem layer;
        Profile changed = SampleProfile();
        changed.SetLocation1("/changed/");
        return changed.WriteFile(layer, tree.Path("theirs.twp")).Error();
    });
    EXPECT_EQ(mine, EACCES);
    EXPECT_EQ(theirs, EACCES);
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST_F(ProfileFile, AProfileTheUserMayWriteInAFolderTheyMayNotIsSavedInPlace)
{
    ASSERT_EQ(chmod(tree.Root().c_str(), 0755), 0); // root's folder: nobody may add names to it
    Profile profile = SampleProfile();
    ASSERT_TRUE(profile.WriteFile(fs, tree.Path("job.twp")));
    GiveToOrdinaryUser(tree.Path("job.twp"), 0640);
    const ino_t inode = InodeOf(tree.Path("job.twp"));

    const std::optional<int> saved = RunAsOrdinaryUser([&] {
        PosixFileSystem layer;
        Profile changed = SampleProfile();
        changed.SetLocation1("/a/much/longer/location/than/before/");
        changed.exclusions = ExclusionList({"/x/"});
        return changed.WriteFile(layer, tree.Path("job.twp")).Error();
    });
    if (!saved)
        GTEST_SKIP() << needsRootMessage;
    EXPECT_EQ(saved, 0);
    Profile read;
    EXPECT_EQ(read.ReadFile(fs, tree.Path("job.twp")).status, ProfileLoadStatus::Loaded);
    EXPECT_EQ(read.location1, "/a/much/longer/location/than/before/");
    EXPECT_EQ(read.exclusions, ExclusionList({"/x/"}));
    EXPECT_EQ(InodeOf(tree.Path("job.twp")), inode);
    EXPECT_EQ(tree.Mode("job.twp"), 0640u);
    EXPECT_EQ(tree.Snapshot().size(), 1u);
}
