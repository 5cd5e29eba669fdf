// The "Detailed Report" window: one of the five lists of a run at a time, chosen with five buttons.
#pragma once

#include <QDialog>

#include <array>
#include <memory>

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
    ~DetailedReportDialog() override;

    DetailView CurrentView() const { return currentView_; }
    void ShowView(DetailView view);

private:
    void Refresh();

    std::unique_ptr<Ui::DetailedReportDialog> ui_;
    std::array<const PathSet*, 5> lists_;
    std::array<QPushButton*, 5> viewButtons_{};
    DetailView currentView_ = DetailView::ViewOverwrittenFiles;
};

} // namespace twinfol
