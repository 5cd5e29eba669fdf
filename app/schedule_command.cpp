// Opening the Schedule dialog from the main window.
#include "app/schedule_command.h"

#include <QCoreApplication>
#include <QPushButton>

#include "app/dialog_service.h"
#include "app/schedule_dialog.h"
#include "schedule/external_program.h"
#include "schedule/user_manager.h"

namespace twinfol {

std::string InstalledRunnerPath()
{
    const std::string beside = QCoreApplication::applicationDirPath().toStdString() + "/twinfol-sync";
    if (FindProgram(beside))
        return beside;
    return FindProgram("twinfol-sync").value_or(beside);
}

void ShowScheduleDialog(QWidget& window, DialogService& dialogs, const std::string& profilePath)
{
    ScheduleDialog dialog(&window, dialogs, SchedulePlaces::ForCurrentUser(InstalledRunnerPath()),
                          profilePath, UserManagerRuns() ? UserManager::Running : UserManager::Absent);
    dialogs.Run(dialog);
}

void ConnectScheduleCommand(QPushButton& button, QWidget& window, DialogService& dialogs,
                            const std::string& profilePath)
{
    QObject::connect(&button, &QPushButton::clicked, &window,
                     [&window, &dialogs, &profilePath] { ShowScheduleDialog(window, dialogs, profilePath); });
}

} // namespace twinfol
