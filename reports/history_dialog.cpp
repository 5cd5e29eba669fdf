// Lists past runs and opens their kept reports, problem logs and the undo of a target's last run.
#include "reports/history_dialog.h"

#include <QPushButton>
#include <QTreeWidgetItem>

#include <ctime>

#include "base/display_text.h"
#include "engine/changes/kept_report.h"
#include "reports/problem_log_dialog.h"
#include "reports/report_dialog.h"
#include "ui_history_dialog.h"

namespace twinfol {
namespace {

QString LocalTime(std::int64_t seconds)
{
    const auto when = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&when, &local);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return QString::fromLatin1(text);
}

QString Shown(const std::string& text)
{
    return QString::fromStdString(ForDisplay(text));
}

} // namespace

HistoryDialog::HistoryDialog(FileSystem& fileSystem, std::vector<RunHistoryEntry> entries, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::HistoryDialog>()), fileSystem_(fileSystem),
      entries_(std::move(entries))
{
    ui_->setupUi(this);
    connect(ui_->runList, &QTreeWidget::currentItemChanged, this, &HistoryDialog::UpdateButtons);
    connect(ui_->runList, &QTreeWidget::itemActivated, this, &HistoryDialog::OpenReport);
    connect(ui_->reportButton, &QPushButton::clicked, this, &HistoryDialog::OpenReport);
    connect(ui_->problemLogButton, &QPushButton::clicked, this, &HistoryDialog::OpenProblemLog);
    connect(ui_->undoButton, &QPushButton::clicked, this, &HistoryDialog::AskUndo);
    connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::reject);
    ShowEntries();
    UpdateButtons();
}

HistoryDialog::~HistoryDialog() = default;

void HistoryDialog::ShowEntries()
{
    for (std::size_t index = 0; index < entries_.size(); ++index) {
        const RunHistoryEntry& entry = entries_[index];
        auto* row =
            new QTreeWidgetItem({LocalTime(entry.started), Shown(entry.source + " ==>> " + entry.target),
                                 Shown(HistoryOutcome(entry))});
        row->setData(0, Qt::UserRole, static_cast<qulonglong>(index));
        row->setToolTip(2, row->text(2));
        ui_->runList->addTopLevelItem(row);
    }
    if (ui_->runList->topLevelItemCount() > 0)
        ui_->runList->setCurrentItem(ui_->runList->topLevelItem(0));
    for (int column = 0; column < 2; ++column)
        ui_->runList->resizeColumnToContents(column);
}

const RunHistoryEntry* HistoryDialog::Selected() const
{
    const QTreeWidgetItem* row = ui_->runList->currentItem();
    if (row == nullptr)
        return nullptr;
    return &entries_.at(static_cast<std::size_t>(row->data(0, Qt::UserRole).toULongLong()));
}

void HistoryDialog::UpdateButtons()
{
    const RunHistoryEntry* entry = Selected();
    // A refused run has no report to show, only the reason, which its line gives.
    ui_->reportButton->setEnabled(entry != nullptr && !entry->reportPath.empty() && !entry->Refused());
    ui_->problemLogButton->setEnabled(entry != nullptr && !entry->reportPath.empty() && entry->problems > 0);
    ui_->undoButton->setEnabled(entry != nullptr && entry->lastOfTarget);
}

bool HistoryDialog::ReadSelectedReport()
{
    const RunHistoryEntry* entry = Selected();
    if (entry == nullptr || entry->reportPath.empty())
        return false;
    std::optional<SyncReport> read = ReadKeptReport(fileSystem_, entry->reportPath);
    if (!read)
        return false;
    report_ = std::move(*read);
    return true;
}

void HistoryDialog::OpenReport()
{
    if (!ui_->reportButton->isEnabled() || !ReadSelectedReport())
        return;
    ShowReport(this, report_, report_.source, report_.target);
}

void HistoryDialog::OpenProblemLog()
{
    if (!ReadSelectedReport())
        return;
    ProblemLogDialog log(report_.problemLog, this);
    log.exec();
}

void HistoryDialog::AskUndo()
{
    if (const RunHistoryEntry* entry = Selected(); entry != nullptr && entry->lastOfTarget) {
        undoAsked_ = *entry;
        accept();
    }
}

} // namespace twinfol
