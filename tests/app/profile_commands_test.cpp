// Profiles in the window (open, save, save as), the command line and automatic start, the exclusions
// dialog, About and Help, driven through the real widgets.
#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/wait.h>

#include "app/about_dialog.h"
#include "app/command_line.h"
#include "app/exclusions_dialog.h"
#include "gui/main_dialog_fixture.h"
#include "gui/modal_helpers.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

const std::string validProfile = "twin_fol_version=1.01\r\n"
                                 "location1=/first/\r\n"
                                 "location2=/second/\r\n"
                                 "delete_files=0\r\n"
                                 "confirm_deletes=1\r\n"
                                 "add_files=1\r\n"
                                 "check_sub_folders=0\r\n"
                                 "auto_start=2\r\n"
                                 "exclusions=\r\n"
                                 "/first/skip/\r\n"
                                 "end_exclusions\r\n";

class ProfileCommandsTest : public MainDialogTest {
protected:
    std::vector<std::string> Rows(QListWidget& list)
    {
        std::vector<std::string> rows;
        for (int row = 0; row < list.count(); ++row)
            rows.push_back(list.item(row)->text().toStdString());
        return rows;
    }
};

TEST_F(ProfileCommandsTest, OpenShowsAValidProfileAndRemembersItsPath)
{
    const std::string path = disk.WriteFile("job.twp", validProfile);
    Open();
    dialogs.openAnswers.push_back(path);
    Click("openButton");

    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(Setting("OpenPath"), path);
    EXPECT_EQ(Text("profilePathEdit").toStdString(), path);
    EXPECT_FALSE(Checked("deleteMissingCheck"));
    EXPECT_TRUE(Checked("addMissingCheck"));
    EXPECT_FALSE(Checked("checkSubFoldersCheck"));
    EXPECT_TRUE(Checked("autoStartCheck"));
    EXPECT_TRUE(Checked("direction2To1Radio"));
    EXPECT_EQ(Find<QComboBox>("location1Combo")->currentText(), "/first/");
    EXPECT_EQ(Find<QComboBox>("location2Combo")->currentText(), "/second/");
    EXPECT_FALSE(Enabled("saveButton"));
    EXPECT_EQ(window->CurrentProfile().exclusions.Entries(), std::vector<std::string>{"/first/skip/"});

    // The next dialog starts at the remembered file.
    Click("openButton");
    EXPECT_EQ(dialogs.fileDialogStarts.back(), path);
}

TEST_F(ProfileCommandsTest, OpenOfAMissingFileChangesNothingButTheRememberedPath)
{
    Open();
    Click("addMissingCheck");
    const std::string missing = disk.Path("nowhere.twp");
    dialogs.openAnswers.push_back(missing);
    Click("openButton");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].toStdString(), "Could not open file: " + missing);
    EXPECT_EQ(Setting("OpenPath"), missing);
    EXPECT_TRUE(Text("profilePathEdit").isEmpty());
    EXPECT_FALSE(Checked("addMissingCheck"));
}

TEST_F(ProfileCommandsTest, OpenOfAnInvalidFileShowsTheDefaults)
{
    const std::string good = disk.WriteFile("good.twp", validProfile);
    const std::string bad = disk.WriteFile("bad.twp", "location1=/x/\r\n");
    Open();
    dialogs.openAnswers = {good, bad};
    Click("openButton");
    Click("openButton");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].toStdString(), bad + " is not a valid Twinfol profile");
    EXPECT_TRUE(Text("profilePathEdit").isEmpty());
    // An invalid file gives a new profile's defaults, the Trash on among them.
    for (const char* box : {"deleteMissingCheck", "addMissingCheck", "confirmDeletesCheck",
                            "checkSubFoldersCheck", "useTrashCheck"})
        EXPECT_TRUE(Checked(box)) << box;
    EXPECT_FALSE(Checked("autoStartCheck"));
    EXPECT_TRUE(window->CurrentProfile().exclusions.IsEmpty()); // nothing of the first profile is kept
    // The lists show the front entries of the histories, which the good profile put there.
    EXPECT_EQ(Find<QComboBox>("location1Combo")->currentText(), "/first/");
    EXPECT_TRUE(window->CurrentProfile().location1.empty());
}

TEST_F(ProfileCommandsTest, FirstSaveWritesWhatTheWindowShows)
{
    SetLocations("/shown/one/", "/shown/two/");
    SetOptions(0, 1, 0, 1);
    settings.WriteRegNumber("UseTrash", 0);
    Open();
    const std::string path = disk.Path("saved.twp");
    dialogs.saveAnswers.push_back(path);
    Click("saveAsButton");
    EXPECT_EQ(disk.ReadFile("saved.twp"),
              "twin_fol_version=1.01\r\nlocation1=/shown/one/\r\nlocation2=/shown/two/\r\n"
              "delete_files=1\r\nconfirm_deletes=0\r\nadd_files=0\r\n"
              "check_sub_folders=1\r\nauto_start=0\r\nexclusions=\r\nend_exclusions\r\nuse_trash=0\r\n"
              "ignore_hour_shift=0\r\ndelete_ignored=0\r\nreplace_read_only=0\r\n");
    EXPECT_FALSE(Enabled("saveButton"));
}

