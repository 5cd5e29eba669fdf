// The preview as a person meets it: the Preview button's direction (its menu before any run, the
// last run's after), the walk on its own thread with the window busy and "Stop" working, the
// preview's rows, totals, filter and sorting, "Close" changing nothing and "Synchronise" running the
// job as the direction button would. Also the "Execution" line's figures and its elided path.
#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>

#include <cstdio>
#include <set>

#include "app/execution_line.h"
#include "app/preview_dialog.h"
#include "gui/main_dialog_fixture.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

constexpr std::time_t someTime = 1699956000;

// What the preview window showed when it opened.
struct SeenPreview {
    QString title;
    QString totals;
    std::vector<std::pair<QString, QString>> paths;
};

// Answers the menu that pops up from the Preview button with the keys: Down once per entry, Enter.
void ChooseFromMenu(int entry)
{
    QTimer::singleShot(0, [entry] {
        QWidget* menu = QApplication::activePopupWidget();
        ASSERT_NE(qobject_cast<QMenu*>(menu), nullptr);
        for (int step = 0; step <= entry; ++step)
            QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
}

class MainDialogPreviewTest : public MainDialogTest {
protected:
    void SetUp() override
    {
        disk.WriteFile("one/new.txt", "12345", someTime);
        disk.WriteFile("one/changed.txt", "new", someTime + 3600);
        disk.WriteFile("two/changed.txt", "old", someTime);
        disk.WriteFile("two/stale.txt", "x", someTime);
        SetLocations(disk.Path("one/"), disk.Path("two/"));
        SetOptions(1, 1, 1, 1);
        dialogs.beforeRun = [this](QDialog& dialog) {
            auto* preview = qobject_cast<PreviewDialog*>(&dialog);
            ASSERT_NE(preview, nullptr);
            SeenPreview seen{preview->windowTitle(), preview->findChild<QLabel*>("totalsLabel")->text(), {}};
            const PlanTableModel& model = preview->Model();
            for (int row = 0; row < model.rowCount(); ++row)
                seen.paths.emplace_back(model.index(row, PlanTableModel::ActionColumn).data().toString(),
                                        model.index(row, PlanTableModel::PathColumn).data().toString());
            previews.push_back(seen);
        };
    }

    bool WaitForPreview(std::size_t count)
    {
        return QTest::qWaitFor([&] { return previews.size() >= count && !window->Run().IsRunning(); }, 20000);
    }

    std::vector<SeenPreview> previews;
};

using Rows = std::vector<std::pair<QString, QString>>;

TEST_F(MainDialogPreviewTest, AsksTheDirectionFirstAndCloseChangesNothing)
{
    Open();
    const auto before = disk.Snapshot();
    ChooseFromMenu(0);
    Click("previewButton");
    ASSERT_TRUE(WaitForPreview(1));
    EXPECT_EQ(previews[0].title, "Preview: Location 1 ==>> Location 2");
    EXPECT_EQ(previews[0].totals,
              "Files to copy: 2 (8 B)    Items to delete: 1    Will fail: 0    Newer in the target: 0    "
              "Excluded: 0");
    EXPECT_EQ(previews[0].paths,
              (Rows{{"overwrite", "changed.txt"}, {"add file", "new.txt"}, {"delete file", "stale.txt"}}));
    EXPECT_EQ(disk.Snapshot(), before);
    EXPECT_TRUE(dialogs.reports.empty());
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_TRUE(Enabled("exitButton"));
    EXPECT_TRUE(Enabled("previewButton"));

    // The other direction from the menu, opened with Enter on the focused button (never "Exit"): the
    // roots swap, and the target's only file would go.
    ChooseFromMenu(1);
    Find<QWidget>("previewButton")->setFocus();
    QTest::keyClick(Find<QWidget>("previewButton"), Qt::Key_Return);
    ASSERT_TRUE(WaitForPreview(2));
    EXPECT_EQ(previews[1].title, "Preview: Location 1 <<== Location 2");
    EXPECT_EQ(previews[1].paths, (Rows{{"delete file", "new.txt"}, {"add file", "stale.txt"}}));
}

TEST_F(MainDialogPreviewTest, PreviewsTheLastRunsDirectionAndSynchroniseAsksItsQuestions)
{
    Open();
    dialogs.deleteAnswers = {ConfirmAnswer::No};
    RunAndWait("location1To2Button");
    ASSERT_EQ(dialogs.questions.size(), 1u);
    disk.WriteFile("one/later.txt", "l", someTime);

    // No menu now: the button previews the direction of the run just made.
    dialogs.runAnswers = {QDialog::Accepted};
    dialogs.deleteAnswers = {ConfirmAnswer::Yes};
    Click("previewButton");
    ASSERT_TRUE(WaitForPreview(1));
    EXPECT_EQ(previews[0].paths, (Rows{{"add file", "later.txt"}, {"delete file", "stale.txt"}}));
    ASSERT_TRUE(WaitForRunEnd());
    ASSERT_TRUE(QTest::qWaitFor([this] { return dialogs.reports.size() == 2; }, 20000));
    EXPECT_EQ(dialogs.questions.size(), 2u) << "Synchronise asks as the direction button does";
    EXPECT_TRUE(disk.Exists("two/later.txt"));
    EXPECT_FALSE(disk.Exists("two/stale.txt"));
}

// A target file without write bits whose source is writable: the preview says the overwrite will fail,
// and once the box lets runs replace read-only files it says overwrite, as the run then does.
TEST_F(MainDialogPreviewTest, TheReadOnlyBoxDecidesAProtectedFileInThePreviewAsInTheRun)
{
    disk.SetMode("two/changed.txt", 0444);
    Open();
    ChooseFromMenu(0);
    Click("previewButton");
    ASSERT_TRUE(WaitForPreview(1));
    EXPECT_EQ(previews[0].paths.front(), (std::pair<QString, QString>{"will fail", "changed.txt"}));

    Click("replaceReadOnlyCheck");
    EXPECT_TRUE(window->CurrentProfile().options.replaceReadOnly);
    ChooseFromMenu(0);
    Click("previewButton");
    ASSERT_TRUE(WaitForPreview(2));
    EXPECT_EQ(previews[1].paths.front(), (std::pair<QString, QString>{"overwrite", "changed.txt"}));
    dialogs.deleteAnswers = {ConfirmAnswer::Yes};
    RunAndWait("location1To2Button");
    EXPECT_EQ(disk.ReadFile("two/changed.txt"), "new");
    EXPECT_FALSE(disk.Exists("two/stale.txt"));
}

// A target disk with too little room: the preview says so below its totals, "Synchronise" then asks
// (No, the default, runs nothing; Yes runs), and a file newer in the target has a category of its own.
TEST_F(MainDialogPreviewTest, ATooSmallTargetIsToldAndSynchroniseAsksFirst)
{
    disk.WriteFile("one/older.txt", "o", someTime);
    disk.WriteFile("two/older.txt", "t", someTime + 3 * 86400);
    // Two files of a unit each; the Trash keeps the one replaced, so two units are needed.
    faults.ReportSpace(SpaceFigures{.freeBytes = 1024, .blockSize = 4096});
    Open();
    const auto before = disk.Snapshot();
    dialogs.runAnswers = {QDialog::Accepted};
    ChooseFromMenu(0);
    Click("previewButton");
    ASSERT_TRUE(WaitForPreview(1));
    EXPECT_EQ(previews[0].totals.toStdString(),
              "Files to copy: 2 (8 B)    Items to delete: 1    Will fail: 0    Newer in "
              "the target: 1    Excluded: 0\nThe target's disk: will not fit: needs 8.0 KiB, 1.0 KiB free");
    ASSERT_EQ(dialogs.warnings.size(), 1u);
    EXPECT_TRUE(dialogs.warnings[0].startsWith("The run will not fit on the target's disk: needs 8.0 KiB, "
                                               "1.0 KiB free."))
        << dialogs.warnings[0].toStdString();
    EXPECT_FALSE(window->Run().IsRunning());
    EXPECT_EQ(disk.Snapshot(), before);

    // The category of its own, with the age in words; left out of every change.
    PlanRow newer;
    newer.action = PlanAction::TargetNewer;
    newer.path = "older.txt";
    newer.reason = "target is 3 d newer";
    PlanTableModel model({newer});
    EXPECT_EQ(model.rowCount(), 0);
    model.SetFilter(PlanFilter::TargetNewer);
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.index(0, PlanTableModel::ActionColumn).data().toString(), "leave alone");
    EXPECT_EQ(model.index(0, PlanTableModel::SizeColumn).data().toString(), "");
    model.SetFilter(PlanFilter::LeftAlone);
    EXPECT_EQ(model.rowCount(), 0);

    dialogs.runAnswers = {QDialog::Accepted};
    dialogs.warningAnswers.push_back(true);
    dialogs.deleteAnswers = {ConfirmAnswer::Yes};
    ChooseFromMenu(0);
    Click("previewButton");
    ASSERT_TRUE(WaitForPreview(2));
    ASSERT_TRUE(QTest::qWaitFor([this] { return dialogs.reports.size() == 1; }, 20000));
    EXPECT_EQ(disk.ReadFile("two/new.txt"), "12345");
}

TEST_F(MainDialogPreviewTest, StopEndsTheWalkWithoutOpeningThePreview)
{
    disk.WriteFile("one/sub/deep.txt", "d", someTime);
    Open();
    faults.Hold(FsOperation::List, disk.Path("one/sub/"));
    ChooseFromMenu(0);
    Click("previewButton");
    ASSERT_TRUE(faults.WaitUntilHeld(std::chrono::seconds(10)));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !Text("executionEdit").isEmpty(); }, 5000));
    EXPECT_TRUE(Text("executionEdit").startsWith("Planning: ")) << Text("executionEdit").toStdString();
    EXPECT_TRUE(window->Run().IsPlanning());
    EXPECT_FALSE(Enabled("exitButton"));
    EXPECT_FALSE(Enabled("previewButton"));
    EXPECT_TRUE(Enabled("stopButton"));
    Click("stopButton");
    faults.Release();
    ASSERT_TRUE(WaitForRunEnd());
    QTest::qWait(50);
    EXPECT_TRUE(previews.empty());
    EXPECT_TRUE(Enabled("exitButton"));
    EXPECT_TRUE(Text("executionEdit").isEmpty());
}

