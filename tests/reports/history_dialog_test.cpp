// The History window over a journal folder made by real runs: it lists them newest first, opens a
// run's kept report and problem log, and offers "Undo" only for the last run of a target.
#include "reports/history_dialog.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <unistd.h>

#include "base/temporary_name.h"
#include "engine/changes/kept_report.h"
#include "engine/posix/posix_file_system.h"
#include "engine/walk/sync_engine.h"
#include "gui/modal_helpers.h"
#include "reports/problem_log_dialog.h"
#include "reports/report_dialog.h"
#include "support/scripted_sync_host.h"
#include "support/temp_tree.h"

namespace twinfol {
namespace {

using test::ClickButton;
using test::ModalWatcher;

class HistoryDialogTest : public ::testing::Test {
protected:
    // One run as the window makes it: the engine, then the report kept.
    void KeptRun(const std::string& into)
    {
        SyncReport report;
        SyncRunState runState;
        test::ScriptedSyncHost host;
        const ExclusionList exclusions;
        SyncEngine engine(fileSystem, exclusions, runState, report, host);
        engine.SetUserPlaces(places);
        engine.Run(source, into, SyncOptions{.confirmDeletes = false});
        report.RecordRun(source, into, false);
        std::string path;
        ASSERT_TRUE(KeepRunReport(fileSystem, places, report, path));
    }

    test::TempTree tree;
    std::string source = tree.MakeFolder("source");
    std::string target = tree.MakeFolder("target");
    PosixFileSystem fileSystem;
    UserPlaces places{tree.Path("home/Trash/"), tree.Path("home/state/"),
                      static_cast<std::uint32_t>(geteuid())};
};

TEST_F(HistoryDialogTest, ListsTheRunsAndOpensAKeptReportAndItsProblemLog)
{
    tree.WriteFile("source/a", "a");
    KeptRun(target);
    // A source file of the program's reserved temporary shape is refused with a problem line.
    tree.WriteFile("source/" + MakeTemporaryName(), "t");
    KeptRun(target);

    HistoryDialog history(fileSystem, ReadRunHistory(fileSystem, places.journalFolder));
    auto* list = history.findChild<QTreeWidget*>("runList");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    // Newest first: the run that met a problem and changed nothing; it is no undo's.
    EXPECT_TRUE(list->topLevelItem(0)->text(2).contains(QStringLiteral("1 problem")))
        << list->topLevelItem(0)->text(2).toStdString();
    EXPECT_TRUE(list->topLevelItem(1)->text(2).contains(QStringLiteral("1 added")));
    EXPECT_TRUE(list->topLevelItem(1)->text(2).endsWith(QStringLiteral("can be undone")));
    EXPECT_FALSE(history.findChild<QPushButton*>("undoButton")->isEnabled());
    EXPECT_TRUE(history.findChild<QPushButton*>("problemLogButton")->isEnabled());

    int logRows = -1;
    {
        ModalWatcher logWatcher([&](QWidget& window) {
            ASSERT_NE(qobject_cast<ProblemLogDialog*>(&window), nullptr);
            logRows = window.findChild<QListWidget*>("problemList")->count();
            ClickButton(window, "okButton");
        });
        ClickButton(history, "problemLogButton");
    }
    EXPECT_EQ(logRows, 1);

    list->setCurrentItem(list->topLevelItem(1));
    EXPECT_TRUE(history.findChild<QPushButton*>("undoButton")->isEnabled());
    EXPECT_FALSE(history.findChild<QPushButton*>("problemLogButton")->isEnabled());
    QString added;
    QString shownTarget;
    ModalWatcher reportWatcher([&](QWidget& window) {
        if (qobject_cast<ReportDialog*>(&window) == nullptr)
            return;
        added = window.findChild<QLineEdit*>("addedFilesEdit")->text();
        shownTarget = window.findChild<QLineEdit*>("targetEdit")->text();
        ClickButton(window, "okButton");
    });
    ClickButton(history, "reportButton");
    EXPECT_EQ(added, QStringLiteral("1"));
    EXPECT_EQ(shownTarget.toStdString(), target);

    ClickButton(history, "undoButton");
    ASSERT_TRUE(history.UndoAsked());
    EXPECT_EQ(history.UndoAsked()->target, target);
}

} // namespace
} // namespace twinfol
