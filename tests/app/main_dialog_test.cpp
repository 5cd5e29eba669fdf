// The main window driven through its real widgets: start-up state, histories and options kept in the
// settings store, whole runs on real folders, Stop, questions, refusals and the close guard.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include <sys/inotify.h>
#include <unistd.h>

#include "gui/main_dialog_fixture.h"
#include "gui/modal_helpers.h"
#include "support/option_forms.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

TEST_F(MainDialogTest, FirstStartShowsDefaults)
{
    Open();
    EXPECT_EQ(window->windowTitle(), "Twinfol");
    for (const char* list : {"location1Combo", "location2Combo"}) {
        auto* combo = Find<QComboBox>(list);
        ASSERT_EQ(combo->count(), 5);
        EXPECT_EQ(combo->currentIndex(), 0);
        EXPECT_TRUE(combo->currentText().isEmpty());
    }
    for (const char* box : {"deleteMissingCheck", "addMissingCheck", "confirmDeletesCheck",
                            "checkSubFoldersCheck", "useTrashCheck"})
        EXPECT_TRUE(Checked(box)) << box;
    EXPECT_FALSE(Checked("autoStartCheck"));
    EXPECT_FALSE(Enabled("autoStartCheck"));
    EXPECT_TRUE(Checked("direction1To2Radio"));
    EXPECT_FALSE(Enabled("direction1To2Radio"));
    EXPECT_FALSE(Enabled("direction2To1Radio"));
    EXPECT_FALSE(Enabled("lastReportButton"));
    EXPECT_FALSE(Enabled("undoButton"));
    EXPECT_TRUE(Enabled("saveButton"));
    EXPECT_TRUE(Enabled("saveAsButton"));
    EXPECT_FALSE(Enabled("stopButton"));
    EXPECT_FALSE(Shown("running1To2Frame"));
    EXPECT_FALSE(Shown("running2To1Frame"));
    EXPECT_TRUE(Shown("location1To2Button"));
    EXPECT_TRUE(Shown("location2To1Button"));
    EXPECT_FALSE(config.Exists("user/Twinfol.conf")); // reading never creates the store
}

TEST_F(MainDialogTest, RestoresHistoriesAndOptionsAndExitStoresAllFifteenValues)
{
    settings.WriteRegString("Location1A", "/a/");
    settings.WriteRegString("Location1B", "/b/");
    settings.WriteRegString("Location2C", "/c/");
    SetOptions(0, 1, 0, 1);
    Open();
    EXPECT_EQ(Find<QComboBox>("location1Combo")->currentText(), "/a/");
    EXPECT_EQ(Find<QComboBox>("location1Combo")->itemText(1), "/b/");
    EXPECT_EQ(Find<QComboBox>("location2Combo")->itemText(2), "/c/");
    EXPECT_FALSE(Checked("addMissingCheck"));
    EXPECT_TRUE(Checked("deleteMissingCheck"));
    EXPECT_FALSE(Checked("confirmDeletesCheck"));

    dialogs.browseAnswers.push_back(std::string("/b/"));
    Click("browse1Button");
    EXPECT_EQ(dialogs.browseCaptions.back(), "Select Folder Location 1");
    EXPECT_EQ(dialogs.browseStarts.back(), "/a/");
    EXPECT_EQ(History(LocationSide::Location1), (std::vector<std::string>{"/b/", "/a/", "", "", ""}));
    Click("addMissingCheck");
    Click("exitButton");

    EXPECT_EQ(Setting("Location1A"), "/b/");
    EXPECT_EQ(Setting("Location1B"), "/a/");
    EXPECT_EQ(Setting("Location1E"), "");
    EXPECT_EQ(Setting("Location2C"), "/c/");
    EXPECT_EQ(Setting("Location2A"), "");
    std::uint32_t add = 0;
    ASSERT_TRUE(settings.ReadRegNumber("AddMissing", add));
    EXPECT_EQ(add, 1u);
    std::uint32_t trash = 0;
    ASSERT_TRUE(settings.ReadRegNumber("UseTrash", trash));
    EXPECT_EQ(trash, 1u);
    EXPECT_FALSE(window->isVisible());
}

