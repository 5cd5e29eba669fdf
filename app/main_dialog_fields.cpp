// The main window's bound values: options for a run and the automatic-start mapping.
#include "app/main_dialog_fields.h"

namespace twinfol {

const std::string& MainDialogFields::Location(LocationSide side) const
{
    return side == LocationSide::Location1 ? location1 : location2;
}

int MainDialogFields::Option(JobOption option) const
{
    switch (option) {
    case JobOption::DeleteMissing: return deleteMissing;
    case JobOption::AddMissing: return addMissing;
    case JobOption::ConfirmDeletes: return confirmDeletes;
    case JobOption::CheckSubFolders: return checkSubFolders;
    case JobOption::UseTrash: return useTrash;
    case JobOption::IgnoreHourShift: return ignoreHourShift;
    }
    return 0;
}

SyncOptions MainDialogFields::Options() const
{
    SyncOptions options;
    options.addMissing = addMissing != 0;
    options.deleteMissing = deleteMissing != 0;
    options.confirmDeletes = confirmDeletes != 0;
    options.checkSubFolders = checkSubFolders != 0;
    options.useTrash = useTrash != 0;
    options.ignoreHourShift = ignoreHourShift != 0;
    return options;
}

int MainDialogFields::ProfileAutoStart() const
{
    if (autoStart == 0)
        return 0;
    return autoStartDirection == 0 ? 1 : 2;
}

void MainDialogFields::ShowProfileAutoStart(int profileAutoStart)
{
    switch (profileAutoStart) {
    case 0: autoStart = 0; break;
    case 1:
        autoStart = 1;
        autoStartDirection = 0;
        break;
    case 2:
        autoStart = 1;
        autoStartDirection = 1;
        break;
    default: break;
    }
}

} // namespace twinfol
