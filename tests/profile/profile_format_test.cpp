// The .twp format: the writer's exact bytes and the reader's tolerance, from text in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <streambuf>

#include "profile/profile.h"
#include "support/option_forms.h"

using namespace twinfol;

namespace {

const std::string workedExample = "twin_fol_version=1.01\r\n"
                                  "location1=C:\\Work\\\r\n"
                                  "location2=D:\\Backup\\Work\\\r\n"
                                  "delete_files=1\r\n"
                                  "confirm_deletes=0\r\n"
                                  "add_files=1\r\n"
                                  "check_sub_folders=1\r\n"
                                  "auto_start=1\r\n"
                                  "exclusions=\r\n"
                                  "C:\\Work\\build\\\r\n"
                                  "C:\\Work\\notes.txt\r\n"
                                  "end_exclusions\r\n";
// What the writer adds after the block for a new profile: it uses the Trash, takes no hour shift for
// the same time, deletes nothing ignored and replaces no read-only file.
const std::string trashLine =
    "use_trash=1\r\nignore_hour_shift=0\r\ndelete_ignored=0\r\nreplace_read_only=0\r\n";

Profile WorkedExampleProfile()
{
    Profile profile;
    profile.SetLocation1("C:\\Work\\");
    profile.SetLocation2("D:\\Backup\\Work\\");
    profile.options.confirmDeletes = false;
    profile.options.autoStart = AutoStart::Location1ToLocation2;
    profile.exclusions = ExclusionList({"C:\\Work\\notes.txt", "C:\\Work\\build\\"});
    return profile;
}

// A profile whose every field differs from the defaults, to show what a read leaves behind.
Profile UsedProfile()
{
    Profile profile;
    profile.SetLocation1("/old/one/");
    profile.SetLocation2("/old/two/");
    profile.options.deleteMissing = profile.options.confirmDeletes = false;
    profile.options.addMissing = profile.options.checkSubFolders = false;
    profile.options.autoStart = AutoStart::Location2ToLocation1;
    profile.exclusions = ExclusionList({"/old/one/skip/"});
    return profile;
}

Profile ReadFrom(const std::string& text, Profile profile = Profile())
{
    profile.ReadText(text);
    return profile;
}

Profile DefaultsWithValid(bool valid)
{
    Profile profile;
    profile.valid = valid;
    return profile;
}

const std::string version = "twin_fol_version=1.01\r\n";

// Serves a run of one byte without holding it, and counts how many bytes the reader took.
class EndlessBytes : public std::streambuf {
public:
    EndlessBytes(char byte, std::size_t count) : count_(count)
    {
        std::fill(std::begin(chunk_), std::end(chunk_), byte);
    }
    std::size_t Served() const { return served_; }

protected:
    int_type underflow() override
    {
        if (served_ >= count_)
            return traits_type::eof();
        const std::size_t size = std::min(sizeof chunk_, count_ - served_);
        served_ += size;
        setg(chunk_, chunk_, chunk_ + size);
        return traits_type::to_int_type(chunk_[0]);
    }

private:
    char chunk_[4096];
    std::size_t count_;
    std::size_t served_ = 0;
};

} // namespace

TEST(ProfileFormat, WritesTheWorkedExampleByteForByte)
{
    Profile profile = WorkedExampleProfile();
    EXPECT_EQ(profile.ToText(), workedExample + trashLine);

    std::ostringstream out;
    ASSERT_TRUE(profile.modified);
    EXPECT_TRUE(profile.Write(out).good());
    EXPECT_EQ(out.str(), workedExample + trashLine);
    EXPECT_FALSE(profile.modified);
}

TEST(ProfileFormat, ReadsTheWorkedExampleIntoEveryField)
{
    Profile expected = WorkedExampleProfile();
    expected.modified = false;
    // A file without the Trash's key was made before the option: it keeps running without it.
    expected.options.useTrash = false;
    EXPECT_EQ(ReadFrom(workedExample), expected);
    EXPECT_EQ(ReadFrom(workedExample).exclusions.Entries().front(), "C:\\Work\\build\\");
}

TEST(ProfileFormat, AnEmptyProfileHasItsExclusionLineFollowedByTheEnd)
{
    const std::string text = Profile().ToText();
    EXPECT_TRUE(text.ends_with("auto_start=0\r\nexclusions=\r\nend_exclusions\r\n" + trashLine)) << text;
    Profile negative;
    negative.options.autoStart = static_cast<AutoStart>(-7);
    EXPECT_NE(negative.ToText().find("\r\nauto_start=-7\r\n"), std::string::npos);
}