// Each box through its one table line: shown as a new job has it, clicked into the profile, stored on
// exit under its own name, and shown from a profile that holds the other value.
TEST_F(MainDialogTest, EachOptionBoxCarriesItsOwnOptionToTheProfileAndTheSettings)
{
    for (const OptionForms& form : everyJobFlag) {
        SCOPED_TRACE(form.box);
        const bool newJob = SyncOptions().*form.option;
        Open();
        EXPECT_EQ(Checked(form.box), newJob);
        Click(form.box);
        SyncOptions clicked;
        clicked.*form.option = !newJob;
        EXPECT_EQ(window->CurrentProfile().options, clicked);
        Click("exitButton");
        std::uint32_t stored = 2;
        ASSERT_TRUE(settings.ReadRegNumber(form.setting, stored));
        EXPECT_EQ(stored, newJob ? 0u : 1u);

        Profile profile;
        profile.options = clicked;
        Open(disk.WriteFile("job.twp", profile.ToText()));
        for (const OptionForms& other : everyJobFlag)
            EXPECT_EQ(Checked(other.box), clicked.*other.option) << other.box;
    }
}

TEST_F(MainDialogTest, ACommandLineProfileThatCannotBeOpenedLeavesEveryBoxClear)
{
    Open(disk.Path("missing.twp"));
    for (const OptionForms& form : everyJobFlag)
        EXPECT_FALSE(Checked(form.box)) << form.box;
}

TEST_F(MainDialogTest, CloseBoxStoresNothing)
{
    Open();
    Click("addMissingCheck");
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(config.Exists("user/Twinfol.conf"));
}

TEST(LocationHistories, PushMovesAnEntryToTheFrontAndDropsTheOldest)
{
    LocationHistories histories({"/A/", "/B/", "/C/", "/D/", "/E/"}, {"/2/", "", "", "", ""});
    const auto first = [&] { return histories.Of(LocationSide::Location1); };
    histories.Push(LocationSide::Location1, "/C/");
    EXPECT_EQ(first(), (std::vector<std::string>{"/C/", "/A/", "/B/", "/D/", "/E/"}));
    histories.Push(LocationSide::Location1, "/new/");
    EXPECT_EQ(first(), (std::vector<std::string>{"/new/", "/C/", "/A/", "/B/", "/D/"}));
    histories.Push(LocationSide::Location1, "");
    EXPECT_EQ(first(), (std::vector<std::string>{"/new/", "/C/", "/A/", "/B/", "/D/"}));
    // A path differing only in letter case is another path.
    histories.Push(LocationSide::Location1, "/a/");
    EXPECT_EQ(first(), (std::vector<std::string>{"/a/", "/new/", "/C/", "/A/", "/B/"}));
    EXPECT_EQ(histories.Of(LocationSide::Location2), (std::vector<std::string>{"/2/", "", "", "", ""}));
}

TEST_F(MainDialogTest, ChoosingARowMovesItToTheFrontAndIntoTheProfile)
{
    settings.WriteRegString("Location1A", "/a/");
    settings.WriteRegString("Location1B", "/b/");
    Open();
    auto* combo = Find<QComboBox>("location1Combo");
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    EXPECT_EQ(History(LocationSide::Location1).front(), "/b/");
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(window->CurrentProfile().location1, "/b/");
    EXPECT_TRUE(window->CurrentProfile().modified);

    // A blank row names no folder: the profile keeps its location, the list shows the front entry.
    combo->setCurrentIndex(3);
    emit combo->activated(3);
    EXPECT_EQ(window->CurrentProfile().location1, "/b/");
    EXPECT_EQ(combo->currentText(), "/b/");
}

