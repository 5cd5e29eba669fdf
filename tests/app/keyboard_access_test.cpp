// The windows as a keyboard or screen-reader user meets them: a unique mnemonic for each control
// that has one, labels that lead to their fields, a name for every control that takes the focus,
// Enter pressing the focused button, and the keys walking a closed location list.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

#include "app/about_dialog.h"
#include "app/confirm_dialog.h"
#include "app/exclusions_dialog.h"
#include "app/preview_dialog.h"
#include "gui/main_dialog_fixture.h"
#include "gui/modal_helpers.h"
#include "reports/detailed_report_dialog.h"
#include "reports/folder_browser_dialog.h"
#include "reports/history_dialog.h"
#include "reports/problem_log_dialog.h"
#include "reports/report_dialog.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

// Walks the window's buttons and labels (every window: main, preview, report, detailed report, problem
// log, confirm, exclusions, about, folder browser): no two share a mnemonic letter ("&&" is a plain "&"), and
// a label with one leads to a field. Every control the Tab key reaches has a name a screen reader
// can say, and no two share one. Returns how many controls have a mnemonic.
int CheckKeyboardAccess(QWidget& window)
{
    std::set<QChar> letters;
    std::set<QString> names;
    const std::string title = window.windowTitle().toStdString();
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        const auto* label = qobject_cast<QLabel*>(widget);
        const QString caption = button ? button->text() : label ? label->text() : QString();
        const QString plain = QString(caption).replace(QStringLiteral("&&"), QString());
        if (const qsizetype mark = plain.indexOf(QLatin1Char('&')); mark >= 0 && mark + 1 < plain.size()) {
            EXPECT_TRUE(letters.insert(plain[mark + 1].toLower()).second)
                << title << ": the letter of " << caption.toStdString() << " is taken twice";
            EXPECT_TRUE(label == nullptr || label->buddy() != nullptr) << caption.toStdString();
        }
        if (!(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy() || !widget->isVisibleTo(&window))
            continue;
        const QString name = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty()) << title << ": " << widget->objectName().toStdString() << " has no name";
        EXPECT_TRUE(names.insert(name).second) << title << ": two controls are called " << name.toStdString();
    }
    return static_cast<int>(letters.size());
}

TEST_F(MainDialogTest, EveryWindowHasUniqueMnemonicsAndANameForEveryControl)
{
    Open();
    // All but the radio pair, which Tab reaches from "Auto Start" and the arrow keys switch, and the
    // "Execution" label, whose line the keyboard does not visit.
    EXPECT_EQ(CheckKeyboardAccess(*window), 26);
    ExclusionsDialog exclusions(window.get(), ExclusionList(), dialogs);
    EXPECT_EQ(CheckKeyboardAccess(exclusions), 13);
    AboutDialog about(window.get(), QIcon());
    EXPECT_EQ(CheckKeyboardAccess(about), 1);
    ConfirmDialog confirm(window.get());
    confirm.SetQuestion({"Delete File", {"Delete file: /t/a.txt", "", "", ""}});
    EXPECT_EQ(CheckKeyboardAccess(confirm), 5);
    SyncReport report;
    report.RecordProblem(ProblemKind::CopyFile, "/t/a.txt", "no room");
    ReportDialog summary(report, window.get());
    summary.Prepare("/s/", "/t/");
    summary.show();
    EXPECT_EQ(CheckKeyboardAccess(summary), 12);
    DetailedReportDialog details(report.overwrittenFiles, report.addedFiles, report.deletedFiles,
                                 report.addedFolders, report.deletedFolders, window.get());
    EXPECT_EQ(CheckKeyboardAccess(details), 5);
    ProblemLogDialog log(report.problemLog, window.get());
    EXPECT_EQ(CheckKeyboardAccess(log), 0);
    ExplainedPlan explained;
    explained.rows.push_back({});
    PreviewDialog preview(std::move(explained), "Location 1 ==>> Location 2", window.get());
    EXPECT_EQ(CheckKeyboardAccess(preview), 4);
    FolderBrowserDialog browser(faults, window.get());
    CheckKeyboardAccess(browser);
    HistoryDialog history(faults, {}, window.get());
    EXPECT_EQ(CheckKeyboardAccess(history), 4);

    // The letters reach their controls: a label's its field, a button's a click.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_2, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>("location2Combo"));
    dialogs.browseAnswers.push_back(std::nullopt);
    QTest::keyClick(window.get(), Qt::Key_W, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !dialogs.browseCaptions.empty(); }, 5000));
    EXPECT_EQ(dialogs.browseCaptions, std::vector<QString>{"Select Folder Location 2"});
    const bool trash = Checked("useTrashCheck");
    QTest::keyClick(window.get(), Qt::Key_M, Qt::AltModifier);
    // A mnemonic clicks as the mouse would, pressed and then released a moment later.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Checked("useTrashCheck") != trash; }, 5000));
}