TEST(ProfileFormat, RoundTripGivesBackEveryField)
{
    Profile written = UsedProfile();
    written.SetLocation1(" /with spaces/ and = signs ");
    written.exclusions = ExclusionList({"/z", "/A/", "/b", "/b", "/a\\x", "/\xC3\xA9"});
    written.options.autoStart = static_cast<AutoStart>(-12345);
    const std::string text = written.ToText();
    written.modified = false;

    Profile read;
    EXPECT_TRUE(read.ReadText(text));
    EXPECT_EQ(read, written);
}

TEST(ProfileFormat, ValidityComesFromTheVersionKeyAlone)
{
    Profile used = UsedProfile();
    EXPECT_FALSE(used.ReadText(""));
    EXPECT_EQ(used, DefaultsWithValid(false));

    EXPECT_EQ(ReadFrom("location1=/a/\r\ndelete_files=0\r\n", UsedProfile()), DefaultsWithValid(false));
    // Nothing but the version: a valid profile with every default, and without the Trash that only
    // profiles written since the option came carry.
    Profile versionOnly = DefaultsWithValid(true);
    versionOnly.options.useTrash = false;
    EXPECT_EQ(ReadFrom(version, UsedProfile()), versionOnly);
    // The version number plays no part.
    EXPECT_EQ(ReadFrom("twin_fol_version=7\r\nlocation1=/x/\r\n").location1, "/x/");
    // Anywhere in the file, after the exclusion block too.
    const Profile late =
        ReadFrom("location1=/x/\r\nexclusions=\r\n/x/a\r\nend_exclusions\r\ntwin_fol_version=1.01\r\n");
    EXPECT_TRUE(late.valid);
    EXPECT_EQ(late.location1, "/x/");
    EXPECT_EQ(late.exclusions.Entries(), std::vector<std::string>{"/x/a"});
}

TEST(ProfileFormat, TheTrashLineFollowsTheBlockAndReadsBack)
{
    Profile off = WorkedExampleProfile();
    off.options.useTrash = false;
    // Last of all, so that a reader that knows only the first nine keys loses nothing before it.
    EXPECT_TRUE(off.ToText().ends_with("end_exclusions\r\nuse_trash=0\r\nignore_hour_shift=0\r\ndelete_"
                                       "ignored=0\r\nreplace_read_only=0\r\n"));
    EXPECT_FALSE(ReadFrom(off.ToText()).options.useTrash);
    EXPECT_TRUE(ReadFrom(workedExample + trashLine).options.useTrash);
    EXPECT_EQ(ReadFrom(workedExample + trashLine).exclusions.Size(), 2u);
    // Where a hand-made file puts it first, the block after it is still read.
    const Profile early = ReadFrom("use_trash=1\r\n" + workedExample);
    EXPECT_TRUE(early.options.useTrash);
    EXPECT_EQ(early.exclusions.Size(), 2u);
    // A value that is no flag ends the reading like any other flag's.
    EXPECT_FALSE(ReadFrom(version + "use_trash=2\r\nlocation1=/x/\r\n").options.useTrash);
    EXPECT_EQ(ReadFrom(version + "use_trash=2\r\nlocation1=/x/\r\n").location1, "");
}

TEST(ProfileFormat, TheHourShiftLineFollowsTheBlockAndReadsBack)
{
    Profile shifted = WorkedExampleProfile();
    shifted.options.ignoreHourShift = true;
    EXPECT_TRUE(shifted.ToText().ends_with("end_exclusions\r\nuse_trash=1\r\nignore_hour_shift=1\r\ndelete_"
                                           "ignored=0\r\nreplace_read_only=0\r\n"));
    const Profile read = ReadFrom(shifted.ToText());
    EXPECT_TRUE(read.options.ignoreHourShift);
    EXPECT_EQ(read.exclusions.Size(), 2u);
    // A file made before the option, and a value that is no flag, leave it off.
    EXPECT_FALSE(ReadFrom(workedExample).options.ignoreHourShift);
    EXPECT_FALSE(ReadFrom(workedExample + "ignore_hour_shift=2\r\n").options.ignoreHourShift);
}

