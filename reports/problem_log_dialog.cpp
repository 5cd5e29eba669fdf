// Shows the problem lines of a run without sorting them or folding repeats together.
#include "reports/problem_log_dialog.h"

#include <QPushButton>
#include <QStringList>

#include "base/display_text.h"
#include "ui_problem_log_dialog.h"

namespace twinfol {

ProblemLogDialog::ProblemLogDialog(const std::vector<ProblemRecord>& problemLog, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ProblemLogDialog>())
{
    ui_->setupUi(this);
    ui_->problemList->setSortingEnabled(false);
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(problemLog.size()));
    for (const ProblemRecord& problem : problemLog) {
        const std::string line =
            problem.reason.empty() ? problem.line : problem.line + " (" + problem.reason + ")";
        rows.append(QString::fromStdString(ForDisplay(line)));
    }
    ui_->problemList->addItems(rows);
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    ui_->okButton->setFocus();
}

ProblemLogDialog::~ProblemLogDialog() = default;

} // namespace twinfol
