// Profile files on disk: opening tells a missing file from one that is no profile, and saving
// replaces the file whole or not at all.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "profile/atomic_file_writer.h"
#include "profile/profile.h"
#include "support/temp_tree.h"

using namespace twinfol;
using twinfol::test::TempTree;

namespace {

Profile SampleProfile()
{
    Profile profile;
    profile.SetLocation1("/home/me/work/");
    profile.SetLocation2("/mnt/backup/work/");
    profile.confirmDeletes = false;
    profile.autoStart = 2;
    profile.exclusions = ExclusionList({"/home/me/work/notes.txt", "/home/me/work/build/"});
    return profile;
}

enum class FailingStep { Write, Sync, Rename };

// Lets one step of a replacement fail the way a full disk or a vanished folder would; a failing
// write first puts half its data on the disk.
class FailingWriter : public AtomicFileWriter {
public:
    explicit FailingWriter(FailingStep step) : step_(step) {}

protected:
    ssize_t WriteSome(int descriptor, const char* data, std::size_t size) const override
    {
        if (step_ != FailingStep::Write)
            return AtomicFileWriter::WriteSome(descriptor, data, size);
        if (!wroteHalf_) {
            wroteHalf_ = true;
            return AtomicFileWriter::WriteSome(descriptor, data, size / 2);
        }
        errno = ENOSPC;
        return -1;
    }
    int SyncFile(int descriptor) const override
    {
        if (step_ != FailingStep::Sync)
            return AtomicFileWriter::SyncFile(descriptor);
        errno = EIO;
        return -1;
    }
    int RenameFile(const char* from, const char* to) const override
    {
        if (step_ != FailingStep::Rename)
            return AtomicFileWriter::RenameFile(from, to);
        errno = EXDEV;
        return -1;
    }

private:
    FailingStep step_;
    mutable bool wroteHalf_ = false;
};

}  // namespace

TEST(ProfileFile, SavesCrLfLinesAndReadsThemBack)
{
    TempTree tree;
    Profile profile = SampleProfile();
    ASSERT_TRUE(profile.WriteFile(tree.Path("job.twp")));
    EXPECT_FALSE(profile.modified);
    EXPECT_EQ(tree.ReadFile("job.twp"), profile.ToText());
    EXPECT_TRUE(
        tree.ReadFile("job.twp")->starts_with("twin_fol_version=1.01\r\nlocation1=/home/me/work/\r\n"));

    Profile read;
    EXPECT_EQ(read.ReadFile(tree.Path("job.twp")).status, ProfileLoadStatus::Loaded);
    EXPECT_EQ(read, profile);
    // Only the profile is left in the folder: no temporary file.
    EXPECT_EQ(tree.Snapshot().size(), 1u);
}

TEST(ProfileFile, OpeningTellsAMissingFileFromOneThatIsNoProfile)
{
    TempTree tree;
    Profile profile = SampleProfile();
    const ProfileLoadResult missing = profile.ReadFile(tree.Path("missing.twp"));
    EXPECT_EQ(missing.status, ProfileLoadStatus::CannotOpen);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(profile.location1, "/home/me/work/"); // untouched when nothing could be read

    tree.MakeFolder("folder.twp");
    EXPECT_EQ(profile.ReadFile(tree.Path("folder.twp")).status, ProfileLoadStatus::CannotOpen);

    tree.WriteFile("notes.twp", "just some notes\r\n");
    EXPECT_EQ(profile.ReadFile(tree.Path("notes.twp")).status, ProfileLoadStatus::NotAProfile);
    EXPECT_FALSE(profile.valid);
    EXPECT_EQ(profile.location1, "");
}

TEST(ProfileFile, AHugeFileIsRejectedWithoutBeingLoadedWhole)
{
    TempTree tree;
    const std::string path = tree.WriteFile("huge.twp", "twin_fol_version=1.01\r\nlocation1=");
    ASSERT_EQ(truncate(path.c_str(), 100 * 1024 * 1024), 0); // sparse: a 100 MB line of zero bytes
    Profile profile;
    EXPECT_EQ(profile.ReadFile(path).status, ProfileLoadStatus::NotAProfile);
    EXPECT_EQ(profile.location1, "");
}

class ProfileFailedSave : public testing::TestWithParam<FailingStep> {};

TEST_P(ProfileFailedSave, LeavesThePreviousFileWholeAndNoTemporaryFile)
{
    TempTree tree;
    Profile previous = SampleProfile();
    ASSERT_TRUE(previous.WriteFile(tree.Path("job.twp")));
    const auto before = tree.Snapshot();

    Profile changed = SampleProfile();
    changed.SetLocation1("/somewhere/else/");
    changed.exclusions = ExclusionList(std::vector<std::string>(500, "/a/rather/long/excluded/path/"));
    const FsStatus saved = changed.WriteFile(tree.Path("job.twp"), FailingWriter(GetParam()));
    EXPECT_FALSE(saved);
    EXPECT_NE(saved.Error(), 0);
    EXPECT_TRUE(changed.modified);
    EXPECT_EQ(tree.Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(AtEachStep, ProfileFailedSave,
                         testing::Values(FailingStep::Write, FailingStep::Sync, FailingStep::Rename),
                         [](const testing::TestParamInfo<FailingStep>& info) {
                             switch (info.param) {
                             case FailingStep::Write: return "Write";
                             case FailingStep::Sync: return "Sync";
                             case FailingStep::Rename: return "Rename";
                             }
                             return "Unknown";
                         });

TEST(ProfileFile, SavingKeepsTheFileModeAndALinkToIt)
{
    TempTree tree;
    Profile profile = SampleProfile();
    ASSERT_TRUE(profile.WriteFile(tree.Path("real.twp")));
    tree.SetMode("real.twp", 0640);
    tree.MakeSymlink("link.twp", tree.Path("real.twp"));

    profile.SetLocation1("/changed/");
    ASSERT_TRUE(profile.WriteFile(tree.Path("link.twp")));
    EXPECT_EQ(tree.Mode("real.twp"), 0640u);
    EXPECT_EQ(tree.Snapshot().at("link.twp"), "-> " + tree.Path("real.twp"));
    EXPECT_NE(tree.ReadFile("real.twp")->find("location1=/changed/\r\n"), std::string::npos);
}

TEST(ProfileFile, AProfileTheFormatCannotHoldIsNotSaved)
{
    TempTree tree;
    Profile profile = SampleProfile();
    ASSERT_TRUE(profile.WriteFile(tree.Path("job.twp")));
    const auto before = tree.Snapshot();
    profile.SetLocation1("/line\nbreak/");
    EXPECT_EQ(profile.WriteFile(tree.Path("job.twp")).Error(), EINVAL);
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST(ProfileFile, SavingIntoAMissingFolderFails)
{
    TempTree tree;
    Profile profile = SampleProfile();
    EXPECT_EQ(profile.WriteFile(tree.Path("no/such/folder/job.twp")).Error(), ENOENT);
    EXPECT_TRUE(profile.modified);
    EXPECT_TRUE(tree.Snapshot().empty());
}
