// The one place where the windows put questions and messages to the person: message boxes, the folder
// browser, delete questions and the report. Tests replace it to answer without showing anything.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "engine/fs/file_system.h"
#include "engine/records/delete_confirmation.h"
#include "engine/records/sync_report.h"

class QDialog;
class QWidget;

namespace twinfol {

class DialogService {
public:
    // The folder browser reads folders through the file-system layer.
    explicit DialogService(FileSystem& fileSystem) : fileSystem_(fileSystem) {}
    virtual ~DialogService() = default;

    // A modal message with the exclamation icon and one OK button, captioned with the program's name.
    virtual void ShowMessage(QWidget* parent, const QString& text);
    // A modal warning question with the exclamation icon and the buttons Yes and No, No the default
    // (Enter and Escape both answer No); true for Yes.
    virtual bool AskWarning(QWidget* parent, const QString& text);
    // The folder browser; the chosen folder ends with the separator, nothing when cancelled.
    virtual std::optional<std::string> BrowseFolder(QWidget* parent, const QString& caption,
                                                    const std::string& startFolder);
    // The file dialogs for profiles, starting at the given file; the chosen path, nothing when cancelled.
    virtual std::optional<std::string> OpenProfileName(QWidget* parent, const std::string& startFile);
    // Adds ".twp" to a name typed without an extension and asks before replacing an existing file.
    virtual std::optional<std::string> SaveProfileName(QWidget* parent, const std::string& startFile);
    // The open-file dialog for exclusions: several files at once, any name; nothing when cancelled.
    virtual std::vector<std::string> ChooseFiles(QWidget* parent, const std::string& startPath);
    // Shows a dialog of ours modally and returns its result.
    virtual int Run(QDialog& dialog);
    // Opens a document in the desktop's browser; false when it could not be handed over.
    virtual bool OpenDocument(const std::string& path);
    // The delete question, modal over the parent. Called on the window thread only: the engine's
    // questions reach it through the run's worker.
    virtual ConfirmAnswer AskDelete(QWidget* parent, const ConfirmQuestion& question);
    // The question before an undo, with Yes and No, No the default; true for Yes.
    virtual bool AskUndo(QWidget* parent, const QString& text);
    // The report of a run, modal over the parent.
    virtual void ShowReport(QWidget* parent, const SyncReport& report, const std::string& source,
                            const std::string& target);

private:
    FileSystem& fileSystem_;
};

// The caption of every message box: the base name of the executable.
QString ProgramName();

} // namespace twinfol