TEST(ProfileFormat, AVersionWordIsValidButEndsTheReading)
{
    Profile profile;
    std::istringstream in("twin_fol_version=word\r\nlocation1=/x/\r\n");
    profile.Read(in);
    EXPECT_TRUE(profile.valid);
    EXPECT_TRUE(in.fail());
    EXPECT_EQ(profile.location1, "");
}

TEST(ProfileFormat, AFlagThatIsNotZeroOrOneEndsTheReading)
{
    for (const std::string bad : {"2", "yes", "", "-1"}) {
        SCOPED_TRACE("delete_files=" + bad);
        const std::string tail = "delete_files=" + bad + "\r\nlocation2=/not/read/\r\n";
        std::istringstream in(version + "delete_files=0\r\nlocation1=/a/\r\n" + tail);
        Profile profile;
        profile.Read(in);
        EXPECT_TRUE(in.fail());
        EXPECT_TRUE(profile.valid);
        EXPECT_FALSE(profile.options.deleteMissing); // keeps the value read before
        EXPECT_EQ(profile.location1, "/a/");
        EXPECT_EQ(profile.location2, "");
        // Before the version line, the same stop leaves a file that is no profile.
        EXPECT_EQ(ReadFrom(tail + version), DefaultsWithValid(false));
    }
}

TEST(ProfileFormat, WhiteSpaceInAndAroundKeysIsIgnored)
{
    const Profile profile = ReadFrom(version + "   check_sub_folders   =   0  \r\n" +
                                     "\tadd _files\t=0\r\n\r\n\r\n" + "confirm_deletes\r\n=\r\n0\r\n");
    EXPECT_TRUE(profile.valid);
    EXPECT_FALSE(profile.options.checkSubFolders);
    EXPECT_FALSE(profile.options.addMissing);
    EXPECT_FALSE(profile.options.confirmDeletes);
    // Case is significant: this is no key of ours.
    EXPECT_TRUE(ReadFrom(version + "Delete_Files=0\r\n").options.deleteMissing);
}

TEST(ProfileFormat, LocationsAreKeptVerbatim)
{
    const Profile profile = ReadFrom(version + "location1= /a=b/ c \r\nlocation2=\r\n");
    EXPECT_EQ(profile.location1, " /a=b/ c ");
    EXPECT_EQ(profile.location2, "");
    // A lone carriage return inside a value is kept; only the one of a CR LF pair is dropped.
    EXPECT_EQ(ReadFrom(version + "location1=/a\rb/\r\r\n").location1, "/a\rb/\r");
    EXPECT_EQ(ReadFrom(version + std::string("location1=/a\0b/\r\n", 18)).location1,
              std::string("/a\0b/", 5));
}

TEST(ProfileFormat, LineFeedsAloneReadLikeCrLf)
{
    std::string lineFeedsOnly;
    for (char c : workedExample)
        if (c != '\r')
            lineFeedsOnly += c;
    EXPECT_EQ(ReadFrom(lineFeedsOnly), ReadFrom(workedExample));
}

TEST(ProfileFormat, TheLastSingleValueWinsAndBlocksAddUp)
{
    const Profile profile =
        ReadFrom(version + "location1=/first/\r\nauto_start=2\r\nexclusions=\r\n/m\r\n/z\r\n" +
                 "end_exclusions\r\nlocation1=/second/\r\nauto_start=0\r\n" +
                 "exclusions=\r\n/a\r\n/m\r\nend_exclusions\r\n");
    EXPECT_EQ(profile.location1, "/second/");
    EXPECT_EQ(profile.options.autoStart, AutoStart::Off);
    const std::vector<std::string> expected = {"/a", "/m", "/m", "/z"};
    EXPECT_EQ(profile.exclusions.Entries(), expected);
}

TEST(ProfileFormat, ExclusionBlockTakesEveryLineUpToItsExactEnd)
{
    const Profile profile =
        ReadFrom(version + "exclusions=/first\r\n/b\r\n\r\nEND_EXCLUSIONS\r\n" +
                 "end_exclusions \r\n end_exclusions\r\nend_exclusions\r\nlocation1=/x/\r\n");
    const std::vector<std::string> expected = {"",       " end_exclusions", "/b",
                                               "/first", "END_EXCLUSIONS",  "end_exclusions "};
    EXPECT_EQ(profile.exclusions.Entries(), expected);
    EXPECT_EQ(profile.location1, "/x/");
    // Blank lines and indentation before the first entry are skipped.
    EXPECT_EQ(ReadFrom(version + "exclusions=\r\n\r\n   /a\r\nend_exclusions\r\n").exclusions.Entries(),
              std::vector<std::string>{"/a"});
}

