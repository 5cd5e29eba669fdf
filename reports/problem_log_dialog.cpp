// Shows the problem lines of a run without sorting them or folding repeats together.
#include "reports/problem_log_dialog.h"

#include <QPushButton>
#include <QStringList>

#include "ui_problem_log_dialog.h"

namespace twinfol {

ProblemLogDialog::ProblemLogDialog(const std::vector<std::string>& problemLog, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ProblemLogDialog>())
{
    ui_->setupUi(this);
    ui_->problemList->setSortingEnabled(false);
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(problemLog.size()));
    for (const std::string& line : problemLog)
        rows.append(QString::fromStdString(line));
    ui_->problemList->addItems(rows);
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    ui_->okButton->setFocus();
}

ProblemLogDialog::~ProblemLogDialog() = default;

} // namespace twinfol