TEST_F(ProfileCommandsTest, SaveIntoAFolderThatCannotHoldTheFileKeepsTheProfileModified)
{
    Open();
    dialogs.saveAnswers.push_back(disk.Path("no-such-folder/job.twp"));
    Click("saveAsButton");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].toStdString(),
              "Could not open file: " + disk.Path("no-such-folder/job.twp"));
    EXPECT_TRUE(Text("profilePathEdit").isEmpty());
    EXPECT_TRUE(Enabled("saveButton"));
}

TEST_F(ProfileCommandsTest, SaveAsAddsTheExtensionToATypedName)
{
    disk.MakeFolder("profiles");
    DialogService realDialogs(posix);
    ModalWatcher typeName([&](QWidget& window) {
        auto* fileDialog = qobject_cast<QFileDialog*>(&window);
        ASSERT_NE(fileDialog, nullptr);
        fileDialog->setDirectory(QString::fromStdString(disk.Path("profiles")));
        auto* nameEdit = fileDialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(nameEdit, nullptr);
        nameEdit->setText("nightly");
        PressKey(*nameEdit, Qt::Key_Return);
    });
    const std::optional<std::string> chosen = realDialogs.SaveProfileName(nullptr, "");
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, disk.Path("profiles/nightly.twp"));
}

TEST_F(ProfileCommandsTest, CommandLineProfileStartsItsRunOnceAfterTheDelay)
{
    // The window's own delay is one second; a shorter one keeps the test quick.
    constexpr std::chrono::milliseconds delay(200);
    for (const int direction : {1, 2}) {
        disk.WriteFile("one/from-one.txt", "1");
        disk.WriteFile("two/from-two.txt", "2");
        std::string profile = validProfile;
        profile.replace(profile.find("/first/"), 7, disk.Path("one/"));
        profile.replace(profile.find("/second/"), 8, disk.Path("two/"));
        profile.replace(profile.find("auto_start=2"), 12, "auto_start=" + std::to_string(direction));
        const std::string path = disk.WriteFile("auto.twp", profile);
        dialogs.reports.clear();
        dialogs.reportRoots.clear();

        Open(path, delay);
        QTest::qWait(static_cast<int>(delay.count() / 2));
        EXPECT_TRUE(dialogs.reports.empty()) << "started before the delay was up";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.reports.empty(); }, 20000));
        QTest::qWait(static_cast<int>(delay.count() * 2));
        EXPECT_EQ(dialogs.reports.size(), 1u) << "started more than once";
        if (direction == 1)
            EXPECT_EQ(dialogs.reportRoots[0], std::make_pair(disk.Path("one/"), disk.Path("two/")));
        else
            EXPECT_EQ(dialogs.reportRoots[0], std::make_pair(disk.Path("two/"), disk.Path("one/")));
        window.reset();
    }
}

TEST_F(ProfileCommandsTest, CommandLineProfileWithoutAutoStartKeepsTheFirstDirection)
{
    std::string profile = validProfile;
    profile.replace(profile.find("auto_start=2"), 12, "auto_start=0");
    Open(disk.WriteFile("plain.twp", profile));
    auto* timer = window->findChild<QTimer*>("autoStartTimer");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(Checked("autoStartCheck"));
    EXPECT_TRUE(Checked("direction1To2Radio"));
    Click("autoStartCheck");
    EXPECT_EQ(window->CurrentProfile().options.autoStart, AutoStart::Location1ToLocation2);
}

TEST(CommandLine, FirstArgumentWithoutADashIsTheProfile)
{
    EXPECT_EQ(ProfileFromArguments({}), "");
    EXPECT_EQ(ProfileFromArguments({"/home/me/my jobs/job.twp"}), "/home/me/my jobs/job.twp");
    EXPECT_EQ(ProfileFromArguments({"first.twp", "second.twp"}), "first.twp");
    EXPECT_EQ(ProfileFromArguments({"-p", "/abs/job.twp"}), "/abs/job.twp");
    EXPECT_EQ(ProfileFromArguments({"--switch", "-x"}), "");
    EXPECT_EQ(StartActionFromArguments({"job.twp", "--version"}), StartAction::PrintVersion);
    EXPECT_EQ(StartActionFromArguments({"--help"}), StartAction::PrintHelp);
    EXPECT_EQ(StartActionFromArguments({"-p", "job.twp"}), StartAction::OpenWindow);
    EXPECT_EQ(StartActionFromArguments({"--report", "/s/k.report.json"}), StartAction::OpenReport);
    EXPECT_EQ(ReportFileFromArguments({"--report", "/s/k.report.json"}), "/s/k.report.json");
    EXPECT_EQ(ReportFileFromArguments({"--report=/s/k.report.json"}), "/s/k.report.json");
    EXPECT_EQ(ReportFileFromArguments({"--report"}), "");
}

