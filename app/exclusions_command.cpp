// Opening the Exclusions dialog from the main window and taking its result.
#include "app/exclusions_command.h"

#include "app/dialog_service.h"
#include "app/exclusions_dialog.h"
#include "app/profile_commands.h"
#include "base/path.h"

namespace twinfol {
namespace {

// A pattern typed in the dialog is the job's own: it is named after the profile file that keeps it,
// as the patterns read from that file are.
std::string NewPatternOrigin(const std::string& profilePath)
{
    const std::size_t cut = profilePath.rfind(pathSeparator);
    const std::string name = cut == std::string::npos ? profilePath : profilePath.substr(cut + 1);
    return name.empty() ? std::string("this job") : name;
}

std::string CountedFolder(const std::string& location)
{
    return location.empty() ? std::string() : WithTrailingSeparator(location);
}

} // namespace

bool EditExclusions(QWidget& window, DialogService& dialogs, FileSystem& fileSystem,
                    ProfileCommands& profileCommands, MainDialogFields& fields)
{
    const Profile& profile = profileCommands.Current();
    ExclusionsSetup setup{IgnoreSettingsOf(profile.options),
                          &fileSystem,
                          {CountedFolder(fields.location1), CountedFolder(fields.location2)},
                          NewPatternOrigin(fields.profilePath)};
    ExclusionsDialog dialog(&window, profile.exclusions, dialogs, std::move(setup));
    // A dialog that refused its OK (a size field that holds no size) stays open and has no result.
    if (dialogs.Run(dialog) != QDialog::Accepted || dialog.result() != QDialog::Accepted)
        return false;
    profileCommands.SetExclusions(dialog.Entries());
    profileCommands.SetIgnoring(dialog.Ignoring(), fields);
    return true;
}

} // namespace twinfol