PlanRow Row(PlanAction action, std::string path, std::uint64_t bytes, std::string reason = {})
{
    PlanRow row;
    row.action = action;
    row.path = std::move(path);
    row.bytes = bytes;
    row.files = 1;
    row.reason = std::move(reason);
    return row;
}

QStringList Column(const PlanTableModel& model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, column).data().toString();
    return texts;
}

TEST(PlanTableModel, FiltersSortsAndEscapesNames)
{
    PlanRow folder = Row(PlanAction::AddFolder, "photos", 3 * 1024 * 1024);
    folder.files = 12;
    folder.folder = true;
    PlanTableModel model({Row(PlanAction::Overwrite, "caf\xe9.txt", 10),
                          Row(PlanAction::DeleteFile, "caf\xe8.txt", 20),
                          Row(PlanAction::LeaveAlone, "kept.txt", 0, "excluded"), folder});
    EXPECT_EQ(Column(model, PlanTableModel::PathColumn),
              (QStringList{"caf\\xe8.txt", "caf\\xe9.txt", "photos/"}));
    EXPECT_EQ(Column(model, PlanTableModel::ActionColumn),
              (QStringList{"delete file", "overwrite", "add folder (12 files)"}));

    model.sort(PlanTableModel::SizeColumn, Qt::DescendingOrder);
    EXPECT_EQ(Column(model, PlanTableModel::SizeColumn), (QStringList{"3.0 MiB", "20 B", "10 B"}));
    model.SetFilter(PlanFilter::LeftAlone);
    EXPECT_EQ(Column(model, PlanTableModel::ReasonColumn), QStringList{"excluded"});
    model.SetFilter(PlanFilter::Everything);
    EXPECT_EQ(model.rowCount(), 4);
    model.SetFilter(PlanFilter::Deletes);
    EXPECT_EQ(Column(model, PlanTableModel::PathColumn), QStringList{"caf\\xe8.txt"});
}

