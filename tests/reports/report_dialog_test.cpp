// The report windows of a run: the summary with its counts, roots and problem notice, the detailed
// lists in byte order with their view buttons, and the problem log as recorded.
#include "reports/report_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "engine/records/sync_report.h"
#include "gui/modal_helpers.h"
#include "reports/detailed_report_dialog.h"
#include "reports/problem_log_dialog.h"

namespace twinfol {
namespace {

using test::ClickButton;
using test::ModalWatcher;
using test::PressKey;

const std::string kSource = "/srv/source/";
const std::string kTarget = "/srv/target/";

SyncReport ReportWithoutProblems()
{
    SyncReport report;
    for (const char* name : {"b.txt", "C.txt", "a.txt"})
        report.Record(ReportList::OverwrittenFiles, kTarget + name);
    report.Record(ReportList::AddedFiles, kTarget + "new.txt");
    report.Record(ReportList::AddedFiles, kTarget + "x/new.txt");
    report.Record(ReportList::DeletedFolders, kTarget + "gone");
    report.RecordRun(kSource, kTarget, false);
    return report;
}

QString EditText(QWidget& window, const char* name)
{
    auto* edit = window.findChild<QLineEdit*>(QString::fromLatin1(name));
    return edit != nullptr ? edit->text() : QStringLiteral("<missing>");
}

template <class Widget> Widget* Child(QWidget& window, const char* name)
{
    auto* child = window.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QStringList Rows(QWidget& window, const char* listName)
{
    QStringList rows;
    if (auto* list = Child<QListWidget>(window, listName))
        for (int i = 0; i < list->count(); ++i)
            rows.append(list->item(i)->text());
    return rows;
}

TEST(ReportDialog, ShowsHeadingRootsAndCountsWithoutProblemNotice)
{
    const SyncReport report = ReportWithoutProblems();
    ReportDialog dialog(report);
    dialog.Prepare(kSource, kTarget);
    dialog.show();

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Synchronisation Report"));
    EXPECT_EQ(dialog.Heading(), QStringLiteral("Synchronisation done:\n"));
    EXPECT_EQ(Child<QLabel>(dialog, "headingLabel")->text(), QStringLiteral("Synchronisation done:"));
    EXPECT_EQ(EditText(dialog, "targetEdit"), QStringLiteral("/srv/target/"));
    EXPECT_EQ(EditText(dialog, "sourceEdit"), QStringLiteral("/srv/source/"));
    EXPECT_LT(Child<QLineEdit>(dialog, "targetEdit")->y(), Child<QLineEdit>(dialog, "sourceEdit")->y());
    EXPECT_EQ(EditText(dialog, "overwrittenFilesEdit"), QStringLiteral("3"));
    EXPECT_EQ(EditText(dialog, "addedFilesEdit"), QStringLiteral("2"));
    EXPECT_EQ(EditText(dialog, "deletedFilesEdit"), QStringLiteral("0"));
    EXPECT_EQ(EditText(dialog, "addedFoldersEdit"), QStringLiteral("0"));
    EXPECT_EQ(EditText(dialog, "deletedFoldersEdit"), QStringLiteral("1"));

    EXPECT_FALSE(Child<QLabel>(dialog, "problemNoticeLabel")->isVisible());
    EXPECT_FALSE(Child<QPushButton>(dialog, "viewProblemLogButton")->isVisible());
    EXPECT_TRUE(Child<QPushButton>(dialog, "viewDetailsButton")->isVisible());
    EXPECT_TRUE(Child<QPushButton>(dialog, "okButton")->isVisible());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    for (const char* undoField : {"restoredEdit", "trashedEdit", "leftAloneEdit", "leftAloneCaptionLabel"})
        EXPECT_FALSE(Child<QWidget>(dialog, undoField)->isVisible()) << undoField;
}

TEST(ReportDialog, AnUndoShowsItsOwnHeadingAndCountsAndItsTwoListsInTheDetails)
{
    SyncReport report;
    report.StartUndo(std::chrono::system_clock::now());
    report.RecordUndo(UndoList::Restored, kTarget + "over.txt");
    report.RecordUndo(UndoList::Restored, kTarget + "back");
    report.RecordUndo(UndoList::Trashed, kTarget + "added");
    report.RecordProblem(ProblemKind::Undo, kTarget + "edited", "it changed since the run");
    report.RecordProblem(ProblemKind::Undo, kTarget + "taken", "something of that name stands there now");
    report.RecordRun(kSource, kTarget, false);
    QStringList buttons;
    QStringList restoredRows;
    QStringList trashedRows;
    ModalWatcher watcher([&](QWidget& window) {
        if (qobject_cast<DetailedReportDialog*>(&window) != nullptr) {
            for (auto* button : window.findChildren<QPushButton*>())
                if (button->isVisible() && button->objectName() != QStringLiteral("okButton"))
                    buttons.append(button->text());
            restoredRows = Rows(window, "entryList");
            ClickButton(window, "addedFilesButton");
            trashedRows = Rows(window, "entryList");
            EXPECT_EQ(Child<QLabel>(window, "nowShowingLabel")->text(),
                      QStringLiteral("Now Showing Items Moved to the Trash"));
            PressKey(window, Qt::Key_Escape);
            return;
        }
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Undo Report"));
        EXPECT_EQ(Child<QLabel>(window, "headingLabel")->text(), QStringLiteral("Undo done:"));
        EXPECT_EQ(EditText(window, "restoredEdit"), QStringLiteral("2"));
        EXPECT_EQ(EditText(window, "trashedEdit"), QStringLiteral("1"));
        EXPECT_EQ(EditText(window, "leftAloneEdit"), QStringLiteral("2"));
        EXPECT_EQ(Child<QLabel>(window, "trashedCaptionLabel")->text(),
                  QStringLiteral("Moved to the Tras&h"));
        for (const char* runField : {"overwrittenFilesEdit", "addedFilesEdit", "deletedFilesEdit",
                                     "addedFoldersEdit", "deletedFoldersCaptionLabel"})
            EXPECT_FALSE(Child<QWidget>(window, runField)->isVisible()) << runField;
        EXPECT_TRUE(Child<QLabel>(window, "problemNoticeLabel")->isVisible());
        ClickButton(window, "viewDetailsButton");
        ClickButton(window, "okButton");
    });
    ShowReport(nullptr, report, kSource, kTarget);
    EXPECT_EQ(watcher.Seen(), 2);
    EXPECT_EQ(buttons, (QStringList{"&Restored", "&Moved to the Trash"}));
    EXPECT_EQ(restoredRows, (QStringList{"/srv/target/back", "/srv/target/over.txt"}));
    EXPECT_EQ(trashedRows, QStringList{"/srv/target/added"});

    report.interrupted = true;
    ReportDialog stopped(report);
    stopped.Prepare(kSource, kTarget);
    EXPECT_EQ(stopped.Heading(), QStringLiteral("Undo interrupted:\n"));
}

TEST(ReportDialog, CountsArePlainDecimalsAndAnInterruptedRunSaysSo)
{
    SyncReport report;
    report.overwrittenFileCount = 1234567;
    report.addedFileCount = -5;
    report.RecordRun(kSource, kTarget, true);
    ReportDialog dialog(report);
    dialog.Prepare(kSource, kTarget);
    EXPECT_EQ(EditText(dialog, "overwrittenFilesEdit"), QStringLiteral("1234567"));
    EXPECT_EQ(EditText(dialog, "addedFilesEdit"), QStringLiteral("-5"));
    EXPECT_EQ(dialog.Heading(), QStringLiteral("Synchronisation interrupted\n"));
    EXPECT_EQ(Child<QLabel>(dialog, "headingLabel")->text(), QStringLiteral("Synchronisation interrupted"));
}

TEST(ReportDialog, ProblemsShowTheNoticeAndTheLogOpensWithTheirLines)
{
    SyncReport report = ReportWithoutProblems();
    report.RecordProblem(ProblemKind::CopyFile, kTarget + "locked.txt", "the target file is read-only");
    QStringList logRows;
    ModalWatcher watcher([&](QWidget& window) {
        if (qobject_cast<ProblemLogDialog*>(&window) != nullptr) {
            logRows = Rows(window, "problemList");
            ClickButton(window, "okButton");
            return;
        }
        EXPECT_TRUE(Child<QLabel>(window, "problemNoticeLabel")->isVisible());
        EXPECT_EQ(Child<QLabel>(window, "problemNoticeLabel")->text(),
                  QStringLiteral("Some problems were encountered"));
        ClickButton(window, "viewProblemLogButton");
        ClickButton(window, "okButton");
    });
    ShowReport(nullptr, report, kSource, kTarget);
    EXPECT_EQ(watcher.Seen(), 2);
    EXPECT_EQ(logRows, QStringList{QStringLiteral(
                           "Could not copy file: /srv/target/locked.txt (the target file is read-only)")});
}

TEST(ReportDialog, ClosesWithOkEnterEscapeAndTheCloseBox)
{
    const SyncReport report = ReportWithoutProblems();
    const std::vector<std::function<void(QWidget&)>> ways = {
        [](QWidget& w) { ClickButton(w, "okButton"); },
        [](QWidget& w) { PressKey(w, Qt::Key_Return); },
        [](QWidget& w) { PressKey(w, Qt::Key_Escape); },
        [](QWidget& w) { w.close(); },
    };
    for (const auto& close : ways) {
        ModalWatcher watcher(close);
        ShowReport(nullptr, report, kSource, kTarget);
        EXPECT_EQ(watcher.Seen(), 1);
    }
}

TEST(ReportDialog, ViewDetailsOpensTheOverwrittenFilesAndReturnsToTheReport)
{
    const SyncReport report = ReportWithoutProblems();
    QString nowShowing;
    QStringList rows;
    bool reportStillOpen = false;
    ModalWatcher watcher([&](QWidget& window) {
        if (qobject_cast<DetailedReportDialog*>(&window) != nullptr) {
            nowShowing = Child<QLabel>(window, "nowShowingLabel")->text();
            rows = Rows(window, "entryList");
            PressKey(window, Qt::Key_Escape);
            return;
        }
        ClickButton(window, "viewDetailsButton");
        reportStillOpen = window.isVisible();
        ClickButton(window, "okButton");
    });
    ShowReport(nullptr, report, kSource, kTarget);
    EXPECT_EQ(watcher.Seen(), 2);
    EXPECT_TRUE(reportStillOpen);
    EXPECT_EQ(nowShowing, QStringLiteral("Now Showing Overwritten Files"));
    EXPECT_EQ(rows, (QStringList{"/srv/target/C.txt", "/srv/target/a.txt", "/srv/target/b.txt"}));
}

// A stop cut the copy of one added folder short: the report says so beside its counts, and the added
// folders' list marks that folder; a report without one shows no notice.
TEST(ReportDialog, AnIncompleteAddedFolderIsNoticedAndMarkedInTheDetails)
{
    SyncReport report = ReportWithoutProblems();
    report.Record(ReportList::AddedFolders, kTarget + "big");
    report.Record(ReportList::AddedFolders, kTarget + "part");
    report.Record(ReportList::AddedFolders, kTarget + "small");
    report.incompleteFolders.insert(kTarget + "big");
    report.partlyCopiedFolders.insert(kTarget + "part");
    report.RecordRun(kSource, kTarget, true);
    ReportDialog dialog(report);
    dialog.Prepare(kSource, kTarget);
    dialog.show();
    auto* notice = Child<QLabel>(dialog, "incompleteNoticeLabel");
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->text(), "1 added folder (incomplete: interrupted): the rest is added by the next run");
    EXPECT_EQ(EditText(dialog, "addedFoldersEdit"), "3");

    DetailedReportDialog details(report.overwrittenFiles, report.addedFiles, report.deletedFiles,
                                 report.addedFolders, report.deletedFolders);
    details.MarkIncompleteFolders(report.incompleteFolders, &report.partlyCopiedFolders);
    details.ShowView(DetailView::ViewAddedFolders);
    EXPECT_EQ(
        Rows(details, "entryList"),
        (QStringList{"/srv/target/big (incomplete: interrupted)",
                     "/srv/target/part (incomplete: some items could not be copied)", "/srv/target/small"}));

    const SyncReport whole = ReportWithoutProblems();
    ReportDialog wholeDialog(whole);
    wholeDialog.Prepare(kSource, kTarget);
    wholeDialog.show();
    EXPECT_FALSE(Child<QLabel>(wholeDialog, "incompleteNoticeLabel")->isVisible());
}

class DetailedReport : public ::testing::Test {
protected:
    SyncReport report = ReportWithoutProblems();
    DetailedReportDialog dialog{report.overwrittenFiles, report.addedFiles, report.deletedFiles,
                                report.addedFolders, report.deletedFolders};

