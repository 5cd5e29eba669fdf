// The main window's "Schedule..." command: the Schedule dialog for the saved profile, with the places
// and the runner of this user and installation.
#pragma once

#include <string>

class QPushButton;
class QWidget;

namespace twinfol {

class DialogService;

// Shows the Schedule dialog for the profile file over the window. The window offers it only for a
// saved profile with no unsaved changes, since a schedule runs the profile as its file holds it.
void ShowScheduleDialog(QWidget& window, DialogService& dialogs, const std::string& profilePath);
// Makes the button show it for the profile path the window holds when it is clicked.
void ConnectScheduleCommand(QPushButton& button, QWidget& window, DialogService& dialogs,
                            const std::string& profilePath);

// The twinfol-sync the units start: the one installed beside this program, else the one PATH finds.
std::string InstalledRunnerPath();

} // namespace twinfol
