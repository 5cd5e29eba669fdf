// The summary window of a run and the function that prepares and shows it.
#include "reports/report_dialog.h"

#include <QLineEdit>
#include <QPushButton>

#include "reports/detailed_report_dialog.h"
#include "reports/problem_log_dialog.h"
#include "ui_report_dialog.h"

namespace twinfol {

namespace {

const QString kDoneHeading = QStringLiteral("Synchronisation done:\n");
const QString kInterruptedHeading = QStringLiteral("Synchronisation interrupted\n");

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
    // the desktops this runs on.
    targetPath_ = QString::fromStdString(target);
    sourcePath_ = QString::fromStdString(source);
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
    ui_->overwrittenFilesEdit->setText(QString::number(report_.overwrittenFileCount));
    ui_->addedFilesEdit->setText(QString::number(report_.addedFileCount));
    ui_->deletedFilesEdit->setText(QString::number(report_.deletedFileCount));
    ui_->addedFoldersEdit->setText(QString::number(report_.addedFolderCount));
    ui_->deletedFoldersEdit->setText(QString::number(report_.deletedFolderCount));
    const bool hasProblems = !report_.problemLog.empty();
    ui_->problemNoticeLabel->setVisible(hasProblems);
    ui_->viewProblemLogButton->setVisible(hasProblems);
}

void ReportDialog::ViewDetails()
{
    DetailedReportDialog details(report_.overwrittenFiles, report_.addedFiles, report_.deletedFiles,
                                 report_.addedFolders, report_.deletedFolders, this);
    details.exec();
}

void ReportDialog::ViewProblemLog()
{
    ProblemLogDialog log(report_.problemLog, this);
    log.exec();
}

} // namespace twinfol
