// "Exclusion Files": the person adds files and folders to a job's exclusion list and removes them,
// edits the job's ignore patterns (each shown with what it matches in the job's locations), its size
// limits, and whether ignored items in the target may be deleted.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QDialog>

#include "app/ignore_settings.h"
#include "engine/fs/file_system.h"
#include "engine/records/exclusion_list.h"
#include "engine/walk/pattern_matches.h"

namespace Ui {
class ExclusionsDialog;
}

class QLineEdit;
class QTreeWidgetItem;

namespace twinfol {

class DialogService;
class PatternCountTask;

// The job's ignore settings beside the exclusion list, and where the patterns' matches are counted.
struct ExclusionsSetup {
    IgnoreSettings ignoring;
    // Without a layer nothing is counted.
    FileSystem* fileSystem = nullptr;
    // The job's locations as the window has them, each ending with the separator; empty when unset.
    std::vector<std::string> folders;
    // What a pattern typed here names as its origin in the reasons of a preview or report.
    std::string origin = "this job";
};

class ExclusionsDialog : public QDialog {
    Q_OBJECT

public:
    ExclusionsDialog(QWidget* parent, const ExclusionList& list, DialogService& dialogs,
                     ExclusionsSetup setup = {});
    ~ExclusionsDialog() override;

    // The rows as they stand after OK, from the top row down.
    const ExclusionList& Entries() const { return entries; }
    // The patterns, limits and delete box as they stand after OK.
    const IgnoreSettings& Ignoring() const { return ignoring; }
    bool IsCounting() const;

    void OnSelectFiles();
    void OnSelectFolders();
    void OnRemove();
    void OnAddPattern();
    void OnReplacePattern();
    void OnRemovePatterns();
    // OK: refused, with a message, while a size field holds no size.
    void accept() override;

protected:
    // Enter in the pattern field adds the pattern rather than closing the dialog.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Adds a row in its place in the shown order, unless a row equal to it without regard to letter
    // case is already there.
    void AddRow(const std::string& path);
    void InsertSorted(const std::string& path);
    void ShowRules();
    void ConnectPatternControls();
    void ConnectLimitControls();
    // The typed pattern, or nothing after telling the person why it cannot be taken.
    std::optional<std::string> TypedPattern();
    QTreeWidgetItem* MakePatternRow(const IgnorePattern& pattern);
    std::vector<IgnorePattern> ShownPatterns() const;
    void ShowSelectedPattern();
    void UpdatePatternButtons();
    void RecountPatterns();
    void ShowCounts(const PatternMatchCounts& counts);
    SizeLimits ReadLimitFields() const;
    void ShowLimitText(QLineEdit& edit);
    void UpdateLimitFields();

    std::unique_ptr<Ui::ExclusionsDialog> ui;
    DialogService& dialogs;
    ExclusionList entries;
    IgnoreSettings ignoring;
    std::string origin;
    bool canCount = false;
    // Owned by the dialog as its child.
    PatternCountTask* counter = nullptr;
    std::string lastChosenPath;
};

} // namespace twinfol
