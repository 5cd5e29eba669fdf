// The "Sort by" list of the preview and the return to the selected row after sorting or filtering.
#include "app/preview_sorting.h"

#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

#include <utility>

#include "app/plan_table_model.h"

namespace twinfol {
namespace {

int Entry(int column, Qt::SortOrder order)
{
    return 2 * column + (order == Qt::DescendingOrder ? 1 : 0);
}

} // namespace

PreviewSorting::PreviewSorting(QTableView& table, QComboBox& sortBy, PlanTableModel& model)
    : QObject(&table), table_(table), sortBy_(sortBy), model_(model)
{
    for (int column = 0; column < PlanTableModel::ColumnCount; ++column) {
        const QString name = model.headerData(column, Qt::Horizontal).toString();
        sortBy.addItem(tr("%1, ascending").arg(name));
        sortBy.addItem(tr("%1, descending").arg(name));
    }
    QHeaderView* header = table.horizontalHeader();
    ShowOrderInList(header->sortIndicatorSection(), header->sortIndicatorOrder());
    connect(header, &QHeaderView::sortIndicatorChanged, this, &PreviewSorting::ShowOrderInList);
    connect(&sortBy, &QComboBox::activated, this, [this](int entry) {
        table_.sortByColumn(entry / 2, entry % 2 == 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
    });
    connect(&model, &QAbstractItemModel::modelAboutToBeReset, this, &PreviewSorting::RememberSelectedRow);
    connect(&model, &QAbstractItemModel::modelReset, this, &PreviewSorting::ReturnToSelectedRow);
}

void PreviewSorting::ShowOrderInList(int column, Qt::SortOrder order)
{
    if (column >= 0 && column < PlanTableModel::ColumnCount)
        sortBy_.setCurrentIndex(Entry(column, order));
}

void PreviewSorting::RememberSelectedRow()
{
    selected_ = nullptr;
    const QModelIndexList rows =
        table_.selectionModel() ? table_.selectionModel()->selectedRows() : QModelIndexList();
    if (!rows.isEmpty())
        selected_ = &model_.RowAt(rows.constFirst().row());
}

// A reset keeps the old scroll position, which after a new order shows rows unrelated to those seen
// before: the selected row is brought back into view, or the table starts again at its top.
void PreviewSorting::ReturnToSelectedRow()
{
    const PlanRow* wanted = std::exchange(selected_, nullptr);
    for (int row = 0; wanted != nullptr && row < model_.rowCount(); ++row) {
        if (&model_.RowAt(row) != wanted)
            continue;
        table_.selectRow(row);
        table_.scrollTo(model_.index(row, PlanTableModel::PathColumn), QAbstractItemView::PositionAtCenter);
        return;
    }
    table_.scrollToTop();
}

} // namespace twinfol