TEST(ProfileFormat, AutoStartKeepsValuesOutsideTheDirections)
{
    Profile profile = ReadFrom(version + "auto_start=5\r\n");
    EXPECT_EQ(profile.options.autoStart, static_cast<AutoStart>(5));
    EXPECT_NE(profile.ToText().find("\r\nauto_start=5\r\n"), std::string::npos);
    EXPECT_EQ(ReadFrom(version + "auto_start=-2147483648\r\n").options.autoStart,
              static_cast<AutoStart>(INT32_MIN));
}

// Choices of our own where the format leaves room.

TEST(ProfileChoices, ReadStartsFromAResetProfile)
{
    Profile profile = UsedProfile();
    ASSERT_TRUE(profile.modified);
    profile.ReadText(version + "exclusions=\r\n/new/b\r\n/new/a\r\nend_exclusions\r\n");
    EXPECT_FALSE(profile.modified);
    EXPECT_EQ(profile.location1, "");
    EXPECT_TRUE(profile.options.deleteMissing);
    EXPECT_EQ(profile.exclusions.Entries(), (std::vector<std::string>{"/new/a", "/new/b"}));
}

TEST(ProfileChoices, EntriesAreSortedByBytesKeepingDuplicatesAndEmptyOnes)
{
    const Profile profile =
        ReadFrom(version + "exclusions=/b\r\n\xC3\xA9\r\n\r\n/Z\r\n/b\r\n/a\r\nend_exclusions\r\n");
    const std::vector<std::string> expected = {"", "/Z", "/a", "/b", "/b", "\xC3\xA9"};
    EXPECT_EQ(profile.exclusions.Entries(), expected);
    EXPECT_TRUE(profile.exclusions.IsExcluded("/a"));
}

TEST(ProfileChoices, ABlockWithoutItsEndKeepsTheEntriesRead)
{
    std::istringstream in(version + "exclusions=\r\n/b\r\n/a");
    Profile profile;
    profile.Read(in);
    EXPECT_TRUE(profile.valid);
    EXPECT_TRUE(in.eof());
    EXPECT_EQ(profile.exclusions.Entries(), (std::vector<std::string>{"/a", "/b"}));
}

TEST(ProfileChoices, AnUnknownKeyIsSkippedWithItsWholeLine)
{
    const Profile profile = ReadFrom(version + "colour=blue\r\nlocation1=/x/\r\n=orphan\r\nauto_start=1\r\n");
    EXPECT_EQ(profile.location1, "/x/");
    EXPECT_EQ(profile.options.autoStart, AutoStart::Location1ToLocation2);
}

TEST(ProfileChoices, AnAutoStartThatIsNoIntegerLeavesTheValueAndEndsTheReading)
{
    for (const std::string bad : {"soon", "", "99999999999", "-2147483649"}) {
        SCOPED_TRACE(bad);
        const Profile profile =
            ReadFrom(version + "auto_start=2\r\nauto_start=" + bad + "\r\nlocation1=/x/\r\n");
        EXPECT_TRUE(profile.valid);
        EXPECT_EQ(profile.options.autoStart, AutoStart::Location2ToLocation1);
        EXPECT_EQ(profile.location1, "");
    }
}

TEST(ProfileChoices, ProfilesTheFormatCannotHoldAreNotWritten)
{
    for (auto spoil : std::vector<void (*)(Profile&)>{
             [](Profile& p) { p.SetLocation2("/a\nb/"); },
             [](Profile& p) {
                 p.exclusions = ExclusionList({"/a", "end_exclusions"});
             },
             [](Profile& p) {
                 p.exclusions = ExclusionList({"", " /leading/space"});
             },
         }) {
        Profile profile = WorkedExampleProfile();
        spoil(profile);
        EXPECT_FALSE(profile.CanBeWritten());
        std::ostringstream out;
        EXPECT_TRUE(profile.Write(out).fail());
        EXPECT_EQ(out.str(), "");
        EXPECT_TRUE(profile.modified);
    }
    // Blank entries ahead of a proper one do no harm: they are dropped on reading, and no path is blank.
    Profile blanks;
    blanks.exclusions = ExclusionList({"", " ", "/a"});
    EXPECT_TRUE(blanks.CanBeWritten());
    EXPECT_EQ(ReadFrom(blanks.ToText()).exclusions.Entries(), std::vector<std::string>{"/a"});
}

