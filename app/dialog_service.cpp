// The real dialogs behind the dialog service.
#include "app/dialog_service.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include "app/confirm_dialog.h"
#include "app/exclusion_file_chooser.h"
#include "reports/folder_browser_dialog.h"
#include "reports/report_dialog.h"

namespace twinfol {

QString ProgramName()
{
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return name.isEmpty() ? QStringLiteral("twinfol") : name;
}

void DialogService::ShowMessage(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, ProgramName(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool DialogService::AskUndo(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, ProgramName(), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool DialogService::AskWarning(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, ProgramName(), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> DialogService::BrowseFolder(QWidget* parent, const QString& caption,
                                                       const std::string& startFolder)
{
    return FolderBrowserDialog::Browse(fileSystem_, parent, caption, startFolder);
}

namespace {

std::optional<std::string> AskProfileName(QWidget* parent, const std::string& startFile,
                                          QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    // A typed name that does not exist is passed on, so that opening it reports the missing file.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("Twinfol profiles (*.twp)"));
    dialog.setDefaultSuffix(QStringLiteral("twp"));
    // Always a folder of its own: left alone, the dialog would start wherever any file dialog was last
    // used, such as the folder an exclusion was chosen in. Without a profile path, the home folder.
    if (startFile.empty()) {
        dialog.setDirectory(QDir::homePath());
    } else {
        const QFileInfo start(QString::fromStdString(startFile));
        dialog.setDirectory(start.absolutePath());
        dialog.selectFile(start.absoluteFilePath());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

} // namespace

std::optional<std::string> DialogService::OpenProfileName(QWidget* parent, const std::string& startFile)
{
    return AskProfileName(parent, startFile, QFileDialog::AcceptOpen);
}

std::optional<std::string> DialogService::SaveProfileName(QWidget* parent, const std::string& startFile)
{
    return AskProfileName(parent, startFile, QFileDialog::AcceptSave);
}

std::vector<std::string> DialogService::ChooseFiles(QWidget* parent, const std::string& startPath)
{
    QFileDialog dialog(parent);
    PrepareExclusionFileChooser(dialog, startPath);
    std::vector<std::string> chosen;
    if (dialog.exec() == QDialog::Accepted)
        for (const QString& path : dialog.selectedFiles())
            chosen.push_back(path.toStdString());
    return chosen;
}

int DialogService::Run(QDialog& dialog)
{
    return dialog.exec();
}

bool DialogService::OpenDocument(const std::string& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

ConfirmAnswer DialogService::AskDelete(QWidget* parent, const ConfirmQuestion& question)
{
    ConfirmDialog dialog(parent);
    dialog.SetQuestion(question);
    dialog.exec();
    return dialog.Answer();
}

void DialogService::ShowReport(QWidget* parent, const SyncReport& report, const std::string& source,
                               const std::string& target)
{
    twinfol::ShowReport(parent, report, source, target);
}

} // namespace twinfol
