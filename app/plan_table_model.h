// The preview's table: one row per planned item (action, path below the target root, size, reason),
// kept as a plain vector with a vector of the shown rows' places, so that a hundred thousand rows
// filter and sort without a widget or a proxy object per row.
#pragma once

#include <vector>

#include <QAbstractTableModel>

#include "engine/walk/plan_reasons.h"

namespace twinfol {

// Which rows the table shows. Items the run leaves alone (within the tolerance, newer in the target, or
// left out by an exclusion, an ignore pattern or a size limit) are shown only when asked for.
enum class PlanFilter {
    Changes,
    Overwrites,
    Adds,
    Deletes,
    Failures,
    LeftAlone,
    TargetNewer,
    Excluded,
    Everything
};

// Whether the run leaves the row's item as it is.
bool LeavesAlone(PlanAction action);

class PlanTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { ActionColumn, PathColumn, SizeColumn, ReasonColumn, ColumnCount };

    explicit PlanTableModel(std::vector<PlanRow> rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    void SetFilter(PlanFilter filter);
    PlanFilter Filter() const { return filter_; }
    // The planned item shown in a row of the table.
    const PlanRow& RowAt(int row) const { return rows_[shown_[static_cast<std::size_t>(row)]]; }

    // The texts of the action and size columns.
    static QString ActionText(const PlanRow& row);
    static QString SizeText(const PlanRow& row);

private:
    void Refill();
    bool Passes(const PlanRow& row) const;

    std::vector<PlanRow> rows_;
    std::vector<std::size_t> shown_;
    PlanFilter filter_ = PlanFilter::Changes;
    int sortColumn_ = PathColumn;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

} // namespace twinfol
