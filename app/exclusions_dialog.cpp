// The exclusions dialog: rows shown in alphabetical order without regard to case, handed back as a
// list that the caller sorts in byte order; the ignore patterns in the order they are matched, each
// with what it matches, and the size limits.
#include "app/exclusions_dialog.h"

#include <QHeaderView>
#include <QKeyEvent>

#include "app/dialog_service.h"
#include "app/pattern_count_task.h"
#include "base/amount_text.h"
#include "base/display_text.h"
#include "base/size_text.h"
#include "ui_exclusions_dialog.h"

namespace twinfol {
namespace {

constexpr int originRole = Qt::UserRole + 1;

enum PatternColumn { TextColumn, MatchesColumn };

QString Shown(const std::string& text)
{
    return QString::fromStdString(ForDisplay(text));
}

std::string Bytes(const QVariant& value)
{
    return value.toByteArray().toStdString();
}

bool CountsSomewhere(const ExclusionsSetup& setup)
{
    if (setup.fileSystem == nullptr)
        return false;
    for (const std::string& folder : setup.folders)
        if (!folder.empty())
            return true;
    return false;
}

} // namespace

ExclusionsDialog::ExclusionsDialog(QWidget* parent, const ExclusionList& list, DialogService& dialogs,
                                   ExclusionsSetup setup)
    : QDialog(parent), ui(std::make_unique<Ui::ExclusionsDialog>()), dialogs(dialogs), entries(list),
      ignoring(std::move(setup.ignoring)), origin(std::move(setup.origin)), canCount(CountsSomewhere(setup))
{
    ui->setupUi(this);
    // Entries read from a profile may repeat or be empty; each is shown as a row of its own.
    for (const std::string& entry : entries.Entries())
        InsertSorted(entry);
    connect(ui->okButton, &QPushButton::clicked, this, &ExclusionsDialog::accept);
    connect(ui->cancelButton, &QPushButton::clicked, this, &ExclusionsDialog::reject);
    connect(ui->selectFilesButton, &QPushButton::clicked, this, &ExclusionsDialog::OnSelectFiles);
    connect(ui->selectFoldersButton, &QPushButton::clicked, this, &ExclusionsDialog::OnSelectFolders);
    connect(ui->removeButton, &QPushButton::clicked, this, &ExclusionsDialog::OnRemove);
    QHeaderView* header = ui->patternList->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(TextColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(MatchesColumn, QHeaderView::ResizeToContents);
    ShowRules();
    ConnectPatternControls();
    ConnectLimitControls();
    if (canCount) {
        counter = new PatternCountTask(*setup.fileSystem, std::move(setup.folders), this);
        connect(counter, &PatternCountTask::Counted, this, &ExclusionsDialog::ShowCounts);
    }
    RecountPatterns();
}

ExclusionsDialog::~ExclusionsDialog() = default;

void ExclusionsDialog::InsertSorted(const std::string& path)
{
    const QString text = QString::fromStdString(ForDisplay(path));
    int row = ui->exclusionList->count();
    // After the last row that does not sort above the new one, so equal rows keep their order.
    while (row > 0 &&
           QString::compare(ui->exclusionList->item(row - 1)->text(), text, Qt::CaseInsensitive) > 0)
        --row;
    auto* item = new QListWidgetItem(text);
    item->setData(Qt::UserRole, QByteArray::fromStdString(path));
    ui->exclusionList->insertItem(row, item);
}

void ExclusionsDialog::AddRow(const std::string& path)
{
    const QString text = QString::fromStdString(ForDisplay(path));
    for (int row = 0; row < ui->exclusionList->count(); ++row)
        if (QString::compare(ui->exclusionList->item(row)->text(), text, Qt::CaseInsensitive) == 0)
            return;
    InsertSorted(path);
}

void ExclusionsDialog::OnSelectFiles()
{
    const std::vector<std::string> chosen = dialogs.ChooseFiles(this, lastChosenPath);
    if (chosen.empty())
        return;
    if (chosen.size() == 1) {
        lastChosenPath = chosen.front();
    } else {
        const std::size_t cut = chosen.front().rfind('/');
        lastChosenPath = cut == std::string::npos ? std::string() : chosen.front().substr(0, cut + 1);
    }
    for (const std::string& path : chosen)
        AddRow(path);
}

void ExclusionsDialog::OnSelectFolders()
{
    const std::optional<std::string> chosen =
        dialogs.BrowseFolder(this, tr("Select Folder to exclude"), lastChosenPath);
    if (!chosen)
        return;
    lastChosenPath = *chosen;
    AddRow(*chosen);
}

void ExclusionsDialog::OnRemove()
{
    for (int row = ui->exclusionList->count() - 1; row >= 0; --row)
        if (ui->exclusionList->item(row)->isSelected())
            delete ui->exclusionList->takeItem(row);
}

bool ExclusionsDialog::IsCounting() const
{
    return counter != nullptr && counter->IsCounting();
}

void ExclusionsDialog::ShowRules()
{
    for (const IgnorePattern& pattern : ignoring.patterns)
        ui->patternList->addTopLevelItem(MakePatternRow(pattern));
    ui->largerCheck->setChecked(ignoring.maxFileSize.has_value());
    ui->largerEdit->setText(
        ignoring.maxFileSize ? QString::fromStdString(SizeLimitText(*ignoring.maxFileSize)) : QString());
    ui->smallerCheck->setChecked(ignoring.minFileSize.has_value());
    ui->smallerEdit->setText(
        ignoring.minFileSize ? QString::fromStdString(SizeLimitText(*ignoring.minFileSize)) : QString());
    ui->deleteIgnoredCheck->setChecked(ignoring.deleteIgnored);
    UpdateLimitFields();
    UpdatePatternButtons();
}

void ExclusionsDialog::ConnectPatternControls()
{
    connect(ui->addPatternButton, &QPushButton::clicked, this, &ExclusionsDialog::OnAddPattern);
    connect(ui->replacePatternButton, &QPushButton::clicked, this, &ExclusionsDialog::OnReplacePattern);
    connect(ui->removePatternButton, &QPushButton::clicked, this, &ExclusionsDialog::OnRemovePatterns);
    connect(ui->patternList, &QTreeWidget::currentItemChanged, this, &ExclusionsDialog::ShowSelectedPattern);
    connect(ui->patternList, &QTreeWidget::itemSelectionChanged, this,
            &ExclusionsDialog::UpdatePatternButtons);
}

void ExclusionsDialog::ConnectLimitControls()
{
    for (QCheckBox* box : {ui->largerCheck, ui->smallerCheck})
        connect(box, &QCheckBox::toggled, this, [this, box](bool on) {
            UpdateLimitFields();
            if (on)
                (box == ui->largerCheck ? ui->largerEdit : ui->smallerEdit)->setFocus(Qt::OtherFocusReason);
        });
    for (QLineEdit* edit : {ui->largerEdit, ui->smallerEdit})
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] { ShowLimitText(*edit); });
}