// Whatever the input holds, the reader ends in bounded time and memory.

TEST(ProfileReaderBounds, BinaryInputWithZeroBytesIsNoProfile)
{
    std::string noise;
    for (int i = 0; i < 200000; ++i)
        noise += static_cast<char>((i * 7919 + i / 13) % 256);
    EXPECT_EQ(ReadFrom(noise, UsedProfile()), DefaultsWithValid(false));
    EXPECT_EQ(ReadFrom(std::string(1000, '\0') + "=" + std::string(1000, '=')), DefaultsWithValid(false));
}

TEST(ProfileReaderBounds, AHundredMegabyteLineIsNotReadToItsEnd)
{
    for (char byte : {'x', '\0', '='}) {
        EndlessBytes bytes(byte, 100u * 1024 * 1024);
        std::istream in(&bytes);
        Profile profile = UsedProfile();
        profile.Read(in);
        EXPECT_EQ(profile, DefaultsWithValid(false));
        EXPECT_LE(bytes.Served(), Profile::maxInputBytes + 4096);
    }
}

TEST(ProfileReaderBounds, OverlongValuesAndTooManyEntriesMakeNoProfile)
{
    const std::string longest(Profile::maxLineBytes, 'a');
    EXPECT_EQ(ReadFrom(version + "location1=" + longest + "\r\n").location1, longest);
    EXPECT_EQ(ReadFrom(version + "location1=" + longest + "a\r\n"), DefaultsWithValid(false));
    EXPECT_EQ(ReadFrom(version + "exclusions=/" + longest + "\r\n"), DefaultsWithValid(false));

    std::string many = version + "exclusions=\r\n";
    for (std::size_t i = 0; i <= Profile::maxExclusions; ++i)
        many += "/\n";
    EXPECT_EQ(ReadFrom(many), DefaultsWithValid(false));
}

TEST(ProfileReaderBounds, InputWithoutLineEndsIsStillRead)
{
    const Profile profile = ReadFrom("twin_fol_version=1.01location1=/x/");
    EXPECT_TRUE(profile.valid);
    EXPECT_EQ(profile.location1, "/x/");
    // A run of more than 1023 bytes without "=" is dropped as a key, and what follows is read.
    EXPECT_TRUE(ReadFrom(std::string(5000, 'k') + "=\r\n" + version).valid);
}

TEST(ProfileOptions, EveryJobFlagIsWrittenUnderItsKeyAndReadBack)
{
    for (const test::OptionForms& form : test::everyJobFlag) {
        for (const bool value : {false, true}) {
            SCOPED_TRACE(std::string(form.profileKey) + (value ? " on" : " off"));
            Profile written;
            written.options.*form.option = value;
            const std::string text = written.ToText();
            EXPECT_NE(text.find("\r\n" + std::string(form.profileKey) + (value ? "=1\r\n" : "=0\r\n")),
                      std::string::npos);
            EXPECT_EQ(ReadFrom(text).options, written.options);
        }
    }
}

TEST(ProfileOptions, ARunTakesTheJobFromTheProfileAndTheRestFromWhoeverStartsIt)
{
    Profile profile = ReadFrom(workedExample);
    const SyncOptions run{.addMissing = false,
                          .useTrash = true,
                          .trashKeepDays = 7,
                          .emptySource = EmptySource::Refuse,
                          .maxDeletes = 12,
                          .ignoreHourShift = true,
                          .jobs = 3};
    EXPECT_EQ(profile.OptionsForRun(run), (SyncOptions{.confirmDeletes = false,
                                                       .useTrash = false,
                                                       .trashKeepDays = 7,
                                                       .autoStart = AutoStart::Location1ToLocation2,
                                                       .emptySource = EmptySource::Refuse,
                                                       .maxDeletes = 12,
                                                       .jobs = 3}));

    // A value written by a later version is kept as it is, through a run's options too, and written
    // back unchanged.
    profile.options.autoStart = static_cast<AutoStart>(7);
    EXPECT_EQ(profile.OptionsForRun(run).autoStart, static_cast<AutoStart>(7));
    EXPECT_NE(profile.ToText().find("auto_start=7\r\n"), std::string::npos);
    EXPECT_EQ(ReadFrom(profile.ToText()).options.autoStart, static_cast<AutoStart>(7));
}