TEST_F(MainDialogTest, RunsInBothDirectionsAndShowsTheReport)
{
    disk.WriteFile("one/only-in-one.txt", "1");
    disk.WriteFile("two/only-in-two.txt", "2");
    disk.WriteFile("two/sub/deep.txt", "3");
    SetLocations(disk.Path("one/"), disk.Path("two/"));
    SetOptions(1, 0, 0, 1);
    Open();
    EXPECT_FALSE(Enabled("lastReportButton"));

    RunAndWait("location1To2Button");
    ASSERT_EQ(dialogs.reports.size(), 1u);
    EXPECT_EQ(disk.ReadFile("two/only-in-one.txt"), "1");
    EXPECT_EQ(dialogs.reportRoots[0], std::make_pair(disk.Path("one/"), disk.Path("two/")));
    EXPECT_EQ(dialogs.reports[0].addedFileCount, 1);
    EXPECT_FALSE(dialogs.reports[0].interrupted);
    EXPECT_TRUE(Enabled("lastReportButton"));
    EXPECT_TRUE(Text("executionEdit").isEmpty());
    EXPECT_FALSE(Enabled("stopButton"));
    EXPECT_FALSE(Shown("running1To2Frame"));

    RunAndWait("location2To1Button");
    ASSERT_EQ(dialogs.reports.size(), 2u);
    EXPECT_EQ(disk.ReadFile("one/only-in-two.txt"), "2");
    EXPECT_EQ(disk.ReadFile("one/sub/deep.txt"), "3");
    EXPECT_EQ(dialogs.reportRoots[1], std::make_pair(disk.Path("two/"), disk.Path("one/")));
    EXPECT_EQ(dialogs.reports[1].addedFolderCount, 1);

    Click("lastReportButton");
    ASSERT_EQ(dialogs.reports.size(), 3u);
    EXPECT_EQ(dialogs.reportRoots[2], dialogs.reportRoots[1]);
}

TEST_F(MainDialogTest, StopDuringAHeldCopyInterruptsTheRunWhileTheWindowStaysUsable)
{
    // More files than any machine has workers, so that some are still to begin when Stop comes.
    constexpr int files = 20;
    WriteNumberedFiles(files);
    disk.MakeFolder("dst");
    SetLocations(disk.Path("src/"), disk.Path("dst/"));
    SetOptions(1, 0, 0, 1);
    Open();
    faults.Hold(FsOperation::CopyFile);

    bool sawRunningState = false;
    WhenCopyHeld([&] {
        sawRunningState = true;
        EXPECT_TRUE(Shown("running1To2Frame"));
        EXPECT_FALSE(Shown("running2To1Frame"));
        EXPECT_TRUE(Enabled("stopButton"));
        EXPECT_FALSE(Enabled("exitButton"));
        EXPECT_FALSE(Enabled("openButton"));
        EXPECT_FALSE(Enabled("location1Combo"));
        EXPECT_FALSE(Enabled("lastReportButton"));
        EXPECT_TRUE(Text("executionEdit").startsWith("Adding file: "));

        Click("location2To1Button");
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0], "There is already a synchronisation running");
        EXPECT_TRUE(Shown("running1To2Frame"));

        window->close();
        ASSERT_EQ(dialogs.messages.size(), 2u);
        EXPECT_EQ(dialogs.messages[1],
                  "Twinfol cannot be closed whilst a synchronisation is running.\nUse the Stop button first");
        EXPECT_TRUE(window->isVisible());

        Click("stopButton");
        faults.Release();
    });
    RunAndWait("location1To2Button");

    EXPECT_TRUE(sawRunningState);
    ASSERT_EQ(dialogs.reports.size(), 1u);
    const SyncReport& report = dialogs.reports[0];
    EXPECT_TRUE(report.interrupted);
    // The copies under way when Stop came (one per worker) complete and count; nothing after them
    // starts.
    const int copied = CountCopiedWhole(files);
    EXPECT_GE(copied, 1);
    EXPECT_LT(copied, files);
    EXPECT_EQ(report.addedFileCount, copied);
    EXPECT_FALSE(Shown("running1To2Frame"));
    EXPECT_TRUE(Enabled("exitButton"));
}

