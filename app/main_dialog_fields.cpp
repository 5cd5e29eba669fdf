// The main window's bound values: the location by side and the automatic-start mapping.
#include "app/main_dialog_fields.h"

namespace twinfol {

const std::string& MainDialogFields::Location(LocationSide side) const
{
    return side == LocationSide::Location1 ? location1 : location2;
}

void MainDialogFields::ShowProfileAutoStart(AutoStart profileAutoStart)
{
    switch (profileAutoStart) {
    case AutoStart::Off: options.autoStart = AutoStart::Off; break;
    case AutoStart::Location1ToLocation2:
        options.autoStart = profileAutoStart;
        autoStartDirection = 0;
        break;
    case AutoStart::Location2ToLocation1:
        options.autoStart = profileAutoStart;
        autoStartDirection = 1;
        break;
    default: break;
    }
}

} // namespace twinfol
