// The "Detailed Report" window: one of the five lists of a run at a time, chosen with five buttons, or
// one of the two lists of an undo, chosen with two.
#pragma once

#include <QDialog>

#include <array>
#include <memory>
#include <vector>

#include "engine/records/sync_report.h"

class QPushButton;

namespace Ui {
class DetailedReportDialog;
}

namespace twinfol {

enum class DetailView {
    ViewOverwrittenFiles = 0,
    ViewAddedFiles = 1,
    ViewDeletedFiles = 2,
    ViewAddedFolders = 3,
    ViewDeletedFolders = 4
};

class DetailedReportDialog : public QDialog {
    Q_OBJECT

public:
    // The lists belong to the report and must outlive the window. It always opens on the
    // overwritten files.
    DetailedReportDialog(const PathSet& overwrittenFiles, const PathSet& addedFiles,
                         const PathSet& deletedFiles, const PathSet& addedFolders,
                         const PathSet& deletedFolders, QWidget* parent = nullptr);
    // The lists of an undo: what it restored and what it moved to the Trash; it opens on the first.
    // The first two views stand for them, and the other buttons are hidden.
    DetailedReportDialog(const PathSet& restored, const PathSet& trashed, QWidget* parent = nullptr);
    ~DetailedReportDialog() override;

    // Added folders whose copy a stop cut short, and those some of whose entries could not be copied:
    // the added folders' view shows them with their marks. The sets must outlive the window.
    void MarkIncompleteFolders(const PathSet& folders, const PathSet* partlyCopied = nullptr);

    DetailView CurrentView() const { return currentView_; }
    void ShowView(DetailView view);

private:
    struct Page {
        QString button;
        QString nowShowing;
        const PathSet* list = nullptr;
        // Entries shown with the incomplete mark, and with the mark of a partly copied folder.
        const PathSet* incomplete = nullptr;
        const PathSet* partlyCopied = nullptr;
    };

    DetailedReportDialog(std::vector<Page> pages, QWidget* parent);
    void Refresh();

    std::unique_ptr<Ui::DetailedReportDialog> ui_;
    std::vector<Page> pages_;
    std::array<QPushButton*, 5> viewButtons_{};
    DetailView currentView_ = DetailView::ViewOverwrittenFiles;
};

} // namespace twinfol