TEST_F(MainDialogTest, DeleteQuestionsAreAnsweredOnTheWindowThread)
{
    disk.WriteFile("src/other.txt", "o");
    disk.WriteFile("dst/keep.txt", "k");
    disk.WriteFile("dst/zap.txt", "z");
    SetLocations(disk.Path("src/"), disk.Path("dst/"));
    SetOptions(1, 1, 1, 1);
    Open();
    dialogs.deleteAnswers = {ConfirmAnswer::No, ConfirmAnswer::Yes};
    // While a question is open the Execution line names the item asked about.
    std::vector<bool> namedWhileAsked;
    dialogs.onQuestion = [&] {
        auto* edit = window->findChild<QLineEdit*>(QStringLiteral("executionEdit"));
        const QString expected =
            QString::fromStdString("Waiting for an answer: " + dialogs.questions.back().lines[0]);
        namedWhileAsked.push_back(QTest::qWaitFor([&] { return edit->toolTip() == expected; }, 20000));
    };
    RunAndWait("location1To2Button");

    EXPECT_EQ(namedWhileAsked, (std::vector<bool>{true, true}));
    ASSERT_EQ(dialogs.questions.size(), 2u);
    for (QThread* thread : dialogs.questionThreads)
        EXPECT_EQ(thread, window->thread());
    EXPECT_EQ(dialogs.questions[0].caption, "Delete File");
    EXPECT_EQ(dialogs.questions[0].lines[0], "Delete file: " + disk.Path("dst/keep.txt"));
    EXPECT_TRUE(disk.Exists("dst/keep.txt"));
    EXPECT_FALSE(disk.Exists("dst/zap.txt"));
    ASSERT_EQ(dialogs.reports.size(), 1u);
    EXPECT_EQ(dialogs.reports[0].deletedFiles, PathSet{disk.Path("dst/zap.txt")});
}

TEST_F(MainDialogTest, RefusedRootsAreReportedAndNothingIsTouched)
{
    disk.WriteFile("dst/precious.txt", "p");
    SetLocations(disk.Path("missing/"), disk.Path("dst/"));
    SetOptions(1, 1, 0, 1);
    Open();
    Click("location1To2Button");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].contains(QString::fromStdString(disk.Path("missing"))));
    EXPECT_TRUE(dialogs.reports.empty());
    EXPECT_TRUE(disk.Exists("dst/precious.txt"));
    EXPECT_FALSE(Enabled("lastReportButton"));

    SetLocations("", disk.Path("dst/"));
    window.reset();
    Open();
    Click("location1To2Button");
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(dialogs.reports.empty());
}

TEST_F(MainDialogTest, AServerLocationIsRefusedByNameAndNothingIsMadeHere)
{
    disk.WriteFile("src/a.txt", "a");
    SetLocations(disk.Path("src/"), "sftp://backup.example/srv/");
    SetOptions(1, 1, 0, 1);
    Open();
    Click("location1To2Button");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].contains(
        "can be synchronised by twinfol-sync only so far: sftp://backup.example/srv/"))
        << dialogs.messages[0].toStdString();
    EXPECT_TRUE(dialogs.reports.empty());
    // Never taken for a folder of this computer's working folder.
    EXPECT_FALSE(std::filesystem::exists("sftp:"));
}

TEST_F(MainDialogTest, SaveEnablingFollowsEveryKindOfEdit)
{
    Open();
    const std::string profile = disk.Path("job.twp");
    dialogs.saveAnswers.push_back(profile);
    Click("saveButton"); // no profile yet: Save acts as Save As
    EXPECT_EQ(Text("profilePathEdit").toStdString(), profile);
    EXPECT_FALSE(Enabled("saveButton"));
    EXPECT_TRUE(Enabled("autoStartCheck"));
    EXPECT_EQ(Setting("OpenPath"), profile);

    Click("checkSubFoldersCheck");
    EXPECT_TRUE(Enabled("saveButton"));
    EXPECT_FALSE(window->CurrentProfile().options.checkSubFolders);
    Click("saveButton");
    EXPECT_FALSE(Enabled("saveButton"));

    Click("autoStartCheck");
    EXPECT_EQ(window->CurrentProfile().options.autoStart, AutoStart::Location1ToLocation2);
    EXPECT_TRUE(Enabled("direction2To1Radio"));
    Click("direction2To1Radio");
    EXPECT_EQ(window->CurrentProfile().options.autoStart, AutoStart::Location2ToLocation1);
    EXPECT_TRUE(Enabled("saveButton"));
}