// A file that is no kept report is said so, and no window stays open waiting.
TEST(CommandLine, TheProgramRefusesAReportFileItCannotRead)
{
    const std::string command =
        std::string("'") + TWINFOL_PATH + "' --report /nonexistent/x.report.json 2>&1";
    std::string printed;
    int status = -1;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            printed.append(buffer, got);
        status = pclose(pipe);
    }
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(printed.find("/nonexistent/x.report.json is no run report that can be read"), std::string::npos)
        << printed;
}

// The built program names itself and its version, as twinfol-sync does.
TEST(CommandLine, TheProgramPrintsItsNameAndVersion)
{
    std::string printed;
    if (FILE* pipe = popen((std::string("'") + TWINFOL_PATH + "' --version").c_str(), "r")) {
        char buffer[256];
        for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            printed.append(buffer, got);
        EXPECT_EQ(pclose(pipe), 0);
    }
    EXPECT_EQ(printed, "twinfol 1.01\n");
}

TEST_F(ProfileCommandsTest, ExclusionsDialogAddsNoDuplicatesAndOkSortsInByteOrder)
{
    Open();
    ExclusionList start({"/w/b.txt", "/w/Z.txt", "", "/w/b.txt"});
    ExclusionsDialog dialog(window.get(), start, dialogs);
    auto& list = *dialog.findChild<QListWidget*>("exclusionList");
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"", "/w/b.txt", "/w/b.txt", "/w/Z.txt"}));

    dialogs.chosenFiles.push_back({"/w/B.TXT", "/w/new.txt", "/w/z.TXT"});
    dialog.OnSelectFiles();
    dialogs.browseAnswers.push_back(std::string("/w/"));
    dialog.OnSelectFolders();
    dialogs.browseAnswers.push_back(std::string("/W/"));
    dialog.OnSelectFolders();
    EXPECT_EQ(dialogs.browseCaptions.back(), "Select Folder to exclude");
    EXPECT_EQ(dialogs.browseStarts.back(), "/w/"); // where the last chooser left off
    EXPECT_EQ(Rows(list),
              (std::vector<std::string>{"", "/w/", "/w/b.txt", "/w/b.txt", "/w/new.txt", "/w/Z.txt"}));

    dialog.accept();
    EXPECT_EQ(dialog.Entries().Entries(),
              (std::vector<std::string>{"", "/w/", "/w/b.txt", "/w/b.txt", "/w/new.txt", "/w/Z.txt"}));
}

TEST_F(ProfileCommandsTest, ExclusionsOkReplacesTheListAndRemoveThenCancelChangesNothing)
{
    std::string profile = validProfile;
    profile.replace(profile.find("auto_start=2"), 12, "auto_start=0");
    Open(disk.WriteFile("job.twp", profile));
    dialogs.runAnswers = {QDialog::Rejected, QDialog::Accepted};
    dialogs.beforeRun = [&](QDialog& dialog) {
        auto& list = *dialog.findChild<QListWidget*>("exclusionList");
        list.selectAll();
        static_cast<ExclusionsDialog&>(dialog).OnRemove();
        EXPECT_EQ(list.count(), 0);
    };
    Click("exclusionsButton");
    EXPECT_EQ(window->CurrentProfile().exclusions.Entries(), std::vector<std::string>{"/first/skip/"});
    EXPECT_FALSE(Enabled("saveButton"));

    dialogs.beforeRun = [&](QDialog& dialog) {
        dialogs.chosenFiles.push_back({"/first/b.txt", "/first/A.txt"});
        static_cast<ExclusionsDialog&>(dialog).OnSelectFiles();
    };
    Click("exclusionsButton");
    EXPECT_EQ(window->CurrentProfile().exclusions.Entries(),
              (std::vector<std::string>{"/first/A.txt", "/first/b.txt", "/first/skip/"}));
    EXPECT_TRUE(Enabled("saveButton"));
}

TEST_F(ProfileCommandsTest, AboutShowsTheVersionAndHelpOpensTheManual)
{
    Open();
    AboutDialog about(window.get(), QIcon());
    EXPECT_EQ(about.windowTitle(), "About Twinfol");
    EXPECT_EQ(about.findChild<QLabel*>("titleLabel")->text(), "Twinfol  Version");
    EXPECT_EQ(about.findChild<QLabel*>("versionLabel")->text(), "1.01");

    dialogs.runAnswers = {QDialog::Accepted};
    Click("aboutButton");
    EXPECT_EQ(dialogs.dialogsRun, std::vector<QString>{"About Twinfol"});

    // The manual beside the program is what Help opens; without it nothing is shown.
    const std::string manual = QCoreApplication::applicationDirPath().toStdString() + "/twinfol-manual.html";
    std::remove(manual.c_str());
    Click("helpButton");
    EXPECT_TRUE(dialogs.documents.empty());
    {
        std::ofstream(manual) << "<html></html>";
    }
    Click("helpButton");
    std::remove(manual.c_str());
    EXPECT_EQ(dialogs.documents, std::vector<std::string>{manual});
}

} // namespace
