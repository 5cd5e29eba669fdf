// The "Preview" window: what a run would do, item by item with the reason, before anything changes.
// "Synchronise" accepts it (the caller then starts the run as the direction button would), "Close"
// rejects it and nothing changes.
#pragma once

#include <memory>
#include <string>

#include <QDialog>

#include "app/plan_table_model.h"
#include "engine/walk/plan_reasons.h"

namespace Ui {
class PreviewDialog;
}

namespace twinfol {

class PreviewDialog : public QDialog {
    Q_OBJECT

public:
    // The direction's caption names the run (the direction button's arrow text).
    PreviewDialog(ExplainedPlan explained, const QString& directionCaption, QWidget* parent = nullptr);
    ~PreviewDialog() override;

    PlanTableModel& Model() { return *model_; }
    // The text of the totals line, and below it what the target's disk has too little room for.
    QString TotalsText() const;

private:
    void FillFilters();

    std::unique_ptr<Ui::PreviewDialog> ui_;
    RunPlan plan_;
    std::uint64_t failures_;
    std::uint64_t targetNewer_;
    std::uint64_t excluded_;
    PlanTableModel* model_;
};

} // namespace twinfol
