// The real dialogs behind the dialog service.
#include "app/dialog_service.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

#include "app/confirm_dialog.h"
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

std::optional<std::string> DialogService::BrowseFolder(QWidget* parent, const QString& caption,
                                                       const std::string& startFolder)
{
    return FolderBrowserDialog::Choose(parent, caption, startFolder);
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

}  // namespace twinfol