// Items an exclusion, a pattern or a size limit leaves out have a choice of their own in "Show", with
// their own total: those rows exactly, each with its rule as the reason; no other choice but
// "Everything" shows them.
TEST(PreviewDialog, TheExcludedChoiceShowsExactlyTheExcludedRows)
{
    ExplainedPlan explained;
    explained.plan.complete = true;
    explained.rows = {
        Row(PlanAction::AddFile, "new.txt", 5),
        Row(PlanAction::LeaveAlone, "close.txt", 1,
            "source is 45 s newer: within the 2-minute "
            "tolerance, left alone"),
        Row(PlanAction::Excluded, "node_modules", 0, "excluded by pattern `node_modules/` (from job.twp)"),
        Row(PlanAction::TargetNewer, "older.txt", 1, "target is 3 d newer"),
        Row(PlanAction::Excluded, "huge.iso", 200 << 20, "larger than 100 MiB"),
        Row(PlanAction::Excluded, "private.txt", 3, "excluded by path")};
    explained.rows[2].folder = true;
    PreviewDialog preview(std::move(explained), "Location 1 ==>> Location 2");
    EXPECT_TRUE(preview.TotalsText().endsWith("Newer in the target: 1    Excluded: 3"))
        << preview.TotalsText().toStdString();
    auto* show = preview.findChild<QComboBox*>("filterCombo");
    ASSERT_NE(show, nullptr);
    QStringList choices;
    for (int entry = 0; entry < show->count(); ++entry)
        choices << show->itemText(entry);
    EXPECT_EQ(choices, (QStringList{"Every change", "Overwrites", "Files and folders to add",
                                    "Files and folders to delete", "What will fail",
                                    "Left alone: within the tolerance", "Newer in the target, left alone",
                                    "Excluded: by path, pattern or size", "Everything"}));

    const PlanTableModel& model = preview.Model();
    EXPECT_EQ(Column(model, PlanTableModel::PathColumn), QStringList{"new.txt"});
    show->setCurrentIndex(show->findText("Excluded: by path, pattern or size"));
    EXPECT_EQ(Column(model, PlanTableModel::PathColumn),
              (QStringList{"huge.iso", "node_modules/", "private.txt"}));
    EXPECT_EQ(Column(model, PlanTableModel::ActionColumn), (QStringList{"excluded", "excluded", "excluded"}));
    EXPECT_EQ(Column(model, PlanTableModel::ReasonColumn),
              (QStringList{"larger than 100 MiB", "excluded by pattern `node_modules/` (from job.twp)",
                           "excluded by path"}));
    // Left alone, as the tolerance's rows are: no size is shown.
    EXPECT_EQ(Column(model, PlanTableModel::SizeColumn), (QStringList{"", "", ""}));
    show->setCurrentIndex(show->findText("Left alone: within the tolerance"));
    EXPECT_EQ(Column(model, PlanTableModel::PathColumn), QStringList{"close.txt"});
    show->setCurrentIndex(show->findText("Everything"));
    EXPECT_EQ(model.rowCount(), 6);
}

