// "Exclusion Files": the person adds files and folders to a job's exclusion list and removes them.
#pragma once

#include <memory>
#include <string>

#include <QDialog>

#include "engine/records/exclusion_list.h"

namespace Ui {
class ExclusionsDialog;
}

namespace twinfol {

class DialogService;

class ExclusionsDialog : public QDialog {
    Q_OBJECT

public:
    ExclusionsDialog(QWidget* parent, const ExclusionList& list, DialogService& dialogs);
    ~ExclusionsDialog() override;

    // The rows as they stand after OK, from the top row down.
    const ExclusionList& Entries() const { return entries; }

    void OnSelectFiles();
    void OnSelectFolders();
    void OnRemove();
    void accept() override;

private:
    // Adds a row in its place in the shown order, unless a row equal to it without regard to letter
    // case is already there.
    void AddRow(const std::string& path);
    void InsertSorted(const std::string& path);

    std::unique_ptr<Ui::ExclusionsDialog> ui;
    DialogService& dialogs;
    ExclusionList entries;
    std::string lastChosenPath;
};

} // namespace twinfol
