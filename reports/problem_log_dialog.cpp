// Shows the problem lines of a run without sorting them or folding repeats together.
#include "reports/problem_log_dialog.h"

#include <QListWidgetItem>
#include <QPushButton>

#include "base/display_text.h"
#include "ui_problem_log_dialog.h"

namespace twinfol {

ProblemLogDialog::ProblemLogDialog(const std::vector<ProblemRecord>& problemLog, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ProblemLogDialog>())
{
    ui_->setupUi(this);
    ui_->problemList->setSortingEnabled(false);
    // A long line wraps at the window's width rather than losing its end (often the reason), and its
    // tooltip holds it whole. The rows are laid out in batches, so that a long log opens at once.
    for (const ProblemRecord& problem : problemLog) {
        const std::string line =
            problem.reason.empty() ? problem.line : problem.line + " (" + problem.reason + ")";
        auto* row = new QListWidgetItem(QString::fromStdString(ForDisplay(line)));
        row->setToolTip(row->text());
        ui_->problemList->addItem(row);
    }
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    ui_->okButton->setFocus();
}

ProblemLogDialog::~ProblemLogDialog() = default;

} // namespace twinfol
