// The summary window of a run and the function that prepares and shows it.
#include "reports/report_dialog.h"

#include <QLineEdit>
#include <QPushButton>

#include <array>
#include <utility>

#include "base/display_text.h"
#include "reports/detailed_report_dialog.h"
#include "reports/problem_log_dialog.h"
#include "ui_report_dialog.h"

namespace twinfol {

namespace {

const QString kDoneHeading = QStringLiteral("Synchronisation done:\n");
const QString kInterruptedHeading = QStringLiteral("Synchronisation interrupted\n");
const QString kUndoDoneHeading = QStringLiteral("Undo done:\n");
const QString kUndoInterruptedHeading = QStringLiteral("Undo interrupted:\n");

void ShowPath(QLineEdit* edit, const QString& path)
{
    edit->setText(path);
    // A long path shows its beginning, as it reads, rather than the scrolled-to end.
    edit->setCursorPosition(0);
}

} // namespace

void ShowReport(QWidget* owner, const SyncReport& report, const std::string& source,
                const std::string& target)
{
    ReportDialog dialog(report, owner);
    dialog.Prepare(source, target);
    dialog.exec();
}

ReportDialog::ReportDialog(const SyncReport& report, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ReportDialog>()), report_(report)
{
    ui_->setupUi(this);
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->viewDetailsButton, &QPushButton::clicked, this, &ReportDialog::ViewDetails);
    connect(ui_->viewProblemLogButton, &QPushButton::clicked, this, &ReportDialog::ViewProblemLog);
    ui_->okButton->setFocus();
    ShowMembers();
}

ReportDialog::~ReportDialog() = default;

void ReportDialog::Prepare(const std::string& source, const std::string& target)
{
    // Paths are bytes in the engine; the window shows them as UTF-8, the encoding of file names on
    // the desktops this runs on, with every byte that is not UTF-8 spelt out so that no two names
    // look alike.
    targetPath_ = QString::fromStdString(ForDisplay(target));
    sourcePath_ = QString::fromStdString(ForDisplay(source));
    if (report_.kind == ReportKind::Undo)
        heading_ = report_.interrupted ? kUndoInterruptedHeading : kUndoDoneHeading;
    else
        heading_ = report_.interrupted ? kInterruptedHeading : kDoneHeading;
    ShowMembers();
}

void ReportDialog::ShowMembers()
{
    // The heading's line feed would make the label two lines high; the label shows the text before it.
    QString shownHeading = heading_;
    if (shownHeading.endsWith(QLatin1Char('\n')))
        shownHeading.chop(1);
    ui_->headingLabel->setText(shownHeading);
    ShowPath(ui_->targetEdit, targetPath_);
    ShowPath(ui_->sourceEdit, sourcePath_);
    ShowCounts();
    ShowIncompleteNotice();
    const bool hasProblems = !report_.problemLog.empty();
    ui_->problemNoticeLabel->setVisible(hasProblems);
    ui_->viewProblemLogButton->setVisible(hasProblems);
}

// A run shows its five counts; an undo shows its own three instead, for a run's "added" and "deleted"
// would read the wrong way round for what an undo did.
void ReportDialog::ShowCounts()
{
    const bool undo = report_.kind == ReportKind::Undo;
    setWindowTitle(undo ? QStringLiteral("Undo Report") : QStringLiteral("Synchronisation Report"));
    const std::array<std::pair<QWidget*, QLineEdit*>, 5> runFields{{
        {ui_->overwrittenFilesCaptionLabel, ui_->overwrittenFilesEdit},
        {ui_->addedFilesCaptionLabel, ui_->addedFilesEdit},
        {ui_->deletedFilesCaptionLabel, ui_->deletedFilesEdit},
        {ui_->addedFoldersCaptionLabel, ui_->addedFoldersEdit},
        {ui_->deletedFoldersCaptionLabel, ui_->deletedFoldersEdit},
    }};
    const std::array<std::pair<QWidget*, QLineEdit*>, 3> undoFields{{
        {ui_->restoredCaptionLabel, ui_->restoredEdit},
        {ui_->trashedCaptionLabel, ui_->trashedEdit},
        {ui_->leftAloneCaptionLabel, ui_->leftAloneEdit},
    }};
    for (const auto& [caption, edit] : runFields) {
        caption->setVisible(!undo);
        edit->setVisible(!undo);
    }
    for (const auto& [caption, edit] : undoFields) {
        caption->setVisible(undo);
        edit->setVisible(undo);
    }
    ui_->overwrittenFilesEdit->setText(QString::number(report_.overwrittenFileCount));
    ui_->addedFilesEdit->setText(QString::number(report_.addedFileCount));
    ui_->deletedFilesEdit->setText(QString::number(report_.deletedFileCount));
    ui_->addedFoldersEdit->setText(QString::number(report_.addedFolderCount));
    ui_->deletedFoldersEdit->setText(QString::number(report_.deletedFolderCount));
    ui_->restoredEdit->setText(QString::number(report_.restoredCount));
    ui_->trashedEdit->setText(QString::number(report_.trashedCount));
    ui_->leftAloneEdit->setText(QString::number(report_.LeftAlone().size()));
}

void ReportDialog::ShowIncompleteNotice()
{
    const std::size_t incomplete = report_.incompleteFolders.size();
    const bool shown = report_.kind == ReportKind::Run && incomplete > 0;
    ui_->incompleteNoticeLabel->setVisible(shown);
    if (!shown)
        return;
    const QString folders = incomplete == 1 ? QStringLiteral("1 added folder")
                                            : QStringLiteral("%1 added folders").arg(incomplete);
    ui_->incompleteNoticeLabel->setText(
        folders + QString::fromUtf8(incompleteMark.data(), static_cast<qsizetype>(incompleteMark.size())) +
        QStringLiteral(": the rest is added by the next run"));
}

void ReportDialog::ViewDetails()
{
    if (report_.kind == ReportKind::Undo) {
        DetailedReportDialog details(report_.restored, report_.trashed, this);
        details.exec();
        return;
    }
    DetailedReportDialog details(report_.overwrittenFiles, report_.addedFiles, report_.deletedFiles,
                                 report_.addedFolders, report_.deletedFolders, this);
    details.MarkIncompleteFolders(report_.incompleteFolders, &report_.partlyCopiedFolders);
    details.exec();
}

void ReportDialog::ViewProblemLog()
{
    ProblemLogDialog log(report_.problemLog, this);
    log.exec();
}

} // namespace twinfol