QTreeWidgetItem* ExclusionsDialog::MakePatternRow(const IgnorePattern& pattern)
{
    auto* row = new QTreeWidgetItem({Shown(pattern.text), QString()});
    row->setData(TextColumn, Qt::UserRole, QByteArray::fromStdString(pattern.text));
    row->setData(TextColumn, originRole, QByteArray::fromStdString(pattern.origin));
    row->setToolTip(TextColumn, tr("From %1").arg(Shown(pattern.origin)));
    row->setTextAlignment(MatchesColumn, Qt::AlignRight | Qt::AlignVCenter);
    return row;
}

std::vector<IgnorePattern> ExclusionsDialog::ShownPatterns() const
{
    std::vector<IgnorePattern> patterns;
    for (int place = 0; place < ui->patternList->topLevelItemCount(); ++place) {
        const QTreeWidgetItem* row = ui->patternList->topLevelItem(place);
        patterns.push_back(
            {Bytes(row->data(TextColumn, Qt::UserRole)), Bytes(row->data(TextColumn, originRole))});
    }
    return patterns;
}

std::optional<std::string> ExclusionsDialog::TypedPattern()
{
    const std::string typed = ui->patternEdit->text().toStdString();
    if (const QString problem = PatternLineProblem(typed); !problem.isEmpty()) {
        dialogs.ShowMessage(this, problem);
        return std::nullopt;
    }
    return typed;
}

void ExclusionsDialog::OnAddPattern()
{
    const std::optional<std::string> typed = TypedPattern();
    if (!typed)
        return;
    QTreeWidgetItem* row = MakePatternRow({*typed, origin});
    ui->patternList->addTopLevelItem(row);
    ui->patternList->setCurrentItem(row);
    ui->patternEdit->clear();
    RecountPatterns();
}

