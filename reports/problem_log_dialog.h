// The "Problem Log" window: every problem line of a run, in the order the run recorded them.
#pragma once

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class ProblemLogDialog;
}

namespace twinfol {

class ProblemLogDialog : public QDialog {
    Q_OBJECT

public:
    // Reads the lines once, here; they are bytes in UTF-8 and shown as they stand.
    explicit ProblemLogDialog(const std::vector<std::string>& problemLog, QWidget* parent = nullptr);
    ~ProblemLogDialog() override;

private:
    std::unique_ptr<Ui::ProblemLogDialog> ui_;
};

} // namespace twinfol
