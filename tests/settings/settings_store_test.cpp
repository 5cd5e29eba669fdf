// The settings store over real files in a temporary folder: defaults when nothing is there, the
// machine-wide fallback, value types, atomic replacement, batch writes, read-only files and writers
// racing each other.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "engine/posix/posix_file_system.h"
#include "settings/settings_store.h"
#include "support/fault_injecting_file_system.h"
#include "support/ordinary_user.h"
#include "support/temp_tree.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

class SettingsStoreTest : public testing::Test {
protected:
    SettingsStore Store() { return SettingsStore(fs, userFile, machineFile); }

    TempTree tree;
    PosixFileSystem fs;
    std::string userFile = tree.Path("config/Quillmark/Twinfol.conf");
    std::string machineFile = tree.Path("etc/Quillmark/Twinfol.conf");
};

} // namespace

TEST_F(SettingsStoreTest, ReadsOfAMissingStoreFailAndCreateNothing)
{
    std::string text = "unchanged";
    std::uint32_t number = 7;
    EXPECT_FALSE(Store().ReadRegString(settings::location1Names[0], text));
    EXPECT_FALSE(Store().ReadRegNumber(settings::addMissing, number));
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(number, 7u);
    EXPECT_TRUE(tree.Snapshot().empty());
}

TEST_F(SettingsStoreTest, TheFirstWriteCreatesTheFolderAndFile)
{
    EXPECT_TRUE(Store().WriteRegString(settings::openPath, "/home/me/jobs/work.twp"));
    EXPECT_TRUE(Store().WriteRegNumber(settings::checkSubFolders, 0));
    std::string text;
    std::uint32_t number = 1;
    EXPECT_TRUE(Store().ReadRegString(settings::openPath, text));
    EXPECT_EQ(text, "/home/me/jobs/work.twp");
    EXPECT_TRUE(Store().ReadRegNumber(settings::checkSubFolders, number));
    EXPECT_EQ(number, 0u);
    EXPECT_EQ(tree.Mode("config/Quillmark/Twinfol.conf"), 0600u);
    EXPECT_FALSE(tree.Exists("etc"));
    // The file holds the two values and nothing was left beside it but the lock file.
    const auto entries = tree.Snapshot();
    EXPECT_EQ(entries.size(), 4u); // two folders, the file and its lock
    EXPECT_NE(entries.at("config/Quillmark/Twinfol.conf").find("\nSubFolders=0\n"), std::string::npos);
}

TEST_F(SettingsStoreTest, UserValuesComeFirstAndMachineValuesFillTheGaps)
{
    tree.WriteFile("etc/Quillmark/Twinfol.conf", "Location1A=/srv/shared/\nAddMissing=0\nDelMissing=0\n");
    ASSERT_TRUE(Store().WriteRegNumber(settings::addMissing, 1));

    std::uint32_t number = 9;
    EXPECT_TRUE(Store().ReadRegNumber(settings::addMissing, number));
    EXPECT_EQ(number, 1u);
    EXPECT_TRUE(Store().ReadRegNumber(settings::deleteMissing, number));
    EXPECT_EQ(number, 0u);
    std::string text;
    EXPECT_TRUE(Store().ReadRegString(settings::location1Names[0], text));
    EXPECT_EQ(text, "/srv/shared/");
    EXPECT_FALSE(Store().ReadRegString(settings::location2Names[4], text));
    // Writes never reach the machine-wide file.
    EXPECT_EQ(tree.ReadFile("etc/Quillmark/Twinfol.conf"),
              "Location1A=/srv/shared/\nAddMissing=0\nDelMissing=0\n");
}