// The selected row takes the typed text in its place, so that the order of matching stays.
void ExclusionsDialog::OnReplacePattern()
{
    QTreeWidgetItem* current = ui->patternList->currentItem();
    if (current == nullptr)
        return;
    const std::optional<std::string> typed = TypedPattern();
    if (!typed || *typed == Bytes(current->data(TextColumn, Qt::UserRole)))
        return;
    const int place = ui->patternList->indexOfTopLevelItem(current);
    delete ui->patternList->takeTopLevelItem(place);
    QTreeWidgetItem* row = MakePatternRow({*typed, origin});
    ui->patternList->insertTopLevelItem(place, row);
    ui->patternList->setCurrentItem(row);
    RecountPatterns();
}

void ExclusionsDialog::OnRemovePatterns()
{
    const QList<QTreeWidgetItem*> selected = ui->patternList->selectedItems();
    if (selected.isEmpty())
        return;
    qDeleteAll(selected);
    RecountPatterns();
}

void ExclusionsDialog::ShowSelectedPattern()
{
    if (const QTreeWidgetItem* current = ui->patternList->currentItem())
        ui->patternEdit->setText(current->text(TextColumn));
    UpdatePatternButtons();
}

void ExclusionsDialog::UpdatePatternButtons()
{
    const bool selected = !ui->patternList->selectedItems().isEmpty();
    ui->replacePatternButton->setEnabled(selected && ui->patternList->currentItem() != nullptr);
    ui->removePatternButton->setEnabled(selected);
}

// Every change of the list may change which pattern decides on an item, so every figure is counted
// again.
void ExclusionsDialog::RecountPatterns()
{
    UpdatePatternButtons();
    if (!canCount) {
        ui->countLabel->setText(tr("Once Location 1 or Location 2 is set, each pattern shows how many items "
                                   "there it matches."));
        return;
    }
    for (int place = 0; place < ui->patternList->topLevelItemCount(); ++place)
        ui->patternList->topLevelItem(place)->setText(MatchesColumn, QStringLiteral("\u2026"));
    ui->countLabel->setText(tr("Counting the items each pattern matches in Location 1 and Location 2\u2026"));
    counter->Start(ShownPatterns());
}

void ExclusionsDialog::ShowCounts(const PatternMatchCounts& counts)
{
    const int rows = ui->patternList->topLevelItemCount();
    for (int place = 0; place < rows && place < static_cast<int>(counts.counts.size()); ++place) {
        const QString figure =
            QString::fromStdString(FormatCount(counts.counts[static_cast<std::size_t>(place)]));
        ui->patternList->topLevelItem(place)->setText(
            MatchesColumn, counts.stoppedEarly ? QStringLiteral("\u2265 ") + figure : figure);
    }
    ui->countLabel->setText(
        counts.stoppedEarly
            ? tr("Matches among the first %1 items of Location 1 and Location 2: there are more.")
                  .arg(QString::fromStdString(FormatCount(counts.entriesSeen)))
            : tr("Matches: the items in Location 1 and Location 2 that each pattern ignores."));
}

SizeLimits ExclusionsDialog::ReadLimitFields() const
{
    return ReadSizeLimits({ui->largerCheck->isChecked(), ui->largerEdit->text().toStdString()},
                          {ui->smallerCheck->isChecked(), ui->smallerEdit->text().toStdString()});
}

// A size typed as "100M" is shown as the limit it means, "100 MiB".
void ExclusionsDialog::ShowLimitText(QLineEdit& edit)
{
    edit.setText(QString::fromStdString(SizeFieldText(edit.text().toStdString())));
}

void ExclusionsDialog::UpdateLimitFields()
{
    ui->largerEdit->setEnabled(ui->largerCheck->isChecked());
    ui->smallerEdit->setEnabled(ui->smallerCheck->isChecked());
}

void ExclusionsDialog::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && focusWidget() == ui->patternEdit) {
        OnAddPattern();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ExclusionsDialog::accept()
{
    const SizeLimits limits = ReadLimitFields();
    if (!limits.problem.isEmpty()) {
        dialogs.ShowMessage(this, limits.problem);
        return;
    }
    entries.Clear();
    for (int row = 0; row < ui->exclusionList->count(); ++row)
        entries.Append(ui->exclusionList->item(row)->data(Qt::UserRole).toByteArray().toStdString());
    ignoring.patterns = ShownPatterns();
    ignoring.maxFileSize = limits.maxFileSize;
    ignoring.minFileSize = limits.minFileSize;
    ignoring.deleteIgnored = ui->deleteIgnoredCheck->isChecked();
    QDialog::accept();
}

} // namespace twinfol
