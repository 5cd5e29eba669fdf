// Filtering, sorting and the texts of the preview's table.
#include "app/plan_table_model.h"

#include <algorithm>

#include "base/amount_text.h"
#include "base/display_text.h"

namespace twinfol {
namespace {

QString Text(const std::string& bytes)
{
    return QString::fromStdString(ForDisplay(bytes));
}

QString FolderSummary(const char* verb, const PlanRow& row)
{
    return QStringLiteral("%1 (%2 %3)")
        .arg(QLatin1String(verb), QString::fromStdString(FormatCount(row.files)),
             row.files == 1 ? QStringLiteral("file") : QStringLiteral("files"));
}

// Orders two rows by one column, the path breaking ties so that the order is always the same.
bool Before(const PlanRow& left, const PlanRow& right, int column)
{
    switch (column) {
    case PlanTableModel::ActionColumn:
        if (left.action != right.action)
            return left.action < right.action;
        break;
    case PlanTableModel::SizeColumn:
        if (left.bytes != right.bytes)
            return left.bytes < right.bytes;
        break;
    case PlanTableModel::ReasonColumn:
        if (left.reason != right.reason)
            return left.reason < right.reason;
        break;
    default: break;
    }
    return left.path < right.path;
}

} // namespace

bool LeavesAlone(PlanAction action)
{
    return action == PlanAction::LeaveAlone || action == PlanAction::TargetNewer ||
           action == PlanAction::Excluded;
}

PlanTableModel::PlanTableModel(std::vector<PlanRow> rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(std::move(rows))
{
    Refill();
}

int PlanTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int PlanTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString PlanTableModel::ActionText(const PlanRow& row)
{
    switch (row.action) {
    case PlanAction::Overwrite: return QStringLiteral("overwrite");
    case PlanAction::AddFile: return QStringLiteral("add file");
    case PlanAction::AddFolder: return FolderSummary("add folder", row);
    case PlanAction::DeleteFile: return QStringLiteral("delete file");
    case PlanAction::DeleteFolder: return FolderSummary("delete folder", row);
    case PlanAction::WillFail: return QStringLiteral("will fail");
    case PlanAction::Excluded: return QStringLiteral("excluded");
    case PlanAction::LeaveAlone:
    case PlanAction::TargetNewer: break;
    }
    return QStringLiteral("leave alone");
}

QString PlanTableModel::SizeText(const PlanRow& row)
{
    return LeavesAlone(row.action) ? QString() : QString::fromStdString(FormatBytes(row.bytes));
}

QVariant PlanTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const PlanRow& row = RowAt(index.row());
    if (role == Qt::TextAlignmentRole && index.column() == SizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case ActionColumn: return ActionText(row);
    case PathColumn: return row.folder ? Text(row.path) + QLatin1Char('/') : Text(row.path);
    case SizeColumn: return SizeText(row);
    case ReasonColumn: return Text(row.reason);
    default: return {};
    }
}

QVariant PlanTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ActionColumn: return tr("Action");
    case PathColumn: return tr("Path");
    case SizeColumn: return tr("Size");
    case ReasonColumn: return tr("Reason");
    default: return {};
    }
}

bool PlanTableModel::Passes(const PlanRow& row) const
{
    switch (filter_) {
    case PlanFilter::Changes: return !LeavesAlone(row.action);
    case PlanFilter::Overwrites: return row.action == PlanAction::Overwrite;
    case PlanFilter::Adds: return row.action == PlanAction::AddFile || row.action == PlanAction::AddFolder;
    case PlanFilter::Deletes:
        return row.action == PlanAction::DeleteFile || row.action == PlanAction::DeleteFolder;
    case PlanFilter::Failures: return row.action == PlanAction::WillFail;
    case PlanFilter::LeftAlone: return row.action == PlanAction::LeaveAlone;
    case PlanFilter::TargetNewer: return row.action == PlanAction::TargetNewer;
    case PlanFilter::Excluded: return row.action == PlanAction::Excluded;
    case PlanFilter::Everything: break;
    }
    return true;
}

void PlanTableModel::Refill()
{
    shown_.clear();
    for (std::size_t place = 0; place < rows_.size(); ++place)
        if (Passes(rows_[place]))
            shown_.push_back(place);
    const auto before = [this](std::size_t left, std::size_t right) {
        return sortOrder_ == Qt::AscendingOrder ? Before(rows_[left], rows_[right], sortColumn_)
                                                : Before(rows_[right], rows_[left], sortColumn_);
    };
    std::sort(shown_.begin(), shown_.end(), before);
}

void PlanTableModel::SetFilter(PlanFilter filter)
{
    beginResetModel();
    filter_ = filter;
    Refill();
    endResetModel();
}

void PlanTableModel::sort(int column, Qt::SortOrder order)
{
    // A reset rather than a layout change: the table keeps no selection worth carrying over, and a
    // reset spares mapping every persistent index of a large table.
    beginResetModel();
    sortColumn_ = column;
    sortOrder_ = order;
    Refill();
    endResetModel();
}

} // namespace twinfol