TEST_F(MainDialogTest, RunEndsWhenTheEngineFinishesEvenUnderAnOpenMessageBox)
{
    disk.WriteFile("src/a.txt", "a");
    disk.MakeFolder("dst");
    SetLocations(disk.Path("src/"), disk.Path("dst/"));
    SetOptions(1, 0, 0, 1);
    Open();
    faults.Hold(FsOperation::CopyFile);

    // The busy message is a real message box. While it is open the engine is let go; the run must end
    // from the box's own event loop, not wait for the person to press OK.
    bool endedUnderTheBox = false;
    dialogs.onMessage = [&](const QString& text) {
        ModalWatcher answer([&](QWidget& box) {
            faults.Release();
            endedUnderTheBox = WaitForRunEnd(5000);
            EXPECT_FALSE(Shown("running1To2Frame"));
            EXPECT_FALSE(Enabled("stopButton"));
            EXPECT_TRUE(Enabled("exitButton"));
            EXPECT_TRUE(Enabled("lastReportButton"));
            EXPECT_TRUE(Text("executionEdit").isEmpty());
            EXPECT_EQ(dialogs.reports.size(), 1u);
            PressKey(box, Qt::Key_Return);
        });
        DialogService(posix).ShowMessage(window.get(), text);
        EXPECT_EQ(answer.Seen(), 1);
    };
    WhenCopyHeld([&] { Click("location2To1Button"); });
    RunAndWait("location1To2Button");

    EXPECT_TRUE(endedUnderTheBox);
    EXPECT_EQ(dialogs.messages, std::vector<QString>{"There is already a synchronisation running"});
    ASSERT_EQ(dialogs.reports.size(), 1u);
    EXPECT_FALSE(dialogs.reports[0].interrupted);
    EXPECT_EQ(disk.ReadFile("dst/a.txt"), "a");
}

// What the engine writes to must outlive the engine thread. Closing is refused during a run, so only
// a teardown without closing reaches this; run under AddressSanitizer it shows any late write.
TEST_F(MainDialogTest, TearingTheWindowDownWhileACopyIsHeldEndsTheRunSafely)
{
    // More files than any machine has workers, so that some are still to begin when the window goes.
    constexpr int files = 20;
    WriteNumberedFiles(files);
    disk.MakeFolder("dst");
    SetLocations(disk.Path("src/"), disk.Path("dst/"));
    SetOptions(1, 0, 0, 1);
    Open();
    faults.Hold(FsOperation::CopyFile);
    Click("location1To2Button");
    ASSERT_TRUE(faults.WaitUntilHeld(std::chrono::seconds(20)));

    // The teardown waits for the engine thread, which waits in the held copy; so the copy is let go
    // from another thread once the teardown is under way.
    std::atomic<bool> tearingDown{false};
    std::thread releaser([&] {
        while (!tearingDown.load())
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        faults.Release();
    });
    tearingDown.store(true);
    window.reset();
    releaser.join();
    QCoreApplication::processEvents();

    EXPECT_TRUE(dialogs.reports.empty());
    // The copies under way (one per worker) complete, whole, and nothing after them starts.
    const int copied = CountCopiedWhole(files);
    EXPECT_GE(copied, 1);
    EXPECT_LT(copied, files);
}

TEST_F(MainDialogTest, TearingTheWindowDownWhileADeleteQuestionIsDueDeletesNothing)
{
    // The source holds something: an empty one would be stopped before the run by its own guard.
    disk.WriteFile("src/other.txt", "o");
    disk.WriteFile("dst/zap.txt", "z");
    SetLocations(disk.Path("src/"), disk.Path("dst/"));
    SetOptions(1, 1, 1, 1);
    Open();
    dialogs.deleteAnswers = {ConfirmAnswer::Yes};
    Click("location1To2Button");
    // Whether the engine has asked yet or not, the question goes with the window and counts as Cancel.
    window.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_TRUE(disk.Exists("dst/zap.txt"));
}

// Every replacement of the settings file costs two file syncs, so "Exit" stores its fifteen values
// in one. The watch sees each finished write or replacement of the file.
TEST_F(MainDialogTest, ExitReplacesTheSettingsFileOnce)
{
    ASSERT_TRUE(settings.WriteRegString("OpenPath", "/earlier.twp"));
    Open();
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, config.Path("user").c_str(), IN_MOVED_TO | IN_CLOSE_WRITE), 0);
    Click("exitButton");

    int replacements = 0;
    alignas(inotify_event) char buffer[64 * 1024];
    for (ssize_t got; (got = read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0 && std::string(event->name) == "Twinfol.conf")
                ++replacements;
            at += sizeof(inotify_event) + event->len;
        }
    }
    close(watch);
    EXPECT_EQ(replacements, 1);
    EXPECT_EQ(Setting("Location2E"), "");
    EXPECT_EQ(Setting("OpenPath"), "/earlier.twp");
}

} // namespace
