// The ignore rules in the .twp format: patterns, size limits and delete_ignored after the block, their
// values escaped so that a reader that knows only the first nine keys still reads exactly those.
#include <gtest/gtest.h>

#include "engine/posix/posix_file_system.h"
#include "nine_key_reader.h"
#include "profile/profile.h"
#include "profile/profile_keys.h"
#include "support/temp_tree.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

const std::string version = "twin_fol_version=1.01\r\n";

// Patterns that hold what the format uses: "=", "%", a key's own words, white space, and one so long
// that a reader cuts it into keys of its own.
std::vector<std::string> NastyPatterns()
{
    return {"node_modules/",
            "location1=/etc/",
            "a=b",
            "%41",
            "100%",
            "=",
            "%3D",
            " spaced \\ ",
            "exclusions=",
            "auto_start=1",
            std::string(1030, 'x') + "location2=/x/"};
}

Profile ProfileWithRules(const std::string& origin)
{
    Profile profile;
    profile.SetLocation1("/home/me/work/");
    profile.SetLocation2("/mnt/backup/work/");
    profile.options.confirmDeletes = false;
    profile.options.autoStart = AutoStart::Location1ToLocation2;
    profile.exclusions = ExclusionList({"/home/me/work/build/", "/home/me/work/notes.txt"});
    for (const std::string& text : NastyPatterns())
        profile.options.ignorePatterns.push_back({text, origin});
    profile.options.maxFileSize = 100 * 1024 * 1024;
    profile.options.minFileSize = 1;
    profile.options.deleteIgnored = true;
    return profile;
}

// What the reader of the first nine keys should find in a profile: its nine fields and nothing else.
NineKeyFields NineFieldsOf(const Profile& profile)
{
    const SyncOptions& options = profile.options;
    return {true,
            profile.location1,
            profile.location2,
            options.deleteMissing,
            options.confirmDeletes,
            options.addMissing,
            options.checkSubFolders,
            static_cast<std::int32_t>(options.autoStart),
            profile.exclusions.Entries()};
}

Profile ReadFrom(const std::string& text)
{
    Profile profile;
    profile.ReadText(text);
    return profile;
}

} // namespace

TEST(ProfileIgnoreRules, WrittenAfterTheFlagsEscapedAndReadBack)
{
    Profile profile;
    profile.options.ignorePatterns = {{"node_modules/", "job.twp"},
                                      {"location1=/etc/", "job.twp"},
                                      {"%41", "--ignore"},
                                      {"100%", "job.twp"}};
    profile.options.maxFileSize = 104857600;
    profile.options.minFileSize = 512;
    profile.options.deleteIgnored = true;
    const std::string text = profile.ToText();
    // The origin is never written: the file it is read from is the origin.
    EXPECT_TRUE(text.ends_with(
        "end_exclusions\r\nuse_trash=1\r\nignore_hour_shift=0\r\ndelete_ignored=1\r\nreplace_read_only=0\r\n"
        "ignore_pattern=node_modules/\r\nignore_pattern=location1%3D/etc/\r\n"
        "ignore_pattern=%2541\r\nignore_pattern=100%25\r\n"
        "max_file_size=104857600\r\nmin_file_size=512\r\n"))
        << text;

    const Profile read = ReadFrom(text);
    ASSERT_EQ(read.options.ignorePatterns.size(), 4u);
    for (std::size_t at = 0; at < 4; ++at)
        EXPECT_EQ(read.options.ignorePatterns[at],
                  (IgnorePattern{profile.options.ignorePatterns[at].text, ""}));
    EXPECT_EQ(read.options.maxFileSize, 104857600);
    EXPECT_EQ(read.options.minFileSize, 512);
    EXPECT_TRUE(read.options.deleteIgnored);

    // Limits that are not set are not written, and a file without them sets none.
    const std::string plain = Profile().ToText();
    EXPECT_EQ(plain.find("ignore_pattern"), std::string::npos);
    EXPECT_EQ(plain.find("_file_size"), std::string::npos);
    EXPECT_FALSE(ReadFrom(plain).options.maxFileSize);
    EXPECT_FALSE(ReadFrom(version).options.deleteIgnored);
}