TEST_F(MainDialogTest, EnterPressesAFocusedRunButtonAndOtherwiseExits)
{
    disk.WriteFile("one/new.txt", "1");
    disk.MakeFolder("two");
    SetLocations(disk.Path("one/"), disk.Path("two/"));
    Open();
    Find<QWidget>("location1To2Button")->setFocus();
    PressKey(*window, Qt::Key_Return);
    EXPECT_TRUE(WaitForRunEnd());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(disk.Exists("two/new.txt"));
    EXPECT_EQ(Setting("Location1B"), "<missing>"); // nothing stored yet

    // Away from the buttons, Enter is "Exit": the settings are stored and the window closes.
    Find<QWidget>("deleteMissingCheck")->setFocus();
    PressKey(*window, Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(Setting("Location1B"), "");
    EXPECT_EQ(dialogs.reports.size(), 1u);
}

TEST_F(MainDialogTest, KeysWalkAClosedLocationListAndTheRowIsChosenOnLeavingIt)
{
    for (const char* letter : {"A", "B", "C", "D", "E"})
        settings.WriteRegString(std::string("Location1") + letter, std::string("/") + letter + "/");
    Open();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto* combo = Find<QComboBox>("location1Combo");
    combo->setFocus();
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up})
        QTest::keyClick(combo, key);
    EXPECT_EQ(combo->currentText(), "/C/");
    EXPECT_EQ(History(LocationSide::Location1),
              (std::vector<std::string>{"/A/", "/B/", "/C/", "/D/", "/E/"}));
    EXPECT_FALSE(window->CurrentProfile().modified);
    Find<QWidget>("browse1Button")->setFocus();
    EXPECT_EQ(History(LocationSide::Location1),
              (std::vector<std::string>{"/C/", "/A/", "/B/", "/D/", "/E/"}));
    EXPECT_EQ(window->CurrentProfile().location1, "/C/");
    EXPECT_TRUE(window->CurrentProfile().modified);

    // A pick from the dropped-down list is chosen at once.
    combo->setFocus();
    combo->showPopup();
    ASSERT_TRUE(QTest::qWaitFor([&] { return combo->view()->isVisible(); }, 5000));
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    EXPECT_EQ(History(LocationSide::Location1).front(), "/A/");

    // Enter on the list is "Exit": the row the keys moved to is chosen before the settings are stored.
    QTest::keyClick(combo, Qt::Key_End);
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(Setting("Location1A"), "/E/");
}

} // namespace

namespace {

// After a run the focus rests on "Last Report", never on a run button, so a stray Enter shows the
// report again instead of running again; with no report to show it goes to the first location list.
TEST_F(MainDialogTest, AfterARunTheFocusLeavesTheRunButton)
{
    disk.WriteFile("one/new.txt", "1");
    disk.MakeFolder("two");
    SetLocations(disk.Path("one/"), disk.Path("two/"));
    Open();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Find<QWidget>("location1To2Button")->setFocus();
    PressKey(*window, Qt::Key_Return);
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>("lastReportButton"));
    disk.WriteFile("one/later.txt", "2");
    PressKey(*window, Qt::Key_Return);
    EXPECT_FALSE(window->Run().IsRunning());
    EXPECT_FALSE(disk.Exists("two/later.txt")) << "Enter ran again";
    EXPECT_EQ(dialogs.reports.size(), 2u) << "Enter shows the report again";
    EXPECT_TRUE(window->isVisible());

    // A run refused at its start leaves no report: the focus goes to the first location list.
    auto fresh = std::make_unique<MainDialog>(faults, settings, dialogs, places);
    window.swap(fresh);
    fresh.reset();
    SetLocations(disk.Path("missing/"), disk.Path("two/"));
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Find<QWidget>("location1To2Button")->setFocus();
    PressKey(*window, Qt::Key_Return);
    ASSERT_TRUE(WaitForRunEnd());
    ASSERT_FALSE(Find<QWidget>("lastReportButton")->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>("location1Combo"));
}

} // namespace
