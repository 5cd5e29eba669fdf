// The "History" window: the past runs the journal folder tells of, newest first, with the ways into a
// run's kept report and problem log, and "Undo" for the last run of a target.
#pragma once

#include <QDialog>

#include <memory>
#include <optional>
#include <vector>

#include "engine/changes/run_history.h"
#include "engine/fs/file_system.h"
#include "engine/records/sync_report.h"

namespace Ui {
class HistoryDialog;
}

namespace twinfol {

class HistoryDialog : public QDialog {
    Q_OBJECT

public:
    // The entries as ReadRunHistory gave them; kept reports are read through the file system when one
    // is opened.
    HistoryDialog(FileSystem& fileSystem, std::vector<RunHistoryEntry> entries, QWidget* parent = nullptr);
    ~HistoryDialog() override;

    // The run whose undo was asked for with "Undo"; the window closes with it.
    const std::optional<RunHistoryEntry>& UndoAsked() const { return undoAsked_; }

private:
    void ShowEntries();
    void UpdateButtons();
    const RunHistoryEntry* Selected() const;
    // The selected run's kept report, read again each time; nothing when it cannot be read.
    bool ReadSelectedReport();
    void OpenReport();
    void OpenProblemLog();
    void AskUndo();

    std::unique_ptr<Ui::HistoryDialog> ui_;
    FileSystem& fileSystem_;
    std::vector<RunHistoryEntry> entries_;
    // The report a report window shows; it must outlive that window.
    SyncReport report_;
    std::optional<RunHistoryEntry> undoAsked_;
};

} // namespace twinfol