TEST(ProfileIgnoreRules, AReaderOfTheFirstNineKeysReadsExactlyTheOriginalFields)
{
    const Profile profile = ProfileWithRules("job.twp");
    EXPECT_EQ(ReadWithNineKeys(profile.ToText()), NineFieldsOf(profile));

    // The reader is the one the escaping guards against: a raw "=" would have set a location, and
    // the worked example reads into its fields.
    const std::string raw = version + "exclusions=\r\nend_exclusions\r\nignore_pattern=location1=/etc/\r\n";
    EXPECT_EQ(ReadWithNineKeys(raw).location1, "/etc/");
    NineKeyFields example = NineFieldsOf(Profile());
    example.location1 = "C:\\Work\\";
    example.exclusions = {"C:\\Work\\build\\"};
    EXPECT_EQ(ReadWithNineKeys(version + "location1=C:\\Work\\\r\nexclusions=\r\nC:\\Work\\build\\\r\n"
                                         "end_exclusions\r\nuse_trash=1\r\n"),
              example);
}

TEST(ProfileIgnoreRules, NoLaterKeyEndsLikeOneOfTheFirstNine)
{
    // A later key's line joins onto the value before it; a later key that were the tail of one of the
    // nine would let a value (say "delete_" before "files=") read as that key.
    std::vector<std::string_view> laterKeys = {ignorePatternKey, maxFileSizeKey, minFileSizeKey};
    for (const ProfileFlag& flag : profileFlags)
        if (flag.place == KeyPlace::AfterExclusions)
            laterKeys.push_back(flag.key);
    ASSERT_EQ(laterKeys.size(), 7u);
    for (const std::string_view later : laterKeys)
        for (const std::string_view original : nineKeys)
            EXPECT_FALSE(original.ends_with(later)) << later << " ends " << original;
}

TEST(ProfileIgnoreRules, RoundTripThroughAFileNamesTheFileAsOrigin)
{
    const TempTree tree;
    PosixFileSystem fs;
    tree.MakeFolder("jobs");
    Profile written = ProfileWithRules("job.twp");
    ASSERT_TRUE(written.WriteFile(fs, tree.Path("jobs/job.twp")));

    Profile read;
    ASSERT_EQ(read.ReadFile(fs, tree.Path("jobs/job.twp")).status, ProfileLoadStatus::Loaded);
    EXPECT_EQ(read, written);
    EXPECT_EQ(read.options.ignorePatterns.back().origin, "job.twp");

    // A run of the job takes the file's rules; the command line's own settings stay its own.
    const SyncOptions run = read.OptionsForRun(SyncOptions{.jobs = 2});
    EXPECT_EQ(run.ignorePatterns, written.options.ignorePatterns);
    EXPECT_EQ(run.maxFileSize, 100 * 1024 * 1024);
    EXPECT_EQ(run.minFileSize, 1);
    EXPECT_TRUE(run.deleteIgnored);
    EXPECT_EQ(run.jobs, 2);
}

TEST(ProfileIgnoreRules, HandMadeValuesAreReadTolerantly)
{
    const Profile read = ReadFrom(version + "ignore_pattern=50%off\r\nignore_pattern=a%3db\r\n"
                                            "max_file_size= 1.5G \r\nmin_file_size=9007199254740993\r\n");
    EXPECT_TRUE(read.valid);
    EXPECT_EQ(read.options.ignorePatterns, (std::vector<IgnorePattern>{{"50%off", ""}, {"a=b", ""}}));
    EXPECT_EQ(read.options.maxFileSize, 1536LL * 1024 * 1024);
    // A whole number of bytes is read exactly, past what a floating-point number holds.
    EXPECT_EQ(read.options.minFileSize, 9007199254740993LL);
}

TEST(ProfileIgnoreRules, ASizeThatDoesNotReadIsDroppedAndEndsTheReading)
{
    for (const std::string bad : {"lots", "-5", "", "12 KB more", "99999999999999999999"}) {
        SCOPED_TRACE(bad);
        const Profile read =
            ReadFrom(version + "ignore_pattern=*.tmp\r\nmax_file_size=" + bad + "\r\nmin_file_size=5\r\n");
        EXPECT_TRUE(read.valid);
        EXPECT_FALSE(read.options.maxFileSize);
        EXPECT_FALSE(read.options.minFileSize);
        EXPECT_EQ(read.options.ignorePatterns.size(), 1u);
    }
}

TEST(ProfileIgnoreRules, RulesTheFormatCannotHoldAreNotWritten)
{
    Profile broken;
    broken.options.ignorePatterns = {{"a\nlocation1=/etc/", "job.twp"}};
    EXPECT_FALSE(broken.CanBeWritten());
    Profile negative;
    negative.options.minFileSize = -1;
    EXPECT_FALSE(negative.CanBeWritten());
    // A carriage return is no line end on its own, and comes back as it went.
    Profile carriage;
    carriage.options.ignorePatterns = {{"a\rb\r", ""}};
    ASSERT_TRUE(carriage.CanBeWritten());
    EXPECT_EQ(ReadFrom(carriage.ToText()).options.ignorePatterns, carriage.options.ignorePatterns);
}