// A large preview opens whole: every row is there, in order, and a click on a heading sorts them all.
TEST(PreviewDialog, OpensAHundredThousandRowsInOrder)
{
    ExplainedPlan explained;
    explained.plan.complete = true;
    for (int index = 0; index < 100000; ++index) {
        // Written backwards so that opening has to sort them.
        char name[32];
        std::snprintf(name, sizeof name, "f%06d", 99999 - index);
        explained.rows.push_back(Row(index % 10 == 0 ? PlanAction::LeaveAlone : PlanAction::AddFile, name,
                                     static_cast<std::uint64_t>(index)));
    }
    PreviewDialog preview(std::move(explained), "Location 1 ==>> Location 2");
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    const PlanTableModel& model = preview.Model();
    ASSERT_EQ(model.rowCount(), 90000);
    EXPECT_EQ(model.index(0, PlanTableModel::PathColumn).data().toString(), "f000000");
    QHeaderView* header = preview.findChild<QTableView*>("planTable")->horizontalHeader();
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(PlanTableModel::SizeColumn) + 5, header->height() / 2));
    // Sorted by size, in whichever order the first click chose; the rows left alone stay hidden.
    const std::set<std::uint64_t> ends{model.RowAt(0).bytes, model.RowAt(model.rowCount() - 1).bytes};
    EXPECT_EQ(ends, (std::set<std::uint64_t>{1, 99999}));
}

