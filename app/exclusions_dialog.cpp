// The exclusions dialog: rows shown in alphabetical order without regard to case, handed back as a
// list that the caller sorts in byte order.
#include "app/exclusions_dialog.h"

#include "app/dialog_service.h"
#include "base/display_text.h"
#include "ui_exclusions_dialog.h"

namespace twinfol {
ExclusionsDialog::ExclusionsDialog(QWidget* parent, const ExclusionList& list, DialogService& dialogs)
    : QDialog(parent), ui(std::make_unique<Ui::ExclusionsDialog>()), dialogs(dialogs), entries(list)
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

void ExclusionsDialog::accept()
{
    entries.Clear();
    for (int row = 0; row < ui->exclusionList->count(); ++row)
        entries.Append(ui->exclusionList->item(row)->data(Qt::UserRole).toByteArray().toStdString());
    QDialog::accept();
}

} // namespace twinfol
