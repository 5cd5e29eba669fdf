// Fills the preview window from a finished plan.
#include "app/preview_dialog.h"

#include <algorithm>

#include <QHeaderView>
#include <QPushButton>

#include "app/preview_sorting.h"
#include "base/amount_text.h"
#include "base/display_text.h"
#include "ui_preview_dialog.h"

namespace twinfol {
namespace {

QString Figure(std::uint64_t count)
{
    return QString::fromStdString(FormatCount(count));
}

std::uint64_t RowsOf(const std::vector<PlanRow>& rows, PlanAction action)
{
    return static_cast<std::uint64_t>(std::count_if(
        rows.begin(), rows.end(), [action](const PlanRow& row) { return row.action == action; }));
}

} // namespace

PreviewDialog::PreviewDialog(ExplainedPlan explained, const QString& directionCaption, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::PreviewDialog>()), plan_(std::move(explained.plan)),
      failures_(RowsOf(explained.rows, PlanAction::WillFail)),
      targetNewer_(RowsOf(explained.rows, PlanAction::TargetNewer)),
      excluded_(RowsOf(explained.rows, PlanAction::Excluded)),
      model_(new PlanTableModel(std::move(explained.rows), this))
{
    ui_->setupUi(this);
    setWindowTitle(tr("Preview: %1").arg(directionCaption));
    ui_->rootsLabel->setText(tr("From %1 to %2")
                                 .arg(QString::fromStdString(ForDisplay(plan_.report.source)),
                                      QString::fromStdString(ForDisplay(plan_.report.target))));
    ui_->totalsLabel->setText(TotalsText());
    ui_->planTable->setModel(model_);
    // Every row is one line high, so the view need not measure each of a large table's rows.
    QHeaderView* rows = ui_->planTable->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    rows->hide();
    ui_->planTable->horizontalHeader()->setStretchLastSection(true);
    ui_->planTable->sortByColumn(PlanTableModel::PathColumn, Qt::AscendingOrder);
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    ui_->planTable->setColumnWidth(PlanTableModel::ActionColumn, 24 * digit);
    ui_->planTable->setColumnWidth(PlanTableModel::PathColumn, 40 * digit);
    ui_->planTable->setColumnWidth(PlanTableModel::SizeColumn, 12 * digit);
    resize(130 * digit, 60 * fontMetrics().height() / 2);
    FillFilters();
    // Long paths lose their middle, so that both the folder they start in and the name stay in sight.
    ui_->planTable->setTextElideMode(Qt::ElideMiddle);
    new PreviewSorting(*ui_->planTable, *ui_->sortCombo, *model_);
    connect(ui_->synchroniseButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

PreviewDialog::~PreviewDialog() = default;

QString PreviewDialog::TotalsText() const
{
    QString totals =
        tr("Files to copy: %1 (%2)    Items to delete: %3    Will fail: %4    Newer in the "
           "target: %5    Excluded: %6")
            .arg(Figure(plan_.FilesToCopy()), QString::fromStdString(FormatBytes(plan_.BytesToCopy())),
                 Figure(static_cast<std::uint64_t>(plan_.ItemsToDelete())), Figure(failures_),
                 Figure(targetNewer_), Figure(excluded_));
    if (plan_.WillNotFit())
        totals +=
            QLatin1Char('\n') + tr("The target's disk: %1").arg(QString::fromStdString(plan_.NoRoomText()));
    return totals;
}

void PreviewDialog::FillFilters()
{
    const std::pair<QString, PlanFilter> filters[] = {
        {tr("Every change"), PlanFilter::Changes},
        {tr("Overwrites"), PlanFilter::Overwrites},
        {tr("Files and folders to add"), PlanFilter::Adds},
        {tr("Files and folders to delete"), PlanFilter::Deletes},
        {tr("What will fail"), PlanFilter::Failures},
        {tr("Left alone: within the tolerance"), PlanFilter::LeftAlone},
        {tr("Newer in the target, left alone"), PlanFilter::TargetNewer},
        {tr("Excluded: by path, pattern or size"), PlanFilter::Excluded},
        {tr("Everything"), PlanFilter::Everything},
    };
    for (const auto& [text, filter] : filters)
        ui_->filterCombo->addItem(text, static_cast<int>(filter));
    connect(ui_->filterCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        model_->SetFilter(static_cast<PlanFilter>(ui_->filterCombo->itemData(index).toInt()));
    });
}

} // namespace twinfol
