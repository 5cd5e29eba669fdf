// The "Problem Log" window: every problem line of a run with its reason, in the order the run recorded
// them.
#pragma once

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

#include "engine/records/sync_report.h"

namespace Ui {
class ProblemLogDialog;
}

namespace twinfol {

class ProblemLogDialog : public QDialog {
    Q_OBJECT

public:
    // Reads the problems once, here. Each line shows its reason in brackets, as the runner prints it,
    // with names escaped as everywhere else.
    explicit ProblemLogDialog(const std::vector<ProblemRecord>& problemLog, QWidget* parent = nullptr);
    ~ProblemLogDialog() override;

private:
    std::unique_ptr<Ui::ProblemLogDialog> ui_;
};

} // namespace twinfol
