// Names whose bytes are not UTF-8 (a Latin-1 "café" and "cafè") as every window shows them: each byte
// that is not UTF-8 spelt out as \xNN, so the two never look alike, while what the run uses keeps the
// exact bytes.
#include <QLabel>
#include <QListWidget>

#include "app/exclusions_dialog.h"
#include "app/preview_dialog.h"
#include "app/undo_choice.h"
#include "gui/main_dialog_fixture.h"
#include "gui/modal_helpers.h"
#include "reports/detailed_report_dialog.h"
#include "reports/problem_log_dialog.h"
#include "reports/report_dialog.h"

using namespace twinfol;
using namespace twinfol::test;

namespace {

const std::string e9 = "caf\xe9";
const std::string e8 = "caf\xe8";

QStringList Rows(const QListWidget& list)
{
    QStringList rows;
    for (int row = 0; row < list.count(); ++row)
        rows << list.item(row)->text();
    return rows;
}

QStringList ComboRows(const QComboBox& combo)
{
    QStringList rows;
    for (int row = 0; row < combo.count(); ++row)
        rows << combo.itemText(row);
    return rows;
}

TEST(NamesNotUtf8, TheReportsAndTheProblemLogSpellOutEveryByte)
{
    SyncReport report;
    report.source = "/src/" + e9 + "/";
    report.target = "/dst/" + e8 + "/";
    report.addedFiles = {"/dst/" + e8 + "/" + e9 + ".txt", "/dst/" + e8 + "/" + e8 + ".txt"};
    report.addedFileCount = 2;
    report.RecordProblem(ProblemKind::CopyFile, "/dst/" + e8 + "/" + e9 + ".txt", "no room");

    ReportDialog dialog(report);
    dialog.Prepare(report.source, report.target);
    EXPECT_EQ(dialog.findChild<QLineEdit*>("sourceEdit")->text(), "/src/caf\\xe9/");
    EXPECT_EQ(dialog.findChild<QLineEdit*>("targetEdit")->text(), "/dst/caf\\xe8/");

    DetailedReportDialog details(report.overwrittenFiles, report.addedFiles, report.deletedFiles,
                                 report.addedFolders, report.deletedFolders);
    ClickButton(details, "addedFilesButton");
    EXPECT_EQ(Rows(*details.findChild<QListWidget*>("entryList")),
              (QStringList{"/dst/caf\\xe8/caf\\xe8.txt", "/dst/caf\\xe8/caf\\xe9.txt"}));

    ProblemLogDialog log(report.problemLog);
    const QStringList problems = Rows(*log.findChild<QListWidget*>("problemList"));
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("/dst/caf\\xe8/caf\\xe9.txt (no room)")) << problems[0].toStdString();
}

TEST(NamesNotUtf8, TheExclusionsKeepTwoLookAlikeNamesApartAndTheirBytesWhole)
{
    PosixFileSystem posix;
    ScriptedDialogs dialogs{posix};
    ExclusionsDialog dialog(nullptr, ExclusionList({"/d/" + e9, "/d/" + e8}), dialogs);
    EXPECT_EQ(Rows(*dialog.findChild<QListWidget*>()), (QStringList{"/d/caf\\xe8", "/d/caf\\xe9"}));
    EXPECT_EQ(dialog.Entries().Size(), 2u);
    EXPECT_TRUE(dialog.Entries().IsExcluded("/d/" + e9));
    EXPECT_TRUE(dialog.Entries().IsExcluded("/d/" + e8));
}

TEST(NamesNotUtf8, ThePreviewShowsItsRootsEscaped)
{
    ExplainedPlan explained;
    explained.plan.complete = true;
    explained.plan.report.source = "/src/" + e9 + "/";
    explained.plan.report.target = "/dst/" + e8 + "/";
    PreviewDialog preview(std::move(explained), "Location 1 ==>> Location 2");
    EXPECT_EQ(preview.findChild<QLabel*>("rootsLabel")->text(), "From /src/caf\\xe9/ to /dst/caf\\xe8/");
}

TEST_F(MainDialogTest, LocationListsShowEscapedNamesAndTheRunUsesTheExactBytes)
{
    disk.WriteFile(e9 + "/from-e9.txt", "9");
    disk.WriteFile(e8 + "/from-e8.txt", "8");
    disk.MakeFolder("target");
    SetLocations(disk.Path(e9 + "/"), disk.Path("target/"));
    settings.WriteRegString("Location1B", disk.Path(e8 + "/"));
    SetOptions(1, 0, 0, 1);
    Open();
    auto* combo = Find<QComboBox>("location1Combo");
    const QString folder = QString::fromStdString(disk.Path(""));
    EXPECT_EQ(ComboRows(*combo).mid(0, 2), (QStringList{folder + "caf\\xe9/", folder + "caf\\xe8/"}));

    // The second row, picked from the list: its bytes, not its text, reach the run and the history.
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    EXPECT_EQ(History(LocationSide::Location1).front(), disk.Path(e8 + "/"));
    RunAndWait("location1To2Button");
    EXPECT_TRUE(disk.Exists("target/from-e8.txt"));
    EXPECT_FALSE(disk.Exists("target/from-e9.txt"));
    ASSERT_EQ(dialogs.reports.size(), 1u);
    EXPECT_EQ(dialogs.reports[0].source, disk.Path(e8 + "/"));
}

TEST_F(MainDialogTest, TheQuestionsShowEscapedPaths)
{
    disk.MakeFolder(e9);
    disk.WriteFile(e8 + "/old.txt", "o");
    SetLocations(disk.Path(e9 + "/"), disk.Path(e8 + "/"));
    SetOptions(1, 1, 0, 1);
    Open();
    RunAndWait("location1To2Button");
    ASSERT_EQ(dialogs.warnings.size(), 1u) << "an empty source is questioned";
    EXPECT_TRUE(dialogs.warnings[0].contains("caf\\xe9/")) << dialogs.warnings[0].toStdString();
    EXPECT_TRUE(dialogs.warnings[0].contains("caf\\xe8/")) << dialogs.warnings[0].toStdString();
    EXPECT_TRUE(disk.Exists(e8 + "/old.txt"));

    UndoChoice choice;
    choice.target = disk.Path(e8 + "/");
    const QString undo = QString::fromStdString(UndoQuestionText(choice, UndoExtent{}));
    EXPECT_TRUE(undo.contains("caf\\xe8")) << undo.toStdString();
    EXPECT_FALSE(undo.contains(QChar::ReplacementCharacter));
}

} // namespace