    // Which of the five view buttons are enabled, in view order.
    std::vector<bool> EnabledButtons()
    {
        std::vector<bool> enabled;
        for (const char* name : {"overwrittenFilesButton", "addedFilesButton", "deletedFilesButton",
                                 "addedFoldersButton", "deletedFoldersButton"})
            enabled.push_back(Child<QPushButton>(dialog, name)->isEnabled());
        return enabled;
    }
    QString NowShowing() { return Child<QLabel>(dialog, "nowShowingLabel")->text(); }
};

TEST_F(DetailedReport, OpensOnOverwrittenFilesInByteOrder)
{
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Detailed Report"));
    EXPECT_EQ(dialog.CurrentView(), DetailView::ViewOverwrittenFiles);
    EXPECT_EQ(NowShowing(), QStringLiteral("Now Showing Overwritten Files"));
    EXPECT_EQ(EnabledButtons(), (std::vector<bool>{false, true, true, true, true}));
    EXPECT_EQ(Rows(dialog, "entryList"),
              (QStringList{"/srv/target/C.txt", "/srv/target/a.txt", "/srv/target/b.txt"}));
}

TEST_F(DetailedReport, ViewButtonsSwitchTheListAndDisableOnlyTheCurrentOne)
{
    dialog.show();
    QTest::mouseClick(Child<QPushButton>(dialog, "deletedFoldersButton"), Qt::LeftButton);
    EXPECT_EQ(EnabledButtons(), (std::vector<bool>{true, true, true, true, false}));
    EXPECT_EQ(NowShowing(), QStringLiteral("Now Showing Deleted Folders"));
    EXPECT_EQ(Rows(dialog, "entryList"), QStringList{"/srv/target/gone"});

    QTest::mouseClick(Child<QPushButton>(dialog, "addedFilesButton"), Qt::LeftButton);
    EXPECT_EQ(EnabledButtons(), (std::vector<bool>{true, false, true, true, true}));
    EXPECT_EQ(NowShowing(), QStringLiteral("Now Showing Added Files"));
    // "new.txt" before "x/new.txt": the list keeps the report's order, whatever its own sorting does.
    EXPECT_EQ(Rows(dialog, "entryList"), (QStringList{"/srv/target/new.txt", "/srv/target/x/new.txt"}));

    QTest::mouseClick(Child<QPushButton>(dialog, "addedFoldersButton"), Qt::LeftButton);
    EXPECT_EQ(NowShowing(), QStringLiteral("Now Showing Added Folders"));
    EXPECT_TRUE(Rows(dialog, "entryList").isEmpty());

    QTest::mouseClick(Child<QPushButton>(dialog, "deletedFilesButton"), Qt::LeftButton);
    EXPECT_EQ(NowShowing(), QStringLiteral("Now Showing Deleted Files"));
    EXPECT_EQ(EnabledButtons(), (std::vector<bool>{true, true, false, true, true}));
}

TEST_F(DetailedReport, EnterClosesTheWindowAfterAViewButtonWasClicked)
{
    // The clicked button is disabled, so the focus moves on to the next view button; Enter must
    // still close the window rather than press that one.
    ModalWatcher watcher([](QWidget& window) {
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("deletedFilesButton")),
                          Qt::LeftButton);
        EXPECT_TRUE(qobject_cast<QPushButton*>(window.focusWidget()) != nullptr);
        PressKey(window, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.CurrentView(), DetailView::ViewDeletedFiles);
}

TEST(DetailedReportOrder, NamesOutsideAsciiKeepTheByteOrderAndShowAsUtf8)
{
    // U+FF21 (bytes EF BC A1) sorts before U+1F600 (bytes F0 9F 98 80) by bytes, but after it in
    // UTF-16, the order a sorting list widget would use.
    const std::string fullWidthA = "/t/\xEF\xBC\xA1.txt";
    const std::string smiley = "/t/\xF0\x9F\x98\x80.txt";
    const PathSet deleted{smiley, fullWidthA};
    const PathSet none;
    DetailedReportDialog dialog(none, none, deleted, none, none);
    dialog.ShowView(DetailView::ViewDeletedFiles);
    EXPECT_EQ(Rows(dialog, "entryList"),
              (QStringList{QString::fromUtf8(fullWidthA.c_str()), QString::fromUtf8(smiley.c_str())}));
    EXPECT_EQ(Rows(dialog, "entryList").value(0), QStringLiteral("/t/\uFF21.txt"));
}

TEST_F(DetailedReport, ReopeningStartsAgainOnOverwrittenFiles)
{
    dialog.ShowView(DetailView::ViewDeletedFolders);
    DetailedReportDialog again(report.overwrittenFiles, report.addedFiles, report.deletedFiles,
                               report.addedFolders, report.deletedFolders);
    EXPECT_EQ(again.CurrentView(), DetailView::ViewOverwrittenFiles);
    EXPECT_EQ(Rows(again, "entryList").size(), 3);
}

TEST(ProblemLog, ShowsLinesInRecordedOrderWithRepeatsTheirReasonsAndEscapedNames)
{
    SyncReport report;
    report.RecordProblem(ProblemKind::DeleteFile, "/t/z.txt", "the file is read-only");
    report.RecordProblem(ProblemKind::CopyFile, "/t/caf\xe9.txt", "No space left on device");
    report.RecordProblem(ProblemKind::DeleteFile, "/t/z.txt", "the file is read-only");
    report.RecordProblem(ProblemKind::CopyFolder, "/s/f", "");
    ProblemLogDialog dialog(report.problemLog);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Problem Log"));
    EXPECT_EQ(Rows(dialog, "problemList"),
              (QStringList{"Could not delete file: /t/z.txt (the file is read-only)",
                           "Could not copy file: /t/caf\\xe9.txt (No space left on device)",
                           "Could not delete file: /t/z.txt (the file is read-only)",
                           "Could not copy folder: /s/f"}));
}

TEST(ProblemLog, ClosesWithEnter)
{
    SyncReport report;
    report.RecordProblem(ProblemKind::CopyFolder, "/s/f", "Permission denied");
    ProblemLogDialog dialog(report.problemLog);
    ModalWatcher watcher([](QWidget& window) { PressKey(window, Qt::Key_Return); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
}

} // namespace
} // namespace twinfol
