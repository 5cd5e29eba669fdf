// Sorting the preview's table from the keyboard as well as by its header, and keeping the person's
// place: after a new order (or filter) the table shows the selected row again, or else its top.
#pragma once

#include <QObject>

class QComboBox;
class QTableView;

namespace twinfol {

class PlanTableModel;
struct PlanRow;

class PreviewSorting : public QObject {
    Q_OBJECT

public:
    // Fills the "Sort by" list with each column in both orders and keeps it and the header in step.
    PreviewSorting(QTableView& table, QComboBox& sortBy, PlanTableModel& model);

private:
    void ShowOrderInList(int column, Qt::SortOrder order);
    void RememberSelectedRow();
    void ReturnToSelectedRow();

    QTableView& table_;
    QComboBox& sortBy_;
    PlanTableModel& model_;
    // The planned item selected before the table was refilled; its rows stay where they are in the
    // model while only the order of the shown rows changes.
    const PlanRow* selected_ = nullptr;
};

} // namespace twinfol