TEST_F(SettingsStoreTest, TextsKeepEveryByteUpToAZeroByte)
{
    const std::string awkward = "C:\\odd\\\npath\r\n with = and # \xC3\xA9";
    ASSERT_TRUE(Store().WriteRegString(settings::location2Names[1], awkward));
    ASSERT_TRUE(Store().WriteRegString(settings::location2Names[2], ""));
    ASSERT_TRUE(Store().WriteRegString(settings::openPath, std::string("/before\0after", 13)));
    std::string text;
    EXPECT_TRUE(Store().ReadRegString(settings::location2Names[1], text));
    EXPECT_EQ(text, awkward);
    EXPECT_TRUE(Store().ReadRegString(settings::location2Names[2], text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(Store().ReadRegString(settings::openPath, text));
    EXPECT_EQ(text, "/before");
    // A zero byte put into the file by hand cuts the value too.
    tree.WriteFile("config/Quillmark/Twinfol.conf", std::string("OpenPath=/in\0side\n", 18));
    EXPECT_TRUE(Store().ReadRegString(settings::openPath, text));
    EXPECT_EQ(text, "/in");
}

TEST_F(SettingsStoreTest, ANumberMustBeDigitsThatFitThirtyTwoBits)
{
    tree.WriteFile("config/Quillmark/Twinfol.conf",
                   "AddMissing=4294967295\nDelMissing=4294967296\nCheckDel=yes\nSubFolders=-1\n"
                   "Location1A=\nLocation1B= 1\nLocation1C=00000000001\nLocation1D=42\n");
    std::uint32_t number = 5;
    EXPECT_TRUE(Store().ReadRegNumber(settings::addMissing, number));
    EXPECT_EQ(number, 4294967295u);
    for (std::string_view name :
         {settings::deleteMissing, settings::confirmDeletes, settings::checkSubFolders,
          settings::location1Names[0], settings::location1Names[1], settings::location1Names[2]}) {
        number = 5;
        EXPECT_FALSE(Store().ReadRegNumber(name, number)) << name;
        EXPECT_EQ(number, 5u);
    }
    // The file has no types: a text of digits reads as a number, a number as its digits.
    EXPECT_TRUE(Store().ReadRegNumber(settings::location1Names[3], number));
    EXPECT_EQ(number, 42u);
    std::string text;
    EXPECT_TRUE(Store().ReadRegString(settings::addMissing, text));
    EXPECT_EQ(text, "4294967295");
}

TEST_F(SettingsStoreTest, MalformedLinesAndFilesReadAsMissingValues)
{
    tree.WriteFile("config/Quillmark/Twinfol.conf",
                   "# comment\r\nno equals sign\nOpenPath=/bad\\escape\n=nameless\nLocation1A=/good/\r\n"
                   "Location1B=/first/\nLocation1B=/last/\n\0\xff\xfe");
    std::string text = "unchanged";
    EXPECT_FALSE(Store().ReadRegString(settings::openPath, text));
    EXPECT_EQ(text, "unchanged");
    EXPECT_TRUE(Store().ReadRegString(settings::location1Names[0], text));
    EXPECT_EQ(text, "/good/");
    EXPECT_TRUE(Store().ReadRegString(settings::location1Names[1], text));
    EXPECT_EQ(text, "/last/");

    tree.WriteFile("etc/Quillmark/Twinfol.conf",
                   std::string(SettingsStore::maxFileBytes + 1, 'x') + "\nOpenPath=/x\n");
    EXPECT_FALSE(Store().ReadRegString(settings::openPath, text));
}

TEST_F(SettingsStoreTest, AnUnreadableUserFileIsNeitherReadNorReplaced)
{
    tree.MakeFolder("config/Quillmark/Twinfol.conf"); // a folder where the file belongs: read fails
    tree.WriteFile("etc/Quillmark/Twinfol.conf", "OpenPath=/machine/\n");
    std::string text;
    EXPECT_TRUE(Store().ReadRegString(settings::openPath, text));
    EXPECT_EQ(text, "/machine/");
    EXPECT_FALSE(Store().WriteRegString(settings::openPath, "/mine/"));
    EXPECT_TRUE(tree.Exists("config/Quillmark/Twinfol.conf/"));
}

TEST_F(SettingsStoreTest, AWriteReplacesTheFileWithoutDisturbingOtherValues)
{
    tree.WriteFile("config/Quillmark/Twinfol.conf", "Location1A=/a/\nLocation1B=/b/\n");
    ASSERT_TRUE(Store().WriteRegString(settings::location1Names[0], "/new/"));
    std::string text;
    EXPECT_TRUE(Store().ReadRegString(settings::location1Names[1], text));
    EXPECT_EQ(text, "/b/");
    EXPECT_TRUE(Store().ReadRegString(settings::location1Names[0], text));
    EXPECT_EQ(text, "/new/");
    // A name the format cannot hold is refused and changes nothing.
    const auto before = tree.Snapshot();
    EXPECT_FALSE(Store().WriteRegString("Bad=Name", "x"));
    EXPECT_FALSE(Store().WriteRegNumber("", 1));
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST_F(SettingsStoreTest, WritersInSeveralProcessesLoseNoValue)
{
    constexpr int writers = 3;
    constexpr int valuesEach = 25;
    std::vector<pid_t> children;
    for (int writer = 0; writer < writers; ++writer) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PosixFileSystem layer;
            const SettingsStore store(layer, userFile, machineFile);
            bool allStored = true;
            for (int i = 0; i < valuesEach; ++i) {
                const std::string name = "Writer" + std::to_string(writer) + "Value" + std::to_string(i);
                allStored =
                    store.WriteRegNumber(name, static_cast<std::uint32_t>(writer * 1000 + i)) && allStored;
                allStored =
                    store.WriteRegString(name + "Text", "line\none\\" + std::to_string(i)) && allStored;
            }
            _exit(allStored ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int writer = 0; writer < writers; ++writer) {
        for (int i = 0; i < valuesEach; ++i) {
            const std::string name = "Writer" + std::to_string(writer) + "Value" + std::to_string(i);
            std::uint32_t number = 0;
            std::string text;
            EXPECT_TRUE(Store().ReadRegNumber(name, number)) << name;
            EXPECT_EQ(number, static_cast<std::uint32_t>(writer * 1000 + i));
            EXPECT_TRUE(Store().ReadRegString(name + "Text", text)) << name;
            EXPECT_EQ(text, "line\none\\" + std::to_string(i));
        }
    }
    // Every line of the file is a comment or a well-formed value, and no temporary file is left.
    const std::string content = tree.ReadFile("config/Quillmark/Twinfol.conf").value();
    EXPECT_TRUE(content.ends_with('\n'));
    std::size_t lines = 0;
    for (std::size_t start = 0; start < content.size(); ++lines) {
        const std::size_t end = content.find('\n', start);
        const std::string line = content.substr(start, end - start);
        EXPECT_TRUE(line.starts_with('#') || line.find('=') != std::string::npos) << line;
        start = end + 1;
    }
    EXPECT_EQ(lines, 1u + 2u * writers * valuesEach);
    EXPECT_EQ(tree.Snapshot().size(), 4u);
}

TEST(SettingsStorePaths, FollowTheConfigurationHomeVariable)
{
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_CONFIG_HOME", "/custom/config", 1);
    EXPECT_EQ(SettingsStore::DefaultUserFile(), "/custom/config/Quillmark/Twinfol.conf");
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    const std::string fallback = SettingsStore::DefaultUserFile();
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsStore::DefaultUserFile(), fallback);
    EXPECT_TRUE(fallback.ends_with("/.config/Quillmark/Twinfol.conf")) << fallback;
    EXPECT_EQ(SettingsStore::DefaultMachineFile(), "/etc/xdg/Quillmark/Twinfol.conf");
    if (saved)
        setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
}

TEST_F(SettingsStoreTest, ABatchWritesEveryValueUnderOneLockWithOneReplacement)
{
    tree.WriteFile("config/Quillmark/Twinfol.conf", "Location1A=/kept/\nOpenPath=/old/\n");
    FaultInjectingFileSystem counting(fs);
    const SettingsStore store(counting, userFile, machineFile);
    ASSERT_TRUE(store.WriteValues({{"OpenPath", std::string("/new/\nline")},
                                   {"AddMissing", std::uint32_t{0}},
                                   {"Location2A", std::string("/cut\0off", 8)}}));
    EXPECT_EQ(counting.CallCount(FsOperation::LockFile), 1);
    EXPECT_EQ(counting.CallCount(FsOperation::ReplaceFile), 1);
    std::string text;
    std::uint32_t number = 7;
    EXPECT_TRUE(Store().ReadRegString(settings::openPath, text));
    EXPECT_EQ(text, "/new/\nline");
    EXPECT_TRUE(Store().ReadRegNumber(settings::addMissing, number));
    EXPECT_EQ(number, 0u);
    EXPECT_TRUE(Store().ReadRegString(settings::location2Names[0], text));
    EXPECT_EQ(text, "/cut");
    EXPECT_TRUE(Store().ReadRegString(settings::location1Names[0], text));
    EXPECT_EQ(text, "/kept/");

    // One name the format cannot hold stops the whole batch before anything is touched.
    const auto before = tree.Snapshot();
    EXPECT_FALSE(store.WriteValues({{"OpenPath", std::string("/x/")}, {"Bad=Name", std::uint32_t{1}}}));
    EXPECT_EQ(counting.CallCount(FsOperation::ReplaceFile), 1);
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST_F(SettingsStoreTest, AFailedLockOrReplacementChangesNothing)
{
    ASSERT_TRUE(Store().WriteRegString(settings::openPath, "/old/"));
    const auto before = tree.Snapshot();
    FaultInjectingFileSystem faulty(fs);
    const SettingsStore store(faulty, userFile, machineFile);
    faulty.FailNthCall(FsOperation::LockFile, 1, EIO);
    EXPECT_FALSE(store.WriteRegString(settings::openPath, "/new/"));
    EXPECT_EQ(faulty.CallCount(FsOperation::ReplaceFile), 0);
    faulty.FailNthCall(FsOperation::ReplaceFile, 1, ENOSPC);
    EXPECT_FALSE(store.WriteValues({{"OpenPath", std::string("/new/")}}));
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST_F(SettingsStoreTest, AReadOnlySettingsFileIsNeverReplaced)
{
    ASSERT_TRUE(Store().WriteRegString(settings::openPath, "/old/"));
    tree.SetMode("config/Quillmark/Twinfol.conf", 0444);
    EXPECT_FALSE(Store().WriteRegString(settings::openPath, "/root/"));

    // As the ordinary user who owns the folders and made the file read-only.
    GiveToOrdinaryUser(tree.Root(), 0755);
    for (const char* folder : {"config", "config/Quillmark"})
        GiveToOrdinaryUser(tree.Path(folder), 0700);
    GiveToOrdinaryUser(userFile, 0444);
    GiveToOrdinaryUser(userFile + ".lock", 0600);
    const auto before = tree.Snapshot();
    const std::optional<int> stored = RunAsOrdinaryUser([&] {
        PosixFileSystem layer;
        return SettingsStore(layer, userFile, machineFile).WriteRegString(settings::openPath, "/mine/") ? 1
                                                                                                        : 0;
    });
    if (!stored)
        GTEST_SKIP() << needsRootMessage;
    EXPECT_EQ(stored, 0);
    EXPECT_EQ(tree.Snapshot(), before);
    std::string text;
    EXPECT_TRUE(Store().ReadRegString(settings::openPath, text));
    EXPECT_EQ(text, "/old/");
}

TEST_F(SettingsStoreTest, ASettingsFileTheUserMayWriteInAFolderTheyMayNotIsSavedInPlace)
{
    ASSERT_TRUE(Store().WriteRegString(settings::openPath, "/old/"));
    // No lock file beside it either: the user could not make one.
    ASSERT_EQ(unlink((userFile + ".lock").c_str()), 0);
    // Root's folders, which the user may pass through but not add names to.
    for (const std::string& folder : {tree.Root(), tree.Path("config"), tree.Path("config/Quillmark")})
        ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    GiveToOrdinaryUser(userFile, 0600);
    const std::optional<int> stored = RunAsOrdinaryUser([&] {
        PosixFileSystem layer;
        const SettingsStore store(layer, userFile, machineFile);
        return store.WriteValues({{"OpenPath", std::string("/mine/")}, {"SubFolders", std::uint32_t{0}}}) ? 0
                                                                                                          : 1;
    });
    if (!stored)
        GTEST_SKIP() << needsRootMessage;
    EXPECT_EQ(stored, 0);
    std::string text;
    std::uint32_t number = 1;
    EXPECT_TRUE(Store().ReadRegString(settings::openPath, text));
    EXPECT_EQ(text, "/mine/");
    EXPECT_TRUE(Store().ReadRegNumber(settings::checkSubFolders, number));
    EXPECT_EQ(number, 0u);
    EXPECT_EQ(tree.Mode("config/Quillmark/Twinfol.conf"), 0600u);
    EXPECT_FALSE(tree.Exists("config/Quillmark/Twinfol.conf.lock"));
}
