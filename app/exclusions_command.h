// The main window's "Exclusions" command: the dialog over the job as the window holds it, and what
// its OK puts into the current profile and the window's fields.
#pragma once

#include "app/main_dialog_fields.h"
#include "engine/fs/file_system.h"

class QWidget;

namespace twinfol {

class DialogService;
class ProfileCommands;

// Shows the Exclusions dialog over the window, counting the patterns' matches in the window's two
// locations. After OK the dialog's list and rules replace the current profile's, which is then
// modified (also when nothing changed), and the fields take the rules for the window's runs. False
// after Cancel, with nothing changed.
bool EditExclusions(QWidget& window, DialogService& dialogs, FileSystem& fileSystem,
                    ProfileCommands& profileCommands, MainDialogFields& fields);

} // namespace twinfol
