// Every window on a screen too small for it: its frame stays on the screen's free area and every
// button can be reached, either in sight or in the part that scrolls, with the buttons that close the
// window always in sight. Also run with QT_SCALE_FACTOR=2, which halves the screen the windows see.
#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QScreen>
#include <QScrollArea>

#include "app/about_dialog.h"
#include "app/confirm_dialog.h"
#include "app/exclusions_dialog.h"
#include "app/preview_dialog.h"
#include "app/schedule_dialog.h"
#include "gui/main_dialog_fixture.h"
#include "reports/detailed_report_dialog.h"
#include "reports/folder_browser_dialog.h"
#include "reports/problem_log_dialog.h"
#include "reports/report_dialog.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

// The button's rectangle in the window's own coordinates.
QRect PlaceIn(const QWidget& window, const QWidget& widget)
{
    return QRect(widget.mapTo(&window, QPoint(0, 0)), widget.size());
}

// Shows the window and checks it; the named buttons must be in sight without scrolling.
void ExpectFitsAndReachable(QWidget& window, const std::vector<const char*>& alwaysInSight)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const std::string title = window.windowTitle().toStdString();
    const QRect room = window.screen()->availableGeometry();
    EXPECT_TRUE(room.contains(window.frameGeometry()))
        << title << ": " << window.frameGeometry().width() << "x" << window.frameGeometry().height() << " on "
        << room.width() << "x" << room.height();
    auto* scroll = window.findChild<QScrollArea*>(QStringLiteral("fitScroll"));
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(&window))
            continue;
        const bool scrolls = scroll != nullptr && scroll->widget()->isAncestorOf(button);
        const QRect place = scrolls ? PlaceIn(*scroll->widget(), *button) : PlaceIn(window, *button);
        const QRect within = scrolls ? scroll->widget()->rect() : window.rect();
        EXPECT_TRUE(within.contains(place)) << title << ": " << button->text().toStdString() << " cut off";
        // A button narrower than its text needs is clipped.
        EXPECT_GE(button->width(), button->minimumSizeHint().width())
            << title << ": " << button->text().toStdString();
    }
    for (const char* name : alwaysInSight) {
        auto* button = window.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_TRUE(scroll == nullptr || !scroll->widget()->isAncestorOf(button)) << title << ": " << name;
        EXPECT_TRUE(window.rect().contains(PlaceIn(window, *button))) << title << ": " << name;
    }
}

SyncReport LongReport()
{
    SyncReport report;
    report.source = "/home/someone/" + std::string(200, 's') + "/";
    report.target = "/media/backup/" + std::string(200, 't') + "/";
    for (int index = 0; index < 50; ++index)
        report.addedFiles.insert(report.target + std::string(150, 'f') + std::to_string(index));
    report.addedFileCount = 50;
    report.RecordProblem(ProblemKind::CopyFile, report.target + std::string(150, 'p'),
                         "the target file is read-only");
    return report;
}

TEST(ScreenFit, EveryDialogFitsTheScreenWithItsButtonsInReach)
{
    const SyncReport report = LongReport();
    ReportDialog summary(report);
    summary.Prepare(report.source, report.target);
    ExpectFitsAndReachable(summary, {"okButton"});
    DetailedReportDialog details(report.overwrittenFiles, report.addedFiles, report.deletedFiles,
                                 report.addedFolders, report.deletedFolders);
    ExpectFitsAndReachable(details, {"okButton"});
    ProblemLogDialog log(report.problemLog);
    ExpectFitsAndReachable(log, {"okButton"});

    ExplainedPlan explained;
    explained.plan.complete = true;
    for (int index = 0; index < 200; ++index) {
        PlanRow row;
        row.action = PlanAction::AddFile;
        row.path = std::string(120, 'x') + std::to_string(index);
        explained.rows.push_back(row);
    }
    PreviewDialog preview(std::move(explained), "Location 1 ==>> Location 2");
    ExpectFitsAndReachable(preview, {"closeButton", "synchroniseButton"});

    ConfirmDialog confirm;
    confirm.SetQuestion(
        {"Delete File", {"Delete file: " + report.target + std::string(200, 'c'), "", "", ""}});
    ExpectFitsAndReachable(confirm, {});
    PosixFileSystem posix;
    ScriptedDialogs dialogs{posix};
    ExclusionsSetup ruled;
    ruled.ignoring.patterns.push_back({std::string(200, 'p') + "/", "job.twp"});
    ruled.ignoring.maxFileSize = std::int64_t{1} << 40;
    ExclusionsDialog exclusions(nullptr, ExclusionList({report.target + std::string(200, 'e')}), dialogs,
                                ruled);
    ExpectFitsAndReachable(exclusions, {"okButton", "cancelButton"});
    AboutDialog about(nullptr, QIcon());
    ExpectFitsAndReachable(about, {});
    FolderBrowserDialog browser(posix);
    ExpectFitsAndReachable(browser, {});
    const std::string deep = "/" + std::string(200, 's') + "/job.twp";
    ScheduleDialog schedule(nullptr, dialogs, SchedulePlaces::ForCurrentUser("/usr/bin/twinfol-sync"), deep,
                            UserManager::Absent);
    ExpectFitsAndReachable(schedule, {"scheduleButton", "removeButton", "closeButton"});
}

TEST_F(MainDialogTest, TheMainWindowFitsTheScreenWithStopAndExitInSight)
{
    SetLocations("/home/someone/" + std::string(300, 'l') + "/", "/media/" + std::string(300, 'm') + "/");
    Open();
    ExpectFitsAndReachable(*window, {"stopButton", "exitButton"});
}

// With a larger font the window grows (or, on a small screen, scrolls) and no button touches the
// next or loses part of its text.
TEST_F(MainDialogTest, ALargerFontKeepsTheRunButtonsApartAndNoButtonClipped)
{
    const QFont normal = QApplication::font();
    QFont large = normal;
    large.setPointSizeF(normal.pointSizeF() * 1.5);
    QApplication::setFont(large);
    Open();
    ExpectFitsAndReachable(*window, {"stopButton", "exitButton"});
    const QRect left = PlaceIn(*window, *Find<QWidget>("location1To2Button"));
    const QRect right = PlaceIn(*window, *Find<QWidget>("location2To1Button"));
    EXPECT_GE(right.left() - left.right(), window->fontMetrics().height());
    const QRect frame = PlaceIn(*window, *Find<QWidget>("running1To2Frame"));
    EXPECT_TRUE(frame.contains(left)) << "the Running frame surrounds its button";
    window.reset();
    QApplication::setFont(normal);
}

} // namespace