// A click selects the whole row; "Sort by" orders the table from the keyboard and follows the header;
// after a new order the selected row is in sight again, or, with none selected, the table's top.
TEST(PreviewDialog, SelectsRowsSortsFromTheKeyboardAndKeepsThePlace)
{
    ExplainedPlan explained;
    explained.plan.complete = true;
    for (int index = 0; index < 300; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "f%03d", index);
        explained.rows.push_back(Row(PlanAction::AddFile, name, static_cast<std::uint64_t>(index)));
    }
    PreviewDialog preview(std::move(explained), "Location 1 ==>> Location 2");
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    auto* table = preview.findChild<QTableView*>("planTable");
    auto* sortBy = preview.findChild<QComboBox*>("sortCombo");
    ASSERT_NE(sortBy, nullptr);
    EXPECT_EQ(table->textElideMode(), Qt::ElideMiddle);
    const PlanTableModel& model = preview.Model();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(model.index(5, PlanTableModel::SizeColumn)).center());
    const QModelIndexList selected = table->selectionModel()->selectedIndexes();
    EXPECT_EQ(selected.size(), static_cast<qsizetype>(PlanTableModel::ColumnCount));
    ASSERT_FALSE(selected.isEmpty());
    EXPECT_EQ(model.RowAt(selected.first().row()).path, "f005");

    // Down on the closed list: from "Path, ascending" to "Path, descending".
    EXPECT_EQ(sortBy->currentText(), "Path, ascending");
    sortBy->setFocus();
    QTest::keyClick(sortBy, Qt::Key_Down);
    EXPECT_EQ(table->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(model.RowAt(0).path, "f299");
    const QModelIndexList rows = table->selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(model.RowAt(rows.first().row()).path, "f005");
    EXPECT_TRUE(table->viewport()->rect().intersects(table->visualRect(rows.first())));

    // With nothing selected, a new order starts at the top.
    table->clearSelection();
    table->scrollToBottom();
    ASSERT_GT(table->verticalScrollBar()->value(), 0);
    QHeaderView* header = table->horizontalHeader();
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(PlanTableModel::ActionColumn) + 5, header->height() / 2));
    EXPECT_EQ(table->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(sortBy->currentText().startsWith("Action")) << sortBy->currentText().toStdString();
}

TEST(ExecutionLine, KeepsTheActionWordOfALongPathAndShowsFiguresBesideIt)
{
    QWidget window;
    auto* row = new QHBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    row->addWidget(edit);
    auto now = std::chrono::steady_clock::time_point{};
    ExecutionLine line(*edit, *row, [&now] { return now; });
    edit->setFixedWidth(300);
    window.show();

    const std::string path = "/home/someone/" + std::string(300, 'd') + "/report.pdf";
    line.ShowOperation("Overwriting file: " + path);
    EXPECT_TRUE(edit->text().startsWith("Overwriting file: /home"));
    EXPECT_TRUE(edit->text().endsWith("/report.pdf"));
    EXPECT_TRUE(edit->text().contains(QChar(0x2026)));
    EXPECT_EQ(edit->toolTip().toStdString(), "Overwriting file: " + path);
    line.ShowOperation("Adding file: /short");
    EXPECT_EQ(edit->text(), "Adding file: /short");

    auto* figures = window.findChild<QLabel*>("executionFigures");
    ASSERT_NE(figures, nullptr);
    line.ShowCounters({1, 1024, 0, 0});
    EXPECT_EQ(figures->text(), "1 file, 1.0 KiB");
    now += std::chrono::seconds(2);
    line.ShowCounters({3, 1024 + 4096, 1024, 8192});
    EXPECT_EQ(figures->text(), "3 files, 6.0 KiB, 2.5 KiB/s");
    // The minutes a question waits for its answer leave the rate as it stood.
    line.PauseRate();
    now += std::chrono::minutes(5);
    line.ShowCounters({3, 1024 + 4096, 1024, 8192});
    EXPECT_EQ(figures->text(), "3 files, 6.0 KiB, 2.5 KiB/s");
    line.ResumeRate();
    now += std::chrono::seconds(2);
    line.ShowCounters({4, 11 * 1024, 0, 0});
    EXPECT_EQ(figures->text(), "4 files, 11.0 KiB, 2.5 KiB/s");
    line.Clear();
    EXPECT_TRUE(figures->text().isEmpty());
    EXPECT_TRUE(edit->text().isEmpty());
}

} // namespace
